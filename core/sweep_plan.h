// What a sweep run is asked to do: its bounds, its number of points, whether the frequency is
// stepped, and optionally the point frequencies themselves.
#pragma once

#include <QVector>

#include <cstdint>

namespace Core {

constexpr std::int32_t SweepLowestHz = 25;
constexpr std::int32_t SweepHighestHz = 10000000;

struct SweepPlan {
    std::int32_t low = 0;       // Hz; the single frequency of a series of samples
    std::int32_t high = 0;      // Hz; ignored for a series of samples
    int points = 10;            // limited to 2..SweepCapacity
    bool frequencySweep = true; // false: a series of samples at low
    // Planned frequencies of the points, in Hz; empty for the linear fill from low to high.
    QVector<std::int32_t> frequencies;
};

// Fills SweepFrequencies[0..SweepPoints-1] for the run: the plan's own list when it has one
// (its last entry repeated if short), else linear from FrequencyLow to FrequencyHigh.
void PlanSweepFrequencies(const QVector<std::int32_t> &frequencies);

} // namespace Core
