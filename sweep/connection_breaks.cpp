// The points of a run at which its connection changed.
#include "sweep/connection_breaks.h"

namespace Sweep {

QList<int> ConnectionBreaks(const Main::SweepVariables &store) {
    QList<int> breaks;
    const int taken = Main::TakenSweepPoints(store);
    for (int i = 1; i < taken; ++i)
        if (store.SweepConnections[i] != store.SweepConnections[i - 1]) breaks.append(i);
    return breaks;
}

} // namespace Sweep
