// The meter's levels, bias bound and ranges as SCPI values: which level a voltage names and which
// range holds an impedance.
#pragma once

#include <array>

namespace Remote {

constexpr std::array<int, 6> Levels{1000, 500, 100, 50, 10, 5}; // mV, the meter's own
constexpr double HighestBias = 40.0;                            // V
// Nominal impedance of each range index, "10 MOm" down to "1 Om".
constexpr std::array<double, 8> RangeOhms{1e7, 1e6, 1e5, 1e4, 1e3, 100.0, 10.0, 1.0};

// The level in mV within 1 % of volts, else -1.
int MatchLevel(double volts);

// The index of the smallest range that holds an impedance of ohms, else -1.
int RangeFor(double ohms);

} // namespace Remote
