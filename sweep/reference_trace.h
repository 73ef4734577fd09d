// A run held for comparison: all eleven parameters with their frequencies, copied from the store,
// and the deviation of another run from it.
#pragma once

#include "sweep/sweep_store.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace Sweep {

struct ReferenceTrace {
    std::vector<double> frequencies; // Hz, ascending (points of equal frequency in run order)
    std::array<std::vector<double>, Main::SweepParameterCount> values; // units of the store
    // What each point's frame reported (SweepMagnitudes, SweepPhases, SweepReportedFrequencies,
    // SweepSeriesCircuits), in the same order, so a data file can rebuild textbook values.
    std::vector<float> magnitudes;
    std::vector<float> phases;
    std::vector<std::int32_t> reportedFrequencies;
    std::vector<bool> seriesCircuits;

    bool empty() const { return frequencies.empty(); }
    int size() const { return static_cast<int>(frequencies.size()); }
};

// The points of the store's run taken so far (Main::TakenSweepPoints), sorted by frequency.
ReferenceTrace HoldReference(const Main::SweepVariables &store = Main::SweepState);

// Parameter k of the reference at a frequency, interpolated linearly in log f between the two
// points around it; nothing outside the reference's span (or where a neighbour is not finite).
std::optional<double> ReferenceAt(const ReferenceTrace &reference, int parameter, double hz);

struct Deviation {
    double delta = 0.0;   // measured - reference, in the unit of both
    double percent = 0.0; // delta against |reference|; not finite when the reference is zero
};

std::optional<Deviation> DeviationAt(const ReferenceTrace &reference, int parameter, double hz,
                                     double measured);

} // namespace Sweep
