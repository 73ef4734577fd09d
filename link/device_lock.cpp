// The device lock: flock on a descriptor of the lock's own, released with the port.
#include "link/device_lock.h"

#include <QFile>
#include <QIODevice>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace Device {

DeviceLock::DeviceLock(QIODevice *port) : QObject(port) {
    connect(port, &QIODevice::aboutToClose, this, &DeviceLock::release);
}

DeviceLock::~DeviceLock() {
    release();
}

DeviceLock::Result DeviceLock::take(const QString &path) {
    release();
#ifdef Q_OS_UNIX
    const QByteArray local = QFile::encodeName(path);
    const int descriptor = ::open(local.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) return Result::NotTaken;
    int result;
    do {
        result = ::flock(descriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(descriptor);
        return held ? Result::HeldElsewhere : Result::NotTaken;
    }
    m_descriptor = descriptor;
    return Result::Taken;
#else
    // Elsewhere the system opens a serial device for one program only.
    Q_UNUSED(path)
    return Result::NotTaken;
#endif
}

void DeviceLock::release() {
#ifdef Q_OS_UNIX
    if (m_descriptor >= 0) ::close(m_descriptor);
#endif
    m_descriptor = -1;
}

} // namespace Device
