// Levels and ranges of the meter as SCPI values.
#include "remote/meter_values.h"

#include <cmath>
#include <cstddef>

namespace Remote {

int MatchLevel(double volts) {
    for (int level : Levels)
        if (std::fabs(volts * 1000.0 - level) <= level * 0.01) return level;
    return -1;
}

int RangeFor(double ohms) {
    if (!(ohms >= 0.0) || ohms > RangeOhms[0] * (1 + 1e-9)) return -1;
    for (int i = static_cast<int>(RangeOhms.size()) - 1; i >= 0; --i)
        if (ohms <= RangeOhms[static_cast<std::size_t>(i)] * (1 + 1e-9)) return i;
    return -1;
}

} // namespace Remote
