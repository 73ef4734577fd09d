// What a sweep run is asked to do: its bounds, its number of points, whether the frequency is
// stepped, and optionally the point frequencies themselves.
#pragma once

#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_planner.h"

#include <QVector>

#include <cstdint>

namespace Core {

using Main::SweepHighestHz;
using Main::SweepLowestHz;

struct SweepPlan {
    std::int32_t low = 0;       // Hz; the single frequency of a series of samples
    std::int32_t high = 0;      // Hz; ignored for a series of samples
    int points = 10;            // limited to 2..SweepCapacity
    bool frequencySweep = true; // false: a series of samples at low
    // How the points lie between low and high: evenly (the designed run) or logarithmically.
    Sweep::Spacing spacing = Sweep::Spacing::Linear;
    // Planned frequencies of the points, in Hz (a list run); empty for the spacing's fill.
    QVector<std::int32_t> frequencies;
};

// The capabilities START plans against: its bounds are the same whichever model answers.
Device::Capabilities StartCapabilities();

// The planner's request for the run about to start: the plan's own list when it has one, else
// the spacing's SweepPoints points from FrequencyLow to FrequencyHigh (linear: the designed fill).
Sweep::Request StartRequest(Sweep::Spacing spacing, const QVector<std::int32_t> &frequencies);

// The planner's answer to StartRequest: SweepPoints frequencies, or a refusal.
Sweep::Plan PlanStart(Sweep::Spacing spacing, const QVector<std::int32_t> &frequencies);

} // namespace Core
