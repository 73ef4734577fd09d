// Pure decoding of a measurement frame and the derivation of the fourteen parameters.
// Nothing here touches the port or module-wide state, so it can be tested and fuzzed alone.
#pragma once

#include <cstdint>

namespace Device {

// Parameter indices, one numbering throughout the program.
enum ParameterIndex : int {
    ParC = 0,
    ParL,
    ParR,
    ParG,
    ParB,
    ParX,
    ParZ,
    ParY,
    ParD,
    ParQ,
    ParFiz,
    ParFiy,
    ParF,
    ParUb,
    ParameterCount
};

// ParameterValues past the fourteen parameters: the frame's own magnitude and angle of Z, and
// R and X of the chosen circuit.
enum RawValueIndex : int {
    ValMagnitude = ParameterCount, // |Z|, ohms
    ValPhase,                      // angle of Z, radians, sign corrected for the model
    ValResistance,                 // R of the chosen circuit, ohms
    ValReactance,                  // X of the chosen circuit, ohms
    ParameterValueCount
};

// Fiz and Fiy are the angle in radians times this factor (not 180/pi).
constexpr double StoredDegreesPerRadian = 57.2958;

// A rectangular (real, imaginary) or polar (magnitude, angle in radians) pair.
struct FloatPair {
    float first = 0.0f;
    float second = 0.0f;
};

void ToPolar(FloatPair &result, const FloatPair &z);
void FromPolar(FloatPair &result, const FloatPair &polar);
void ToParallel(FloatPair &z);

enum class FrameVerdict {
    Short,         // fewer than 20 bytes: nothing is taken from it
    NotValid,      // status bit 7 clear: only the status is taken
    ZeroFrequency, // the header is taken, the values are not
    Impossible,    // values no measurement can have: only the status is taken, as for NotValid
    Accepted
};

// The largest phase angle a frame may carry: pi as the instrument's single-precision float
// holds it (a hair above pi itself). Anything beyond is a damaged frame.
constexpr float PhaseLimit = static_cast<float>(3.141592653589793); // radians

struct DecodedFrame {
    FrameVerdict verdict = FrameVerdict::Short;
    std::uint8_t status = 0;
    std::uint8_t mode = 0;
    std::uint8_t range = 0;
    std::int32_t biasMillivolts = 0;
    std::int32_t frequencyHz = 0;
    float angularFrequency = 0.0f;
    float magnitude = 0.0f;  // |Z| in ohms
    float phase = 0.0f;      // angle of Z in radians, sign already corrected for the model
    float resistance = 0.0f; // R of the chosen circuit, ohms
    float reactance = 0.0f;  // X of the chosen circuit, ohms
};

// bytes: the reply buffer (at least 20 readable bytes), count: how many the link accepted.
// A frame is Impossible when its frequency (other than 0) lies outside what any model can set,
// its |Z| is negative or not finite, its phase angle is not finite or beyond PhaseLimit, or any
// of the fourteen parameters or R and X derived from it would come out infinite or NaN (the
// fixed values for a zero divisor are finite, so they pass).
DecodedFrame DecodeFrame(const std::uint8_t *bytes, std::uint32_t count, bool seriesCircuit,
                         int modelIndex);

struct ParameterInputs {
    float magnitude = 0.0f;
    float phase = 0.0f;
    float resistance = 0.0f;
    float reactance = 0.0f;
    float angularFrequency = 0.0f;
    std::int32_t frequencyHz = 0;
    std::int32_t biasMillivolts = 0;
    bool seriesCircuit = true;
};

// Parameter index in the unit of its starting prefix (pF, nH, mOhm, nS, ...); 0 for an index
// outside 0..13. Zero divisors give the fixed replacement values.
float DeriveParameter(int index, const ParameterInputs &in);

} // namespace Device
