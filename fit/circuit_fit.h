// Complex non-linear least squares of a sweep to an equivalent circuit, and the choice of the best
// circuit by the Bayesian information criterion.
#pragma once

#include "fit/circuit_models.h"
#include "fit/fit_data.h"

#include <QString>

#include <limits>
#include <vector>

namespace Fit {

enum class FitStatus {
    Ok,
    NotConverged, // the solver stopped before its tolerances were met
    TooFewPoints, // fewer usable points at different frequencies than elements + 1
    UnknownModel, // a name that is no model and not "auto"
};

// How far the data fix an element.
enum class ElementState {
    Determined,   // its value is at least three standard uncertainties
    Undetermined, // the data leave it free: a larger uncertainty, or none at all
    AtLowerBound, // so small the data cannot tell it from none (a series R or L of 0, an open C)
    AtUpperBound, // so large it has no effect (an open parallel R, a shorting series C)
    FixedByUser,  // held at the value the options give (FitOptions::fixed), not fitted
    AtUserBound,  // the fit ran to a bound the options give (FitOptions::bounds): value shown
};

struct ElementValue {
    double value = 0.0;       // SI; at a bound, the bound the fit held it at
    double uncertainty = 0.0; // standard uncertainty, SI; infinite when the data do not fix it
    ElementState state = ElementState::Determined;
};

// Where a derived figure lies against the measured frequencies.
enum class FigureSpan {
    Inside,       // a frequency inside the span (or a figure at one)
    Below,        // below the lowest frequency measured: an extrapolation
    Above,        // above the highest
    Undetermined, // it depends on an element the data do not fix
};

struct DerivedFigure {
    const char *key;  // e.g. "srf"
    const char *unit; // "Hz", "ohm" or "" for a number
    double value = 0.0;
    double at = 0.0;         // the frequency (Hz) the figure belongs to: a resonance's own value
    unsigned dependsOn = 0u; // bit i: the figure follows from element i
    FigureSpan span = FigureSpan::Inside;
};

// The fit's verdict: Good when it converged, the model describes the data (see fit_verdict.h) and
// every element not at a bound is determined; Poor for any other fitted result; Refused when no
// fit was made (too few points, an unknown model).
enum class Verdict { Good, Poor, Refused };

// One model of an automatic choice, as it scored.
struct Alternative {
    Model model = Model::Resistor;
    FitStatus status = FitStatus::TooFewPoints;
    double bic = 0.0;
    double rmsRelativeResidual = 0.0;
    Verdict verdict = Verdict::Refused;
};

struct FitResult {
    Model model = Model::Resistor; // meaningless when circuit is set
    // The circuit string fitted (as parsed, without spaces); empty for a model. Its elements are
    // the circuit's values in the order written (circuit_string.h).
    QString circuit;
    FitStatus status = FitStatus::TooFewPoints;
    QString message; // one English sentence saying how it went
    std::vector<ElementValue> elements;
    double rmsRelativeResidual = 0.0; // over the real and imaginary parts of (Zfit - Z) / |Z|
    double bic = 0.0;
    // The relative noise the data show of themselves (fit_verdict.h); NaN for too few points.
    double noiseEstimate = 0.0;
    bool describesData = false; // the residual is no larger than that noise explains
    Verdict verdict = Verdict::Refused;
    int pointsUsed = 0;
    int pointsLeftOut = 0;
    std::vector<DerivedFigure> derived;
    bool automatic = false;                // chosen by "auto"
    std::vector<Alternative> alternatives; // with automatic: the other models, best first
};

// How each point's residual is weighted: what the solver minimises. The reported residual and
// the verdict stay relative to |Z| whatever the choice.
enum class Weighting {
    Modulus,      // (Zfit - Z) / |Z|: each decade of |Z| counts alike
    Proportional, // the real part over |Re Z|, the imaginary over |Im Z|
    Unit,         // Zfit - Z itself (over the RMS of |Z|, a constant that keeps the scale)
};

// An element held at a value (SI) instead of fitted, by its key ("ESR", "R0", "Q1_alpha").
struct FixedElement {
    QString key;
    double value = 0.0;
};

// A range (SI) an element is fitted within, inside the range the sweep can tell it in
// (element_bounds.h); a side left at its default is the solver's own.
struct ElementBound {
    QString key;
    double low = 0.0;
    double high = std::numeric_limits<double>::infinity();
};

struct FitOptions {
    int maxEvaluations = 2000; // of the residuals per start
    Weighting weighting = Weighting::Modulus;
    // A named model or circuit without one of these keys is refused (unknown_model, with the
    // keys it has); auto holds each where a model has it.
    std::vector<FixedElement> fixed;
    // Likewise keys; a bound outside the range the sweep can tell the element in refuses the
    // model.
    std::vector<ElementBound> bounds;
};

FitResult FitCircuit(Model model, const Sweep &sweep, const FitOptions &options = {});

// A larger model is taken over a smaller one only when it lowers the BIC by more than this: a
// difference of 10 is very strong evidence (a likelihood ratio of about 150), where noise alone
// lowers the BIC of a model with one more element by about ln(2n) - 1 or less in most sweeps.
constexpr double BicGap = 10.0;

// Fits every model; of the converged ones within BicGap of the lowest BIC it keeps the one with
// the fewest free elements (those not held at a bound), the lowest BIC among equals. The others
// are listed, best first.
FitResult FitBest(const Sweep &sweep, const FitOptions &options = {});

// A model's name, "auto" or a circuit string such as "R0-p(R1,Q1)" (circuit_string.h).
FitResult FitByName(const QString &name, const Sweep &sweep, const FitOptions &options = {});

// Empty when name is a model's, "auto" or a circuit string; otherwise why it is none of them.
QString FitNameError(const QString &name);

// The fitted circuit's impedance at each frequency (Hz); empty when the fit has no elements.
std::vector<Complex> EvaluateFit(const FitResult &fit, const std::vector<double> &frequencies);

} // namespace Fit
