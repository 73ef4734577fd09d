// How a port number n (COMn) becomes a device the serial port can open on this system.
#pragma once

#include <QList>
#include <QMap>
#include <QSerialPortInfo>
#include <QString>

namespace Device {

// Ports COM1 to COM16 can be chosen by hand; the search tries all but the last.
constexpr unsigned HighestPort = 16;
constexpr unsigned LastSearchedPort = 15;

struct PortNameVariables {
    QMap<unsigned, QString> Mappings; // COMn -> device path, from the command line or a test
    QString HandPath; // a device typed or found by path: COM16 stands for it while set
};
extern PortNameVariables PortNameState;

// Maps COMn to an explicit device path. Once any mapping exists, unmapped ports resolve to
// nothing, so tests and the demo never touch the machine's own serial devices.
void MapPort(unsigned n, const QString &path);
void ClearPortMappings();
bool HasPortMappings();

// Parses "COMn=PATH" (n from 1 to 16, a non-empty path). Returns an empty string on success,
// with n and path filled, else a message for the user.
QString ParsePortArgument(const QString &argument, unsigned *n, QString *path);

// Parses "COMn=PATH" as above and maps it.
QString MapPortFromArgument(const QString &argument);

// The serial devices present in the order that numbers them: USB adapters first, then the rest
// by name. Without port mappings, the n-th of them is COMn.
QList<QSerialPortInfo> SystemPorts();

// A device reached by its path rather than its number: COM16 (HighestPort) resolves to it,
// whatever the mappings and the system's list say; empty: COM16 resolves as before.
void SetHandPath(const QString &path);
QString HandPath();

// The device name for port n: COM16 the hand path while one is set; "\\.\COMn" on Windows;
// elsewhere the explicit mapping, else the n-th serial device present (USB adapters first, then the
// rest by name); empty when none.
QString ResolvePortName(unsigned n);

} // namespace Device
