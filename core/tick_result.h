// What one measurement tick did, for a front end that only shows.
#pragma once

#include <QMetaType>

#include "link/reading_status.h"
#include "link/silence.h"

#include <cstdint>

namespace Core {

struct TickResult {
    bool accepted = false;         // a complete, valid frame was read and decoded
    bool synchronised = false;     // its settings were copied into the program's (once per find)
    bool followed = false;         // it reports a frequency the program accepts
    bool sweepPointStored = false; // it became a point of the running sweep
    bool sweepFinished = false;    // that point was the run's last
    bool recorded = false;         // it was appended to the recording
    bool portOpen = false;         // a port is open after the tick
    Device::Silence silence;       // how long the meter has gone without an accepted frame
    // The accepted frame's status (Normal: a reading at the conditions asked for) and the
    // connection it came on.
    Device::ReadingStatus status = Device::ReadingStatus::NoData;
    std::uint32_t connection = 0;
    bool counts() const { return accepted && Device::Counts(status); }
};

} // namespace Core

Q_DECLARE_METATYPE(Core::TickResult)
