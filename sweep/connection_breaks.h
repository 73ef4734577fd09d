// Where a run's line to the meter was lost and came back: the taken points at which the
// connection differs from the one before.
#pragma once

#include "sweep/sweep_store.h"

#include <QList>

namespace Sweep {

// The index of every taken point (Main::TakenSweepPoints) whose connection is not its
// predecessor's, in run order: the first point of each new connection. None for a run that kept
// its line.
QList<int> ConnectionBreaks(const Main::SweepVariables &store = Main::SweepState);

} // namespace Sweep
