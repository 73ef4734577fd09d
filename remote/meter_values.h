// The meter's levels, bias bound and ranges as SCPI values: which level a voltage names and which
// range holds an impedance. The facts themselves are the link's (link/capabilities.h).
#pragma once

#include "link/capabilities.h"

#include <array>

namespace Remote {

inline constexpr const auto &Levels = Device::Levels;                  // mV, the meter's own
constexpr double HighestBias = Device::HighestBiasMillivolts / 1000.0; // V
// Nominal impedance of each range index, "10 MOm" down to "1 Om".
inline constexpr const auto &RangeOhms = Device::RangeOhms;

// The level in mV within 1 % of volts, else -1.
int MatchLevel(double volts);

// The index of the smallest range that holds an impedance of ohms, else -1.
int RangeFor(double ohms);

} // namespace Remote
