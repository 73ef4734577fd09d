// The one serial link of the program: fixed line settings and time-outs, the two frame
// buffers and the blocking request/reply exchange every instrument command goes through.
#pragma once

#include <cstdint>

class QSerialPort;

namespace Device {

// Line settings applied to every port that is opened (9600 8N1, no flow control,
// DTR and RTS held inactive).
struct LineSettingsRecord {
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0: none
    std::uint8_t StopBits = 0; // 0: one stop bit
    bool fBinary = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    bool fOutX = false;
    bool fInX = false;
    std::uint8_t fDtrControl = 0; // 0: disabled (inactive)
    std::uint8_t fRtsControl = 0; // 0: disabled (inactive)
};

// Time-outs in milliseconds. A read of n bytes gives up
// ReadTotalTimeoutMultiplier * n + ReadTotalTimeoutConstant after it starts and ends early
// when more than ReadIntervalTimeout passes between two bytes.
struct LinkTimeoutsRecord {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

constexpr int FrameBufferSize = 1024;
constexpr int LongestReply = 20;
constexpr std::uint8_t FrameMark = 0xAA;

extern int PortNumber;          // 0: no port open
extern QSerialPort *PortHandle; // meaningful only while PortNumber != 0
extern LineSettingsRecord LineSettings;
extern LinkTimeoutsRecord LinkTimeouts;
extern std::uint8_t RequestBuffer[FrameBufferSize];
extern std::uint8_t ReplyBuffer[FrameBufferSize];
extern std::uint32_t TransferCount;

void InitLinkSettings();
bool OpenPort(unsigned n);
int SendRequest(int length);
std::uint32_t ReceiveReply(std::uint32_t length);

} // namespace Device
