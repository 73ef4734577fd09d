// Blocking serial exchange on the user-interface thread: purge, write, timed read.
#include "link/serial_link.h"

#include "link/port_names.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <algorithm>
#include <cstring>

namespace Device {

namespace {

constexpr qint64 InputQueueSize = 1024;

QSerialPort &Port() {
    if (!PortHandle) PortHandle = new QSerialPort;
    return *PortHandle;
}

QSerialPort::Parity ParityOf(std::uint8_t code) {
    switch (code) {
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    default:
        return QSerialPort::NoParity;
    }
}

bool PortIsOpen() {
    return PortNumber != 0 && PortHandle && PortHandle->isOpen();
}

void ApplyLineSettings(QSerialPort &port) {
    port.setBaudRate(static_cast<qint32>(LineSettings.BaudRate));
    port.setDataBits(static_cast<QSerialPort::DataBits>(LineSettings.ByteSize));
    port.setParity(ParityOf(LineSettings.Parity));
    port.setStopBits(LineSettings.StopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port.setFlowControl(LineSettings.fOutX          ? QSerialPort::SoftwareControl
                        : LineSettings.fOutxCtsFlow ? QSerialPort::HardwareControl
                                                    : QSerialPort::NoFlowControl);
    // A pseudo-terminal refuses both calls ("unsupported operation"); that is harmless.
    port.setDataTerminalReady(LineSettings.fDtrControl != 0);
    port.setRequestToSend(LineSettings.fRtsControl != 0);
    port.setReadBufferSize(InputQueueSize);
    port.clearError();
}

// Reads up to n bytes with the link's time-outs: the whole read is bounded by
// multiplier * n + constant, and after the first byte a gap longer than the interval ends it.
std::uint32_t TimedRead(QSerialPort &port, std::uint8_t *into, std::uint32_t n) {
    const qint64 total = static_cast<qint64>(LinkTimeouts.ReadTotalTimeoutMultiplier) * n +
                         LinkTimeouts.ReadTotalTimeoutConstant;
    const qint64 interval = LinkTimeouts.ReadIntervalTimeout;
    QElapsedTimer clock;
    clock.start();
    std::uint32_t got = 0;
    qint64 lastByteAt = -1;
    for (;;) {
        const qint64 read = port.read(reinterpret_cast<char *>(into + got), n - got);
        if (read > 0) {
            got += static_cast<std::uint32_t>(read);
            lastByteAt = clock.elapsed();
        }
        if (got >= n) break;
        const qint64 deadline = lastByteAt < 0 ? total : std::min(total, lastByteAt + interval);
        const qint64 remaining = deadline - clock.elapsed();
        if (remaining <= 0) {
            // Bytes the system already holds arrived in time, even if this thread was late to
            // look: take them as the serial driver would.
            port.waitForReadyRead(0);
            port.clearError();
            const qint64 late = port.read(reinterpret_cast<char *>(into + got), n - got);
            if (late > 0) got += static_cast<std::uint32_t>(late);
            break;
        }
        if (!port.waitForReadyRead(static_cast<int>(remaining))) {
            port.clearError();
            if (port.bytesAvailable() == 0) break;
        }
    }
    return got;
}

} // namespace

void InitLinkSettings() {
    LineSettings = LineSettingsRecord{};
    LineSettings.BaudRate = 9600;
    LineSettings.ByteSize = 8;

    LinkTimeouts.ReadIntervalTimeout = 10;
    LinkTimeouts.ReadTotalTimeoutMultiplier = 10;
    LinkTimeouts.ReadTotalTimeoutConstant = 10;
    LinkTimeouts.WriteTotalTimeoutMultiplier = 10;
    LinkTimeouts.WriteTotalTimeoutConstant = 10;

    PortNumber = 0;
}

bool OpenPort(unsigned n) {
    QSerialPort &port = Port();
    if (port.isOpen()) port.close();
    PortNumber = 0;

    const QString name = ResolvePortName(n);
    if (name.isEmpty()) return false;
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite)) {
        port.clearError();
        return false;
    }
    ApplyLineSettings(port);
    port.clear(QSerialPort::Output);
    port.clear(QSerialPort::Input);
    port.clearError();
    PortNumber = static_cast<int>(n);
    return true;
}

void ClosePort() {
    delete PortHandle;
    PortHandle = nullptr;
    PortNumber = 0;
}

int SendRequest(int length) {
    TransferCount = 0;
    RequestBuffer[0] = FrameMark;
    if (!PortIsOpen() || length <= 0) return 0;
    QSerialPort &port = *PortHandle;
    port.clear(QSerialPort::Input);
    const int count = std::min(length, FrameBufferSize);
    const qint64 written = port.write(reinterpret_cast<const char *>(RequestBuffer), count);
    if (written < 0) {
        port.clearError();
        return 0;
    }
    const int timeout = static_cast<int>(LinkTimeouts.WriteTotalTimeoutMultiplier) * count +
                        static_cast<int>(LinkTimeouts.WriteTotalTimeoutConstant);
    bool complete = port.bytesToWrite() == 0;
    while (!complete && port.waitForBytesWritten(timeout))
        complete = port.bytesToWrite() == 0;
    port.clearError();
    TransferCount = static_cast<std::uint32_t>(written - port.bytesToWrite());
    return complete ? 1 : 0;
}

std::uint32_t ReceiveReply(std::uint32_t length) {
    std::memset(ReplyBuffer, 0, LongestReply);
    TransferCount = 0;
    if (!PortIsOpen()) return 0;
    QSerialPort &port = *PortHandle;
    port.clear(QSerialPort::Input);
    TransferCount = TimedRead(port, ReplyBuffer, std::min<std::uint32_t>(length, FrameBufferSize));
    if (ReplyBuffer[0] != FrameMark) TransferCount = 0;
    return TransferCount;
}

} // namespace Device
