// Why a serial port could not be opened, in words the user can act on: the device is missing,
// the user lacks the rights to it, another program holds it, or it is no serial device.
#pragma once

#include <QString>

namespace Device {

enum class OpenFailureReason {
    None,         // the port opened
    NoDevice,     // no path for the port, or nothing at the path
    NoPermission, // the device exists but this user may not read and write it
    Busy,         // another program holds the device (its lock, or exclusive use)
    NotSerial,    // the path is a file, a directory or a device that is no terminal
    Other         // none of the above could be established
};

struct OpenFailure {
    OpenFailureReason reason = OpenFailureReason::None;
    QString text; // for the status line and for stderr; empty for None
};

// Looks at path after an attempt to open it as a serial port failed, and says why. Uses the file
// system only (stat, access, a brief non-blocking open); changes nothing.
OpenFailure ClassifyOpenFailure(const QString &path);

// The text for a reason. group is the group that owns the device, given for NoPermission when
// joining it would grant read and write access; empty otherwise.
QString OpenFailureText(OpenFailureReason reason, const QString &path, const QString &group = {});

} // namespace Device
