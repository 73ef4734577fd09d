// The component under test: optional R, L and C in series or in parallel, or one of two
// networks of a real part (a coil with its winding capacitance, a resonator with its shunt
// capacitance), and its impedance (magnitude and phase angle) at a test frequency.
#pragma once

#include <QString>

#include <complex>
#include <optional>

namespace Sim {

// Plain: R, L and C all in series, or all in parallel with `parallel`.
// Inductor: (R + L) in parallel with C. Resonator: (R + L + C) in parallel with C0.
enum class Network { Plain, Inductor, Resonator };

struct Component {
    std::optional<double> resistance;  // ohms
    std::optional<double> inductance;  // henries
    std::optional<double> capacitance; // farads
    bool parallel = false;
    Network network = Network::Plain;
    std::optional<double> shuntCapacitance; // farads, C0 of the resonator
};

struct Impedance {
    double magnitude; // ohms
    double theta;     // radians, atan2(imaginary, real)
};

// What open terminals read as: nothing connected, a series capacitor of 0 F, a parallel network
// without any branch. Finite so that it survives the single-precision wire format.
constexpr double OpenCircuitOhms = 1e12;

Impedance impedanceAt(const Component &component, double frequencyHz);

// z in polar form; a magnitude of OpenCircuitOhms or more (or not a number) reads as open.
Impedance fromComplex(const std::complex<double> &z);

// A number with an optional engineering suffix: p n u mk m k M G (e.g. "100n", "4.7k", "10mk").
std::optional<double> parseEngineeringValue(const QString &text);

// "C=100n,R=0.5": comma-separated R=, L=, C=, C0= items, each at most once, values not negative.
// An empty text leaves the terminals open. The result is a plain series network; the caller sets
// parallel or the network. On failure error receives a one-line reason.
std::optional<Component> parseComponent(const QString &description, QString *error = nullptr);

} // namespace Sim
