// Blocking serial exchange on the user-interface thread: purge, write, timed read.
#include "link/serial_link.h"

#include "link/device_lock.h"
#include "link/port_names.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>

#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace Device {

namespace {

constexpr qint64 InputQueueSize = 1024;

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

#ifdef Q_OS_UNIX
// True when the line itself is gone: a hung-up terminal (the peer closed, a USB adapter pulled)
// reports it to poll() whatever the port object made of the failed read or write.
bool LineHungUp(QSerialPort &port) {
    pollfd line{static_cast<int>(port.handle()), POLLIN, 0};
    if (line.fd < 0) return true;
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
#endif

// Qt names a failed read after errno even when the read returned 0 bytes, so on a live line its
// code may be a stale ResourceError. Where the line can be asked, the line decides.
bool IsFatal(QSerialPort &port, QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return false;
#ifdef Q_OS_UNIX
    return LineHungUp(port);
#else
    Q_UNUSED(port);
    return error == QSerialPort::ResourceError || error == QSerialPort::DeviceNotFoundError ||
           error == QSerialPort::PermissionError;
#endif
}

// Clears the port's error so that the next wait starts clean, noting whether it was fatal.
void TakeError(QSerialPort &port, bool &fatal) {
    if (IsFatal(port, port.error())) fatal = true;
    port.clearError();
}

// The device is gone: close the port so that nothing is retried on it, and remember where it
// was so that it can be opened again there. Inside one of the port's own events the object is
// closed at once but deleted only when that event is done.
enum class Release { Now, AfterThisEvent };

void LosePort(Release release) {
    const unsigned lost = static_cast<unsigned>(PortNumber);
    const QString path = PortPath;
    if (release == Release::AfterThisEvent && PortHandle) {
        PortHandle->close();
        PortHandle->deleteLater();
        PortHandle = nullptr;
    }
    ClosePort();
    LostPortNumber = lost;
    LostPortPath = path;
}

// Between exchanges the port object still watches the line from the event loop, and a hung-up
// line makes it fail over and over. The check runs queued, outside the port's own call, and
// not at all once the port object is gone; an error left from an earlier opening of the same
// object is judged by the line as it is now.
void WatchForLoss(QSerialPort &port) {
    QObject::connect(
        &port, &QSerialPort::errorOccurred, &port,
        [&port](QSerialPort::SerialPortError error) {
            if (PortHandle == &port && PortNumber != 0 && IsFatal(port, error))
                LosePort(Release::AfterThisEvent);
        },
        Qt::QueuedConnection);
}

// Reads up to n bytes with the link's time-outs: the whole read is bounded by
// multiplier * n + constant, and after the first byte a gap longer than the interval ends it.
std::uint32_t TimedRead(QSerialPort &port, std::uint8_t *into, std::uint32_t n, bool &fatal) {
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
            TakeError(port, fatal);
            const qint64 late = port.read(reinterpret_cast<char *>(into + got), n - got);
            if (late > 0) got += static_cast<std::uint32_t>(late);
            break;
        }
        if (!port.waitForReadyRead(static_cast<int>(remaining))) {
            TakeError(port, fatal);
            if (fatal || port.bytesAvailable() == 0) break;
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
    // The port that was open is closed first, and the system's lock on its device with it.
    if (PortHandle) PortHandle->close();
    PortNumber = 0;
    PortPath.clear();
    LostPortNumber = 0;
    LostPortPath.clear();
    LastOpenFailure = {};

    const QString name = ResolvePortName(n);
    if (name.isEmpty()) {
        LastOpenFailure = ClassifyOpenFailure(name);
        return false;
    }
    if (!PortHandle) {
        PortHandle = new QSerialPort;
        WatchForLoss(*PortHandle);
    }
    QSerialPort &port = *PortHandle;
    // The device is locked before the port opens it, so that a refused second copy of the
    // program touches neither the line settings nor the exclusive mode of the first.
    auto *lock = port.findChild<DeviceLock *>(QString(), Qt::FindDirectChildrenOnly);
    if (!lock) lock = new DeviceLock(&port);
    if (lock->take(name) == DeviceLock::Result::HeldElsewhere) {
        LastOpenFailure = {OpenFailureReason::Busy, OpenFailureText(OpenFailureReason::Busy, name)};
        return false;
    }
    port.setPortName(name);
    if (!port.open(QIODevice::ReadWrite)) {
        port.clearError();
        lock->release();
        LastOpenFailure = ClassifyOpenFailure(name);
        return false;
    }
    ApplyLineSettings(port);
    port.clear(QSerialPort::Output);
    port.clear(QSerialPort::Input);
    port.clearError();
    PortNumber = static_cast<int>(n);
    PortPath = name;
    return true;
}

void ClosePort() {
    delete PortHandle;
    PortHandle = nullptr;
    PortNumber = 0;
    PortPath.clear();
}

bool ReopenLostPort() {
    if (LostPortNumber == 0 || PortNumber != 0) return false;
    const unsigned n = LostPortNumber;
    const QString path = LostPortPath;
    // Cheap checks first: this runs about once a second while the device is away.
    if (!QFileInfo::exists(path) || ResolvePortName(n) != path) return false;
    if (OpenPort(n)) return true;
    LostPortNumber = n;
    LostPortPath = path;
    return false;
}

int SendRequest(int length) {
    TransferCount = 0;
    RequestBuffer[0] = FrameMark;
    if (!PortIsOpen() || length <= 0) return 0;
    QSerialPort &port = *PortHandle;
    port.clear(QSerialPort::Input);
    const int count = std::min(length, FrameBufferSize);
    const qint64 written = port.write(reinterpret_cast<const char *>(RequestBuffer), count);
    bool complete = false;
    bool fatal = false;
    if (written >= 0) {
        const int timeout = static_cast<int>(LinkTimeouts.WriteTotalTimeoutMultiplier) * count +
                            static_cast<int>(LinkTimeouts.WriteTotalTimeoutConstant);
        complete = port.bytesToWrite() == 0;
        while (!complete && port.waitForBytesWritten(timeout))
            complete = port.bytesToWrite() == 0;
        TransferCount = static_cast<std::uint32_t>(written - port.bytesToWrite());
    }
    TakeError(port, fatal);
    // Bytes left in the port object would be retried from the event loop for as long as the
    // port stays open; a request that did not go out in time is dropped instead.
    if (!complete) {
        port.clear(QSerialPort::Output);
        TakeError(port, fatal);
    }
    if (fatal) LosePort(Release::Now);
    return complete ? 1 : 0;
}

std::uint32_t ReceiveReply(std::uint32_t length) {
    std::memset(ReplyBuffer, 0, LongestReply);
    TransferCount = 0;
    if (!PortIsOpen()) return 0;
    QSerialPort &port = *PortHandle;
    port.clear(QSerialPort::Input);
    bool fatal = false;
    TransferCount =
        TimedRead(port, ReplyBuffer, std::min<std::uint32_t>(length, FrameBufferSize), fatal);
    if (fatal) LosePort(Release::Now);
    if (ReplyBuffer[0] != FrameMark) TransferCount = 0;
    return TransferCount;
}

} // namespace Device
