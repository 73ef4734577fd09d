// Classification of a port that will not open, from the file system's view of the device.
#include "link/open_failure.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace Device {

namespace {

#ifdef Q_OS_UNIX

void DescribeGroup(gid_t gid, DeviceAccess &access) {
    std::vector<char> buffer(16384);
    passwd user{};
    passwd *userFound = nullptr;
    getpwuid_r(geteuid(), &user, buffer.data(), buffer.size() / 2, &userFound);
    group owner{};
    group *groupFound = nullptr;
    getgrgid_r(gid, &owner, buffer.data() + buffer.size() / 2, buffer.size() / 2, &groupFound);

    access.user =
        userFound ? QString::fromLocal8Bit(userFound->pw_name) : QString::number(geteuid());
    access.group = groupFound ? QString::fromLocal8Bit(groupFound->gr_name) : QString::number(gid);
    access.inGroupNow = getegid() == gid;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    if (!groups.empty() && getgroups(static_cast<int>(groups.size()), groups.data()) >= 0)
        access.inGroupNow =
            access.inGroupNow || std::find(groups.begin(), groups.end(), gid) != groups.end();
    access.inGroupListed = userFound && userFound->pw_gid == gid;
    if (groupFound && userFound)
        for (char **member = groupFound->gr_mem; *member != nullptr; ++member)
            if (std::strcmp(*member, userFound->pw_name) == 0) access.inGroupListed = true;
}

#endif

} // namespace

DeviceAccess ProbeDevice(const QString &path) {
    DeviceAccess access;
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        access.error = errno;
        return access;
    }
    DescribeGroup(status.st_gid, access);
    access.groupMayUse = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    access.serial = S_ISCHR(status.st_mode);
    // Non-blocking, so that a port waiting for its carrier does not hold us up; no controlling
    // terminal, so that opening it changes nothing for this process.
    const int descriptor = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        access.error = errno;
    } else {
        access.serial = access.serial && ::isatty(descriptor) == 1;
        ::close(descriptor);
    }
#else
    Q_UNUSED(path)
    access.error = -1;
#endif
    return access;
}

OpenFailureReason ReasonFor(const DeviceAccess &access) {
    // What is at the path comes first: a file or a directory is no port whatever its rights.
    if (!access.serial) return OpenFailureReason::NotSerial;
    switch (access.error) {
    case 0:
        return OpenFailureReason::None;
#ifdef Q_OS_UNIX
    case ENOENT:
    case ENOTDIR:
        return OpenFailureReason::NoDevice;
    case ENXIO:
    case ENODEV:
    case EIO:
        return OpenFailureReason::NoHardware;
    case EACCES:
    case EPERM:
        return OpenFailureReason::NoPermission;
    case EBUSY:
        return OpenFailureReason::Busy;
    case EISDIR:
        return OpenFailureReason::NotSerial;
#endif
    default:
        return OpenFailureReason::Other;
    }
}

GroupRemedy RemedyFor(const DeviceAccess &access) {
    if (!access.groupMayUse) return GroupRemedy::None;
    if (access.inGroupNow) return GroupRemedy::InGroup;
    if (access.inGroupListed) return GroupRemedy::LogInAgain;
    return GroupRemedy::JoinGroup;
}

QString OpenFailureText(OpenFailureReason reason, const QString &path, const QString &group) {
    switch (reason) {
    case OpenFailureReason::None:
        return QString();
    case OpenFailureReason::NoDevice:
    case OpenFailureReason::NoHardware:
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
    const DeviceAccess access = ProbeDevice(path);
    OpenFailureReason reason = ReasonFor(access);
    // The system lets us open it, yet the serial port would not: another program's lock.
    if (reason == OpenFailureReason::None) reason = OpenFailureReason::Busy;
    const GroupRemedy remedy = RemedyFor(access);
    const bool joining = remedy == GroupRemedy::JoinGroup || remedy == GroupRemedy::LogInAgain;
    const QString group =
        reason == OpenFailureReason::NoPermission && joining ? access.group : QString();
    return {reason, OpenFailureText(reason, path, group)};
}

} // namespace Device
