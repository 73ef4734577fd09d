// Textbook quantities of an impedance: Z = |Z| e^{j theta}, Y = 1/Z.
#include "link/textbook_values.h"

#include "link/decoding.h"

#include <cmath>
#include <limits>

namespace Device {

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double DegreesPerRadian = 57.29577951308232;

double Ratio(double numerator, double divisor) {
    return divisor == 0.0 ? std::numeric_limits<double>::quiet_NaN() : numerator / divisor;
}

} // namespace

TextbookValues Textbook(double magnitude, double phase, double frequency) {
    TextbookValues v;
    v.magnitude = magnitude;
    v.phase = phase;
    v.frequency = frequency;
    const double c = std::cos(phase);
    const double s = std::sin(phase);
    const double omega = TwoPi * frequency;
    v.rs = magnitude * c;
    v.xs = magnitude * s;
    v.admittance = Ratio(1.0, magnitude);
    v.g = Ratio(c, magnitude);
    v.b = Ratio(-s, magnitude);
    v.cs = Ratio(-1.0, omega * v.xs);
    v.ls = Ratio(v.xs, omega);
    v.rp = Ratio(1.0, v.g);
    v.xp = Ratio(-1.0, v.b);
    v.cp = Ratio(v.b, omega);
    v.lp = Ratio(-1.0, omega * v.b);
    v.d = Ratio(v.rs, std::fabs(v.xs));
    v.q = Ratio(std::fabs(v.xs), v.rs);
    return v;
}

double TextbookParameter(const TextbookValues &v, int index, bool seriesCircuit) {
    switch (index) {
    case ParC:
        return seriesCircuit ? v.cs : v.cp;
    case ParL:
        return seriesCircuit ? v.ls : v.lp;
    case ParR:
        return seriesCircuit ? v.rs : v.rp;
    case ParG:
        return v.g;
    case ParB:
        return v.b;
    case ParX:
        return seriesCircuit ? v.xs : v.xp;
    case ParZ:
        return v.magnitude;
    case ParY:
        return v.admittance;
    case ParD:
        return v.d;
    case ParQ:
        return v.q;
    case ParFiz:
        return v.phase * DegreesPerRadian;
    case ParFiy:
        return -v.phase * DegreesPerRadian;
    case ParF:
        return v.frequency;
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

} // namespace Device
