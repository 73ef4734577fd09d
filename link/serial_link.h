// The one serial link of the program: fixed line settings and time-outs, the two frame
// buffers and the blocking request/reply exchange every instrument command goes through.
#pragma once

#include "link/open_failure.h"

#include <QString>

#include <cstdint>

class QSerialPort;

namespace Device {

// Line settings applied to every port that is opened; InitLinkSettings fills them with 9600 8N1,
// no flow control, DTR and RTS held inactive. The record is the one source of what is applied.
struct LineSettingsRecord {
    std::uint32_t BaudRate = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;   // 0: none, 1: odd, 2: even
    std::uint8_t StopBits = 0; // 0: one stop bit, 2: two
    bool fOutxCtsFlow = false;
    bool fOutX = false;
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

// The link's module-wide variables, defined with the rest of the unit's state (device_state.cpp).
struct LinkVariables {
    int PortNumber = 0;                // 0: no port open
    QSerialPort *PortHandle = nullptr; // meaningful only while PortNumber != 0
    LineSettingsRecord LineSettings;
    LinkTimeoutsRecord LinkTimeouts;
    std::uint8_t RequestBuffer[FrameBufferSize] = {};
    std::uint8_t ReplyBuffer[FrameBufferSize] = {};
    std::uint32_t TransferCount = 0;
    QString PortPath;            // the device the open port was opened at
    OpenFailure LastOpenFailure; // why the last OpenPort failed; None after a success
    unsigned LostPortNumber = 0; // port closed by a fatal error (device gone); 0: none
    QString LostPortPath;        // where that port was, so it is reopened only there
};
extern LinkVariables LinkState;

inline int &PortNumber = LinkState.PortNumber;
inline QSerialPort *&PortHandle = LinkState.PortHandle;
inline LineSettingsRecord &LineSettings = LinkState.LineSettings;
inline LinkTimeoutsRecord &LinkTimeouts = LinkState.LinkTimeouts;
inline std::uint8_t (&RequestBuffer)[FrameBufferSize] = LinkState.RequestBuffer;
inline std::uint8_t (&ReplyBuffer)[FrameBufferSize] = LinkState.ReplyBuffer;
inline std::uint32_t &TransferCount = LinkState.TransferCount;
inline QString &PortPath = LinkState.PortPath;
inline OpenFailure &LastOpenFailure = LinkState.LastOpenFailure;
inline unsigned &LostPortNumber = LinkState.LostPortNumber;
inline QString &LostPortPath = LinkState.LostPortPath;

void InitLinkSettings();
// Closes any open port first. On failure LastOpenFailure says why. Forgets a lost port: the
// caller has chosen a port of its own.
bool OpenPort(unsigned n);
// Closes the port and releases the port object (the system's lock on the device goes with it).
void ClosePort();
// A write that does not complete drops its unsent bytes. A fatal error on the line (the device
// removed, the line hung up, the device's rights gone) closes the port and records it as lost.
int SendRequest(int length);
std::uint32_t ReceiveReply(std::uint32_t length);
// One quiet attempt to open the lost port again, only at the path where it was lost. True when
// it is open again (and no longer lost).
bool ReopenLostPort();

} // namespace Device
