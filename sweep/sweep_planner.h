// The one planner of a run: from what is asked (the swept quantity, start, stop, number of
// points, spacing, or a list of its own) and a model's capabilities to the value of each point,
// or the refusal of the first thing the model cannot take. Pure: the window, the command line
// and SCPI all plan through it and word its refusals their own way.
#pragma once

#include "link/refusal.h"
#include "sweep/sweep_plan.h"

#include <cstdint>
#include <vector>

namespace Sweep {

enum class Quantity {
    Frequency, // Hz
    Bias,      // mV
    Level,     // mV, one of the model's levels
};

struct Request {
    Quantity quantity = Quantity::Frequency;
    Spacing spacing = Spacing::Linear;
    std::int32_t start = 0;         // linear and log: the first point's value
    std::int32_t stop = 0;          // and the last's
    int points = 0;                 // linear and log: how many points, first and last included
    std::vector<std::int32_t> list; // Spacing::List: the points in run order
};

struct Plan {
    std::vector<std::int32_t> points; // in run order; empty when refused
    Device::Verdict refusal;
    bool ok() const { return !refusal.has_value(); }
};

// Frequency: start within the model's run bounds, stop from start to the upper bound, 2 … 256
// points; linear is the designed fill (single-precision step, truncated), log is LogPlan.
// Bias: start and stop within the bias source (either way round), each point rounded to the
// model's step; log needs a start above 0. Level: a list of the model's levels in the order
// given. A list: 2 … 256 entries, each checked as a point.
Plan PlanRun(const Request &request, const Device::Capabilities &model);

// The checks of the frequency run's bounds alone, in the order START reads its fields.
Device::Verdict CheckSweepStart(const Device::Capabilities &model, std::int32_t hz);
Device::Verdict CheckSweepStop(const Device::Capabilities &model, std::int32_t start,
                               std::int32_t hz);
Device::Verdict CheckSweepPoints(int points);

} // namespace Sweep
