// The test frequency of each point of a run: linear from the lower to the upper bound.
#pragma once

#include "link/capabilities.h"

#include <cstdint>

namespace Main {

// The bounds of a run under the names START's code knows them by.
using Device::SweepHighestHz;
using Device::SweepLowestHz;

// The graph's frequency axis and the sweep statistics count in kHz.
constexpr double KilohertzPerHertz = 0.001;

// Frequency in Hz of point i of a run of `points` points from low to high. The step is held in
// single precision, so the last point may come out one below high. Should a point overshoot
// high, the result is high and i becomes points - 1, so that a caller's loop over i stores
// high in the last slot and ends there.
std::int32_t SweepPointFrequency(int &i, std::int32_t low, std::int32_t high, int points);

// SweepFrequencies[0..SweepPoints-1] for a run from low to high.
void FillSweepFrequencies(std::int32_t low, std::int32_t high);

} // namespace Main
