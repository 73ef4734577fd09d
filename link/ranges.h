// The meter's eight measurement ranges by name, in the order of the range byte of a frame and of
// the range command: 0 is the highest ("10 MOm"), 7 the lowest ("1 Om").
#pragma once

#include <QString>

#include <array>

namespace Device {

constexpr int RangeCount = 8;

constexpr std::array<const char *, RangeCount> RangeNames{"10 MOm", "1 MOm",  "100 kOm", "10 kOm",
                                                          "1 kOm",  "100 Om", "10 Om",   "1 Om"};

// The name of range index, or an empty text for a byte outside the list.
QString RangeName(int index);

} // namespace Device
