// impedix --list-ports and impedix-cli ports: the serial devices the program sees, the COM number
// each would get, what the system knows of them, and whether this user can open them (and if not,
// why).
#pragma once

#include "link/open_failure.h"

#include <QList>
#include <QString>

namespace Launch {

// What a probe of a device found: the link's own, so that the window and this listing judge a
// device by the same rules.
using DeviceAccess = Device::DeviceAccess;

// Opens path without waiting for modem lines and closes it again at once.
DeviceAccess ProbeAccess(const QString &path);

// "yes", or "no: " with the reason and, where there is one, the remedy.
QString ExplainAccess(const DeviceAccess &access);

struct PortRow {
    QString port;        // "COM3", or "-" when no port number reaches the device
    QString device;      // path
    QString usbId;       // "0403:6001", or "-"
    QString serial;      // USB serial number, or "-"
    QString description; // description and maker, or "-"
    QString access;      // ExplainAccess
};

// Without port mappings, the system's devices in their numbering order; with mappings, the
// mapped ports first (the only ones the program uses then), then the devices left out.
QList<PortRow> ListedPorts();

QString PortTable(const QList<PortRow> &rows);

// The whole text that --list-ports prints.
QString ListPortsText();

} // namespace Launch
