// Frame layout, polar/rectangular conversions and the parameter formulas.
#include "link/decoding.h"

#include "link/models.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace Device {

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr float RightAngle = 1.570796f;
constexpr float OpenCircuit = 9.9e8f;   // ohms, stands for an infinite parallel quantity
constexpr float NoDivisorG = 1.6e9f;    // G, B and Y with a zero divisor
constexpr float NoDivisorDQ = 9.9e9f;   // D and Q with a zero divisor
constexpr float ResistanceCap = 9.9e9f; // ohms; beyond it R shows as 9.9e12 mOhm

float BigEndianFloat(const std::uint8_t *p) {
    const std::uint32_t word = qFromBigEndian<std::uint32_t>(p);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

// Whether the values of a frame could come from a measurement at all. A damaged frame that
// passed the mark and the status bit shows itself here.
bool Plausible(std::int32_t frequencyHz, float magnitude, float wirePhase) {
    if (frequencyHz < LowestFrequencyOfAnyModel() || frequencyHz > HighestFrequencyOfAnyModel())
        return false;
    if (!std::isfinite(magnitude) || magnitude < 0.0f) return false;
    return std::isfinite(wirePhase) && std::fabs(wirePhase) <= PhaseLimit;
}

float Quotient(double numerator, float divisor, float replacement) {
    return divisor == 0.0f ? replacement : static_cast<float>(numerator / divisor);
}

// Whether every value derived from the frame is a number: an extreme |Z| or a reactance next to
// zero overflows single precision in C, L, X, Z, G, B, Y, D or Q although the frame itself holds
// finite values.
bool DerivesFinite(const DecodedFrame &frame, bool seriesCircuit) {
    if (!std::isfinite(frame.resistance) || !std::isfinite(frame.reactance)) return false;
    ParameterInputs in;
    in.magnitude = frame.magnitude;
    in.phase = frame.phase;
    in.resistance = frame.resistance;
    in.reactance = frame.reactance;
    in.angularFrequency = frame.angularFrequency;
    in.frequencyHz = frame.frequencyHz;
    in.biasMillivolts = frame.biasMillivolts;
    in.seriesCircuit = seriesCircuit;
    for (int index = 0; index < ParameterCount; ++index)
        if (!std::isfinite(DeriveParameter(index, in))) return false;
    return true;
}

} // namespace

void ToPolar(FloatPair &result, const FloatPair &z) {
    const double re = z.first;
    const double im = z.second;
    const float magnitude = static_cast<float>(std::sqrt(re * re + im * im));
    result.second = z.first == 0.0f ? RightAngle : static_cast<float>(std::atan2(im, re));
    result.first = magnitude;
}

void FromPolar(FloatPair &result, const FloatPair &polar) {
    const double magnitude = polar.first;
    const double angle = polar.second;
    result.first = static_cast<float>(magnitude * std::cos(angle));
    result.second = static_cast<float>(magnitude * std::sin(angle));
}

void ToParallel(FloatPair &z) {
    FloatPair polar;
    ToPolar(polar, z);
    if (polar.first == 0.0f) {
        z = {OpenCircuit, 0.0f};
        return;
    }
    FloatPair admittance;
    FromPolar(admittance, {static_cast<float>(1.0 / polar.first), -polar.second});
    // A zero conductance or susceptance means the parallel element is absent: show it as open.
    z.first = Quotient(1.0, admittance.first, OpenCircuit);
    z.second =
        admittance.second == 0.0f ? OpenCircuit : static_cast<float>(-1.0 / admittance.second);
}

DecodedFrame DecodeFrame(const std::uint8_t *bytes, std::uint32_t count, bool seriesCircuit,
                         int modelIndex) {
    DecodedFrame frame;
    if (count < 20) return frame;
    frame.status = bytes[2];
    if ((frame.status & 0x80) == 0) {
        frame.verdict = FrameVerdict::NotValid;
        return frame;
    }
    frame.mode = bytes[3];
    frame.range = bytes[5];
    frame.biasMillivolts =
        static_cast<std::int32_t>(qFromBigEndian<std::uint16_t>(bytes + 6)) * BiasScale(modelIndex);
    frame.frequencyHz = qFromBigEndian<std::int32_t>(bytes + 8);
    frame.angularFrequency = static_cast<float>(frame.frequencyHz * TwoPi);
    if (frame.angularFrequency == 0.0f) {
        frame.verdict = FrameVerdict::ZeroFrequency;
        return frame;
    }
    frame.magnitude = BigEndianFloat(bytes + 12);
    const float wirePhase = BigEndianFloat(bytes + 16);
    if (!Plausible(frame.frequencyHz, frame.magnitude, wirePhase)) {
        frame.verdict = FrameVerdict::Impossible;
        return frame;
    }
    frame.phase = PhaseSign(modelIndex) < 0 ? -wirePhase : wirePhase;

    FloatPair z;
    FromPolar(z, {frame.magnitude, frame.phase});
    if (!seriesCircuit) ToParallel(z);
    frame.resistance = z.first;
    frame.reactance = z.second;
    frame.verdict =
        DerivesFinite(frame, seriesCircuit) ? FrameVerdict::Accepted : FrameVerdict::Impossible;
    return frame;
}

float DeriveParameter(int index, const ParameterInputs &in) {
    const float r = in.resistance;
    const float x = in.reactance;
    const double omega = in.angularFrequency;
    switch (index) {
    case ParC: {
        if (x == 0.0f) return 0.0f;
        const float p = static_cast<float>(omega * x);
        return p == 0.0f ? 1e12f : static_cast<float>(-1e12 / p);
    }
    case ParL:
        return static_cast<float>(x / omega * 1e9);
    case ParR:
        return std::fabs(r) > ResistanceCap ? 9.9e12f : static_cast<float>(r * 1000.0);
    case ParG:
        return Quotient(1e9, r, NoDivisorG);
    case ParB:
        return Quotient(1e9, x, NoDivisorG);
    case ParX:
        return static_cast<float>(x * 1000.0);
    case ParZ:
        return static_cast<float>(in.magnitude * 1000.0);
    case ParY:
        return Quotient(1e9, in.magnitude, NoDivisorG);
    case ParD:
        return in.seriesCircuit ? Quotient(r, std::fabs(x), NoDivisorDQ)
                                : Quotient(std::fabs(x), r, NoDivisorDQ);
    case ParQ:
        return in.seriesCircuit ? Quotient(std::fabs(x), r, NoDivisorDQ)
                                : Quotient(r, std::fabs(x), NoDivisorDQ);
    case ParFiz:
        return static_cast<float>(in.phase * StoredDegreesPerRadian);
    case ParFiy:
        return static_cast<float>(in.phase * -StoredDegreesPerRadian);
    case ParF:
        return static_cast<float>(in.frequencyHz);
    case ParUb:
        return static_cast<float>(in.biasMillivolts);
    default:
        return 0.0f;
    }
}

} // namespace Device
