// Complex non-linear least squares of a sweep to an equivalent circuit, and the choice of the best
// circuit by the Bayesian information criterion.
#pragma once

#include "fit/circuit_models.h"
#include "fit/fit_data.h"

#include <QString>

#include <vector>

namespace Fit {

enum class FitStatus {
    Ok,
    NotConverged, // the solver stopped before its tolerances were met
    TooFewPoints, // fewer usable points at different frequencies than elements + 1
    UnknownModel, // a name that is no model and not "auto"
};

struct ElementValue {
    double value = 0.0;       // SI
    double uncertainty = 0.0; // standard uncertainty, SI; infinite when the data do not fix it
};

struct DerivedFigure {
    const char *key;  // e.g. "srf"
    const char *unit; // "Hz", "ohm" or "" for a number
    double value = 0.0;
};

// One model of an automatic choice, as it scored.
struct Alternative {
    Model model = Model::Resistor;
    FitStatus status = FitStatus::TooFewPoints;
    double bic = 0.0;
    double rmsRelativeResidual = 0.0;
};

struct FitResult {
    Model model = Model::Resistor;
    FitStatus status = FitStatus::TooFewPoints;
    QString message; // one English sentence saying how it went
    std::vector<ElementValue> elements;
    double rmsRelativeResidual = 0.0; // over the real and imaginary parts of (Zfit - Z) / |Z|
    double bic = 0.0;
    int pointsUsed = 0;
    int pointsLeftOut = 0;
    std::vector<DerivedFigure> derived;
    bool automatic = false;                // chosen by "auto"
    std::vector<Alternative> alternatives; // with automatic: the other models, best first
};

struct FitOptions {
    int maxEvaluations = 2000; // of the residuals per start
};

FitResult FitCircuit(Model model, const Sweep &sweep, const FitOptions &options = {});

// Fits every model and keeps the converged one with the lowest BIC; the others are listed.
FitResult FitBest(const Sweep &sweep, const FitOptions &options = {});

// A model's name or "auto".
FitResult FitByName(const QString &name, const Sweep &sweep, const FitOptions &options = {});

// The fitted circuit's impedance at each frequency (Hz); empty when the fit has no elements.
std::vector<Complex> EvaluateFit(const FitResult &fit, const std::vector<double> &frequencies);

} // namespace Fit
