// What the solver fits: one of the models, or a circuit written as a string. Both give the
// impedance and its derivatives, the bounds of their values for a sweep and starting values.
#pragma once

#include "fit/circuit_fit.h"
#include "fit/circuit_string.h"
#include "fit/element_bounds.h"
#include "fit/starting_values.h"

#include <optional>
#include <vector>

namespace Fit {

class FitTarget {
public:
    explicit FitTarget(Model model) : model_(model) {}
    explicit FitTarget(ParsedCircuit circuit) : circuit_(std::move(circuit)) {}

    Model model() const { return model_; }
    // The circuit string, or nothing for a model.
    const std::optional<ParsedCircuit> &circuit() const { return circuit_; }
    int Count() const;
    QString Name() const;
    // The key of value i ("ESR", "R0", "Q1_alpha"), and the index of a key in either case or -1
    // (keys differ in more than case, and a SCPI parameter may come in lower case).
    QString Key(int i) const;
    int IndexOf(const QString &key) const;
    // The unit of value i ("ohm", "F", "H", "F*s^(alpha-1)" or "" for a number).
    QString Unit(int i) const;

    Complex Impedance(const double *values, double omega) const;
    Complex ImpedanceAndGradient(const double *values, double omega, Complex *gradient) const;
    Bounds ValueBounds(const UsablePoints &points) const;
    std::vector<Elements> Starts(const UsablePoints &points) const;
    std::vector<DerivedFigure> Derived(const double *values) const;

private:
    Model model_ = Model::Resistor;
    std::optional<ParsedCircuit> circuit_;
};

// The target a fitted result came from: its circuit string or its model; nothing for a string
// that no longer parses.
std::optional<FitTarget> TargetOf(const FitResult &fit);

// The exponent of a constant-phase element stays within these: at one it is a capacitor.
constexpr double LowestAlpha = 0.01;
constexpr double HighestAlpha = 1.0;

// Bounds of a circuit string's values, as element_bounds.h gives them for the models; a Q as a C
// at the exponents and frequencies where its impedance reaches furthest.
Bounds CircuitBounds(const ParsedCircuit &circuit, const UsablePoints &points);

// Starts of a circuit string's values: for each a few estimates from the ends and the middle of
// the sweep, combined, at most MaxCircuitStarts of the combinations spread evenly over them.
constexpr int MaxCircuitStarts = 256;
std::vector<Elements> CircuitStarts(const ParsedCircuit &circuit, const UsablePoints &points);

} // namespace Fit
