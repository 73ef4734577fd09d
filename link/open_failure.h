// Why a serial device cannot be opened, decided once from what the system says about it: the
// device is missing, nothing answers behind its node, the user lacks the rights to it (and what
// would grant them), another program holds it, or it is no serial device. The window and
// --list-ports each put the reason in words of their own.
#pragma once

#include <QString>

namespace Device {

enum class OpenFailureReason {
    None,         // the port opened (or, for a probe, the system lets this user open it)
    NoDevice,     // no path for the port, or nothing at the path
    NoPermission, // the device exists but this user may not read and write it
    Busy,         // another program holds the device (its lock, or exclusive use)
    NotSerial,    // the path is a file, a directory or a device that is no terminal
    Other,        // none of the above could be established
    NoHardware    // the device node is there but nothing answers behind it (a serial port
                  // that is not fitted, an adapter unplugged while its node stays)
};

// For NoPermission: whether the group that owns the device would let the user in.
enum class GroupRemedy {
    None,       // the group may not read and write the device either
    JoinGroup,  // the group may; the user is not a member
    LogInAgain, // the user was made a member after this session began
    InGroup     // this process carries the group and is still refused (an ACL, a policy)
};

// What the system says about a device path, as a probe finds it.
struct DeviceAccess {
    int error = 0;              // errno of stat, else of a non-blocking open; 0: it opened
    bool serial = true;         // a character device that is a terminal (as far as was seen)
    QString user;               // who is asking
    QString group;              // the group that owns the device
    bool groupMayUse = false;   // that group may read and write it
    bool inGroupNow = false;    // this process carries the group
    bool inGroupListed = false; // the user database puts the user in the group
};

// Looks at path: stat, then an open for reading and writing that waits for no modem line and
// takes no controlling terminal, closed again at once. Changes nothing else.
DeviceAccess ProbeDevice(const QString &path);

// The one set of rules: what a probe means.
OpenFailureReason ReasonFor(const DeviceAccess &access);
GroupRemedy RemedyFor(const DeviceAccess &access);

struct OpenFailure {
    OpenFailureReason reason = OpenFailureReason::None;
    QString text; // for the status line and for stderr; empty for None
};

// Looks at path after an attempt to open it as a serial port failed, and says why. A device
// that the system would let us open is held by another program (its lock file).
OpenFailure ClassifyOpenFailure(const QString &path);

// The window's text for a reason. group is the group that owns the device, given for
// NoPermission when joining it would grant read and write access; empty otherwise.
QString OpenFailureText(OpenFailureReason reason, const QString &path, const QString &group = {});

} // namespace Device
