// The equivalent circuits a sweep can be fitted to: their names, their elements and the impedance
// each gives at a frequency, with its derivatives by the logarithm of every element.
#pragma once

#include <QString>

#include <complex>
#include <optional>

namespace Fit {

using Complex = std::complex<double>;

enum class Model { Resistor, SeriesRc, SeriesRl, ParallelRc, Capacitor, Inductor, Resonator };

constexpr int ModelCount = 7;
// The most values a fit solves for: a model has up to four, a circuit string up to twelve.
constexpr int MaxElements = 12;

struct ElementInfo {
    const char *key;  // the element's name in the output, e.g. "ESR"
    const char *unit; // "ohm", "H" or "F"
    const char *role; // a few words for the text summary
};

struct ModelInfo {
    Model model;
    const char *name;    // what the user types and sees, e.g. "capacitor"
    const char *circuit; // e.g. "R-L-C in series"
    int elementCount;
    ElementInfo elements[MaxElements];
};

const ModelInfo &Info(Model model);

// Every model in the order auto fits and lists them.
const Model (&AllModels())[ModelCount];

// The model of that name (exact, lower case); nothing for "auto" or an unknown name.
std::optional<Model> ModelByName(const QString &name);

// Names of all models and "auto", for messages: "resistor, series-rc, ..., auto".
QString ModelNameList();

// Impedance of the circuit with the given element values (SI) at angular frequency omega.
Complex Impedance(Model model, const double *elements, double omega);

// The same, and dZ/d(ln x) for each element x in gradient[0..elementCount-1].
Complex ImpedanceAndGradient(Model model, const double *elements, double omega, Complex *gradient);

} // namespace Fit
