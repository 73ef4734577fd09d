// The serial devices with their port numbers and whether this user can open them.
#include "app/port_listing.h"

#include "link/port_names.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace App {

namespace {

constexpr unsigned HighestPort = 16; // ports beyond COM16 cannot be chosen

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

QString Dash(const QString &text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

PortRow RowFor(const QString &port, const QString &device, const QSerialPortInfo *info) {
    PortRow row;
    row.port = port;
    row.device = device;
    row.usbId = QStringLiteral("-");
    row.serial = QStringLiteral("-");
    row.description = QStringLiteral("-");
    if (info) {
        if (info->hasVendorIdentifier() && info->hasProductIdentifier())
            row.usbId = QStringLiteral("%1:%2")
                            .arg(info->vendorIdentifier(), 4, 16, QLatin1Char('0'))
                            .arg(info->productIdentifier(), 4, 16, QLatin1Char('0'));
        row.serial = Dash(info->serialNumber());
        QStringList words;
        if (!info->description().isEmpty()) words << info->description();
        if (!info->manufacturer().isEmpty() && info->manufacturer() != info->description())
            words << QStringLiteral("(%1)").arg(info->manufacturer());
        row.description = Dash(words.join(QLatin1Char(' ')));
    }
    row.access = ExplainAccess(ProbeAccess(device));
    return row;
}

QString Canonical(const QString &path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

DeviceAccess ProbeAccess(const QString &path) {
    DeviceAccess access;
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        access.error = errno;
        return access;
    }
    DescribeGroup(status.st_gid, access);
    access.groupMayUse = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    // Non-blocking, so that a port waiting for its carrier does not hold us up; no controlling
    // terminal, so that opening it changes nothing for this process.
    const int descriptor = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        access.error = errno;
    else
        ::close(descriptor);
    return access;
}

QString ExplainAccess(const DeviceAccess &access) {
    switch (access.error) {
    case 0:
        return QStringLiteral("yes");
    case ENOENT:
        return QStringLiteral("no: the device is gone");
    case EBUSY:
        return QStringLiteral("no: busy, another program has it open");
    case EIO:
    case ENXIO:
    case ENODEV:
        return QStringLiteral("no: nothing answers behind it (a port that is not fitted, or a "
                              "device unplugged)");
    case EACCES:
    case EPERM:
        if (!access.groupMayUse)
            return QStringLiteral("no: permission denied; the device is open to no group");
        if (access.inGroupNow) return QStringLiteral("no: permission denied");
        if (access.inGroupListed)
            return QStringLiteral("no: permission denied; %1 joined group %2 after this session "
                                  "began: log out and in again")
                .arg(access.user, access.group);
        return QStringLiteral("no: permission denied; the device belongs to group %2: "
                              "sudo usermod -aG %2 %1, then log out and in again")
            .arg(access.user, access.group);
    default:
        return QStringLiteral("no: %1").arg(QString::fromLocal8Bit(std::strerror(access.error)));
    }
}

QList<PortRow> ListedPorts() {
    const QList<QSerialPortInfo> present = Device::SystemPorts();
    QList<PortRow> rows;
    if (!Device::HasPortMappings()) {
        for (int i = 0; i < present.size(); ++i) {
            const auto n = static_cast<unsigned>(i + 1);
            rows << RowFor(n <= HighestPort ? QStringLiteral("COM%1").arg(n) : QStringLiteral("-"),
                           present.at(i).systemLocation(), &present.at(i));
        }
        return rows;
    }
    QStringList mapped;
    for (unsigned n = 1; n <= HighestPort; ++n) {
        const QString path = Device::ResolvePortName(n);
        if (path.isEmpty()) continue;
        mapped << Canonical(path);
        const auto info = std::find_if(present.begin(), present.end(), [&](const auto &port) {
            return Canonical(port.systemLocation()) == mapped.last();
        });
        rows << RowFor(QStringLiteral("COM%1").arg(n), path,
                       info != present.end() ? &*info : nullptr);
    }
    for (const QSerialPortInfo &port : present)
        if (!mapped.contains(Canonical(port.systemLocation())))
            rows << RowFor(QStringLiteral("-"), port.systemLocation(), &port);
    return rows;
}

QString PortTable(const QList<PortRow> &rows) {
    QList<QStringList> lines{{QStringLiteral("PORT"), QStringLiteral("DEVICE"),
                              QStringLiteral("USB ID"), QStringLiteral("SERIAL"),
                              QStringLiteral("DESCRIPTION"), QStringLiteral("CAN OPEN")}};
    for (const PortRow &row : rows)
        lines << QStringList{row.port,   row.device,      row.usbId,
                             row.serial, row.description, row.access};
    QList<int> widths(lines.first().size(), 0);
    for (const QStringList &line : lines)
        for (int column = 0; column < line.size(); ++column)
            widths[column] = std::max(widths[column], static_cast<int>(line.at(column).size()));
    QString text;
    for (const QStringList &line : lines) {
        QString out;
        for (int column = 0; column < line.size(); ++column) {
            const bool last = column + 1 == line.size();
            out += last ? line.at(column) : line.at(column).leftJustified(widths[column] + 2);
        }
        text += out + QLatin1Char('\n');
    }
    return text;
}

QString ListPortsText() {
    const QList<PortRow> rows = ListedPorts();
    QString text;
    if (Device::HasPortMappings())
        text = QStringLiteral("Ports mapped with --port come first; while any port is mapped,\n"
                              "the program uses no other device.\n\n");
    else
        text = QStringLiteral("Serial devices as the program numbers them: USB adapters first,\n"
                              "then the rest by name. Ports COM1 to COM16 can be chosen.\n\n");
    if (rows.isEmpty())
        return text + QStringLiteral("No serial devices found. A USB adapter appears as "
                                     "/dev/ttyUSB* or /dev/ttyACM* once it is plugged in.\n");
    return text + PortTable(rows);
}

} // namespace App
