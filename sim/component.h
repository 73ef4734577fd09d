// The component under test: optional R, L and C in series or in parallel, or one of two
// networks of a real part (a coil with its winding capacitance, a resonator with its shunt
// capacitance), and its impedance (magnitude and phase angle) at a test frequency, DC bias and
// AC test level.
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
    // How C (not C0) follows the meter's DC bias and AC test level, as a ceramic capacitor's
    // does: V0 volts of bias halve it; KL is its relative change per volt of level above 1 V.
    std::optional<double> halvingBiasVolts; // V0, above 0
    std::optional<double> levelCoefficient; // KL, per volt, from -1 to 1
};

struct Impedance {
    double magnitude; // ohms
    double theta;     // radians, atan2(imaginary, real)
};

// What open terminals read as: nothing connected, a series capacitor of 0 F, a parallel network
// without any branch. Finite so that it survives the single-precision wire format.
constexpr double OpenCircuitOhms = 1e12;

// The meter's power-on AC test level, at which KL changes nothing.
constexpr double PowerOnLevelVolts = 1.0;

// A capacitance of farads at a DC bias and an AC test level:
// C / (1 + (biasVolts / V0)^2) * (1 + KL * (levelVolts - 1)), never below 0. Without V0 the bias
// changes nothing, without KL the level; at 0 V and 1 V it is farads exactly.
double capacitanceAt(double farads, std::optional<double> halvingBiasVolts,
                     std::optional<double> levelCoefficient, double biasVolts, double levelVolts);

// The impedance at a test frequency, with C at biasVolts of DC bias and levelVolts of AC level.
Impedance impedanceAt(const Component &component, double frequencyHz, double biasVolts = 0.0,
                      double levelVolts = PowerOnLevelVolts);

// z in polar form; a magnitude of OpenCircuitOhms or more (or not a number) reads as open.
Impedance fromComplex(const std::complex<double> &z);

// A number with an optional engineering suffix: p n u mk m k M G (e.g. "100n", "4.7k", "10mk").
std::optional<double> parseEngineeringValue(const QString &text);

// "C=100n,R=0.5": comma-separated R=, L=, C=, C0=, V0=, KL= items, each at most once; R, L, C and
// C0 not negative, V0 above 0, KL from -1 to 1, and V0 and KL only with C. An empty text leaves
// the terminals open. The result is a plain series network; the caller sets
// parallel or the network. On failure error receives a one-line reason.
std::optional<Component> parseComponent(const QString &description, QString *error = nullptr);

} // namespace Sim
