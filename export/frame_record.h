// One accepted measurement frame as a recording keeps it.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace Export {

struct FrameRecord {
    QString model;
    std::int32_t frequencyHz = 0;
    std::int32_t biasMillivolts = 0;
    QString range; // the range as the window names it ("1 kOm"); empty when unknown
    bool seriesCircuit = true;
    std::array<float, 14> values{}; // the fourteen parameters in the units the link stores them
};

// The frame the link accepted last, from its module-wide results. The range stays empty: its
// name belongs to the window.
FrameRecord LastFrame();

} // namespace Export
