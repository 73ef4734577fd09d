// One accepted measurement frame as a recording keeps it.
#pragma once

#include <QString>

#include <cstdint>
#include <limits>

namespace Export {

struct FrameRecord {
    QString model;
    std::int32_t frequencyHz = 0; // as the frame reported it
    std::int32_t biasMillivolts = 0;
    QString range; // the range's name ("1 kOm"); empty for a byte outside the list
    bool seriesCircuit = true;
    float magnitude = 0.0f;       // |Z| in ohms, as the frame reported it
    float phase = 0.0f;           // angle of Z in radians, sign corrected for the model
    std::uint32_t connection = 0; // the opening of the port it came on (the session's count)
    // With a fixture's correction: magnitude and phase are the corrected impedance, these what
    // the frame reported, and correction names what was applied ("none" without one).
    float frameMagnitude = std::numeric_limits<float>::quiet_NaN(); // NaN: as magnitude
    float framePhase = std::numeric_limits<float>::quiet_NaN();
    QString correction = QStringLiteral("none");
};

// The frame the link accepted last, from its module-wide results.
FrameRecord LastFrame();

} // namespace Export
