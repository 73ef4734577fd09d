// Port-number-to-device resolution: explicit mappings first, else the system's serial devices.
#include "link/port_names.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace Device {

namespace {

QMap<unsigned, QString> &Mappings() {
    return PortNameState.Mappings;
}

bool IsUsbAdapter(const QString &name) {
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

QString SystemPort(unsigned n) {
    const QList<QSerialPortInfo> ports = SystemPorts();
    if (n == 0 || n > static_cast<unsigned>(ports.size())) return QString();
    return ports.at(static_cast<int>(n) - 1).systemLocation();
}

} // namespace

QList<QSerialPortInfo> SystemPorts() {
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::stable_sort(ports.begin(), ports.end(),
                     [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
                         const bool usbA = IsUsbAdapter(a.portName());
                         const bool usbB = IsUsbAdapter(b.portName());
                         if (usbA != usbB) return usbA;
                         return a.portName() < b.portName();
                     });
    return ports;
}

void MapPort(unsigned n, const QString &path) {
    Mappings().insert(n, path);
}

void ClearPortMappings() {
    Mappings().clear();
}

bool HasPortMappings() {
    return !Mappings().isEmpty();
}

QString ParsePortArgument(const QString &argument, unsigned *n, QString *path) {
    static const QRegularExpression form(QStringLiteral("^COM([0-9]{1,2})=(.+)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(argument);
    if (!match.hasMatch())
        return QStringLiteral(
                   "--port expects COMn=PATH (for example COM3=/dev/ttyUSB0), got \"%1\"")
            .arg(argument);
    const unsigned number = match.captured(1).toUInt();
    if (number < 1 || number > HighestPort)
        return QStringLiteral("--port: the port number must be 1 to %1, got %2")
            .arg(HighestPort)
            .arg(number);
    *n = number;
    *path = match.captured(2);
    return QString();
}

QString MapPortFromArgument(const QString &argument) {
    unsigned n = 0;
    QString path;
    const QString error = ParsePortArgument(argument, &n, &path);
    if (error.isEmpty()) MapPort(n, path);
    return error;
}

void SetHandPath(const QString &path) {
    PortNameState.HandPath = path;
}

QString HandPath() {
    return PortNameState.HandPath;
}

QString ResolvePortName(unsigned n) {
    if (n == HighestPort && !PortNameState.HandPath.isEmpty()) return PortNameState.HandPath;
#ifdef Q_OS_WIN
    return QStringLiteral("\\\\.\\COM%1").arg(n);
#else
    if (HasPortMappings()) return Mappings().value(n);
    return SystemPort(n);
#endif
}

} // namespace Device
