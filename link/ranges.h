// The meter's eight measurement ranges by name and nominal impedance, in the order of the range
// byte of a frame and of the range command: 0 is the highest ("10 MOm"), 7 the lowest ("1 Om").
#pragma once

#include <QString>

#include <array>

namespace Device {

constexpr int RangeCount = 8;

constexpr std::array<const char *, RangeCount> RangeNames{"10 MOm", "1 MOm",  "100 kOm", "10 kOm",
                                                          "1 kOm",  "100 Om", "10 Om",   "1 Om"};

// The nominal impedance of each range, in ohms, in the same order.
inline constexpr std::array<double, RangeCount> RangeOhms{1e7, 1e6,   1e5,  1e4,
                                                          1e3, 100.0, 10.0, 1.0};

// The name of range index, or an empty text for a byte outside the list.
QString RangeName(int index);

} // namespace Device
