// The test frequency of each point of a run: linear from the lower to the upper bound.
#pragma once

#include <cstdint>

namespace Main {

// The bounds START accepts for Fmin and Fmax, in Hz.
constexpr std::int32_t SweepLowestHz = 25;
constexpr std::int32_t SweepHighestHz = 10000000;

// Frequency in Hz of point i of a run of `points` points from low to high. The step is held in
// single precision, so the last point may come out one below high. Should a point overshoot
// high, the result is high and i becomes points - 1, so that a caller's loop over i stores
// high in the last slot and ends there.
std::int32_t SweepPointFrequency(int &i, std::int32_t low, std::int32_t high, int points);

// SweepFrequencies[0..SweepPoints-1] for a run from low to high.
void FillSweepFrequencies(std::int32_t low, std::int32_t high);

} // namespace Main
