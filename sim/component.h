// The component under test: optional R, L and C in series or in parallel, and its impedance
// (magnitude and phase angle) at a test frequency.
#pragma once

#include <QString>

#include <optional>

namespace Sim {

struct Component {
    std::optional<double> resistance;  // ohms
    std::optional<double> inductance;  // henries
    std::optional<double> capacitance; // farads
    bool parallel = false;
};

struct Impedance {
    double magnitude; // ohms
    double theta;     // radians, atan2(imaginary, real)
};

// What open terminals read as: nothing connected, a series capacitor of 0 F, a parallel network
// without any branch. Finite so that it survives the single-precision wire format.
constexpr double OpenCircuitOhms = 1e12;

Impedance impedanceAt(const Component &component, double frequencyHz);

// A number with an optional engineering suffix: p n u mk m k M G (e.g. "100n", "4.7k", "10mk").
std::optional<double> parseEngineeringValue(const QString &text);

// "C=100n,R=0.5": comma-separated R=, L=, C= items, each at most once, values not negative.
// An empty text leaves the terminals open. The result is a series network; the caller sets
// parallel. On failure error receives a one-line reason.
std::optional<Component> parseComponent(const QString &description, QString *error = nullptr);

} // namespace Sim
