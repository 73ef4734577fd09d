// Point frequencies of a run.
#include "sweep/sweep_frequencies.h"

#include "sweep/sweep_store.h"

#include <cmath>

namespace Main {

std::int32_t SweepPointFrequency(int &i, std::int32_t low, std::int32_t high, int points) {
    const float span = static_cast<float>(high) - static_cast<float>(low);
    const float step = points > 1 ? span / static_cast<float>(points - 1) : 0.0f;
    const double f = std::trunc(static_cast<double>(low) + static_cast<double>(i) * step);
    if (f > static_cast<double>(high)) {
        i = points - 1;
        return high;
    }
    return static_cast<std::int32_t>(f);
}

void FillSweepFrequencies(std::int32_t low, std::int32_t high) {
    for (int i = 0; i < SweepPoints && i < SweepCapacity; ++i)
        SweepFrequencies[i] = static_cast<float>(SweepPointFrequency(i, low, high, SweepPoints));
}

} // namespace Main
