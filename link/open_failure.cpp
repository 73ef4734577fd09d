// Classification of a failed port opening from the file system's view of the device.
#include "link/open_failure.h"

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Device {

namespace {

#ifdef Q_OS_UNIX

// The owning group when its members may read and write the device, else empty.
QString GrantingGroup(const struct stat &info) {
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return QString();
    const group *owner = getgrgid(info.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString::number(info.st_gid);
}

OpenFailureReason FromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
        return OpenFailureReason::NoDevice;
    case EACCES:
    case EPERM:
        return OpenFailureReason::NoPermission;
    case EBUSY:
        return OpenFailureReason::Busy;
    default:
        return OpenFailureReason::Other;
    }
}

OpenFailure Classify(const QString &path) {
    const QByteArray local = path.toLocal8Bit();
    struct stat info {};
    if (::stat(local.constData(), &info) != 0)
        return {FromErrno(errno), OpenFailureText(FromErrno(errno), path)};
    if (!S_ISCHR(info.st_mode))
        return {OpenFailureReason::NotSerial, OpenFailureText(OpenFailureReason::NotSerial, path)};
    if (::faccessat(AT_FDCWD, local.constData(), R_OK | W_OK, AT_EACCESS) != 0) {
        const OpenFailureReason reason = FromErrno(errno);
        return {reason, OpenFailureText(reason, path, GrantingGroup(info))};
    }
    // The device is there and ours to use. A brief look tells a terminal held by another
    // program (exclusive use, or a lock that the serial port honours) from a device that is
    // no terminal at all.
    const int fd = ::open(local.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const OpenFailureReason reason = FromErrno(errno);
        return {reason, OpenFailureText(reason, path, GrantingGroup(info))};
    }
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    const OpenFailureReason reason =
        terminal ? OpenFailureReason::Busy : OpenFailureReason::NotSerial;
    return {reason, OpenFailureText(reason, path)};
}

#endif

} // namespace

QString OpenFailureText(OpenFailureReason reason, const QString &path, const QString &group) {
    switch (reason) {
    case OpenFailureReason::None:
        return QString();
    case OpenFailureReason::NoDevice:
        return path.isEmpty() ? QStringLiteral("нет устройства")
                              : QStringLiteral("нет устройства %1").arg(path);
    case OpenFailureReason::NoPermission:
        return group.isEmpty()
                   ? QStringLiteral("нет доступа к %1").arg(path)
                   : QStringLiteral("нет доступа к %1, войдите в группу %2").arg(path, group);
    case OpenFailureReason::Busy:
        return QStringLiteral("%1 занят другой программой").arg(path);
    case OpenFailureReason::NotSerial:
        return QStringLiteral("%1 не последовательный порт").arg(path);
    case OpenFailureReason::Other:
        break;
    }
    return QStringLiteral("%1 не открывается").arg(path);
}

OpenFailure ClassifyOpenFailure(const QString &path) {
    if (path.isEmpty())
        return {OpenFailureReason::NoDevice, OpenFailureText(OpenFailureReason::NoDevice, path)};
#ifdef Q_OS_UNIX
    return Classify(path);
#else
    return {OpenFailureReason::Other, OpenFailureText(OpenFailureReason::Other, path)};
#endif
}

} // namespace Device
