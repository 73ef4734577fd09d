// Finding the meter: the ports COM1..COM15 in turn, each asked who it is.
#pragma once

#include "link/port_names.h"

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace Core {

using Device::LastSearchedPort;     // COM16 can only be chosen by hand
constexpr int IdentityTextSize = 8; // the identity reply, with its end
// Exchanges for one identity when its replies come back damaged: a noisy line must not cost the
// meter, whichever front end searches or whenever a lost port comes back.
constexpr int IdentityTries = 3;

struct SearchResult {
    bool found = false;
    unsigned port = 0; // where a known model answered
    int model = 0;     // its row of the model table
    QString failure;   // "COMn: reason" for the first port that is there but did not open
};

// The identity of the meter on the port that is open: its row of the model table, or
// Device::ModelCount when no known model answered. A reply that came back damaged (some bytes,
// but no known identity) is asked again, up to tries exchanges in all; a port that stays silent
// is asked once.
int IdentifyOpenPort(int tries);

// Opens COM1..COM15 in turn until a known model answers. On success the port stays open and
// ModelIndex holds its row; on failure the port of the last attempt may stay open.
SearchResult SearchPorts(int identityTries);

// Text typed where a port is chosen, as a device path: "/dev/ttyUSB3", "\\.\COM23"
// (trimmed); empty when it is none.
QString TypedDevicePath(const QString &typed);

// The system's serial devices (in Device::SystemPorts' order) that none of the designed names
// reaches, in that order.
QStringList ExtraSearchPaths(const QStringList &system, const QStringList &designed);

// Each of ExtraSearchPaths in turn as COM16 (Device::SetHandPath) until a known model answers;
// on failure the hand path is what it was.
SearchResult SearchSystemPorts(int identityTries);

} // namespace Core

Q_DECLARE_METATYPE(Core::SearchResult)
