// The serial devices with their port numbers and whether this user can open them.
#include "launch/port_listing.h"

#include "link/port_names.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>

namespace Launch {

namespace {

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
    return Device::ProbeDevice(path);
}

QString ExplainAccess(const DeviceAccess &access) {
    using Device::OpenFailureReason;
    switch (Device::ReasonFor(access)) {
    case OpenFailureReason::None:
        return QStringLiteral("yes");
    case OpenFailureReason::NoDevice:
        return QStringLiteral("no: the device is gone");
    case OpenFailureReason::Busy:
        return QStringLiteral("no: busy, another program has it open");
    case OpenFailureReason::NoHardware:
        return QStringLiteral("no: nothing answers behind it (a port that is not fitted, or a "
                              "device unplugged)");
    case OpenFailureReason::NotSerial:
        return QStringLiteral("no: not a serial device");
    case OpenFailureReason::NoPermission:
        break;
    case OpenFailureReason::Other:
        return QStringLiteral("no: %1").arg(QString::fromLocal8Bit(std::strerror(access.error)));
    }
    switch (Device::RemedyFor(access)) {
    case Device::GroupRemedy::None:
        return QStringLiteral("no: permission denied; the device is open to no group");
    case Device::GroupRemedy::InGroup:
        return QStringLiteral("no: permission denied");
    case Device::GroupRemedy::LogInAgain:
        return QStringLiteral("no: permission denied; %1 joined group %2 after this session "
                              "began: log out and in again")
            .arg(access.user, access.group);
    case Device::GroupRemedy::JoinGroup:
        break;
    }
    return QStringLiteral("no: permission denied; the device belongs to group %2: "
                          "sudo usermod -aG %2 %1, then log out and in again")
        .arg(access.user, access.group);
}

QList<PortRow> ListedPorts() {
    const QList<QSerialPortInfo> present = Device::SystemPorts();
    QList<PortRow> rows;
    if (!Device::HasPortMappings()) {
        for (int i = 0; i < present.size(); ++i) {
            const auto n = static_cast<unsigned>(i + 1);
            rows << RowFor(n <= Device::HighestPort ? QStringLiteral("COM%1").arg(n)
                                                    : QStringLiteral("-"),
                           present.at(i).systemLocation(), &present.at(i));
        }
        return rows;
    }
    QStringList mapped;
    for (unsigned n = 1; n <= Device::HighestPort; ++n) {
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

} // namespace Launch
