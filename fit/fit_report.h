// A fit's result for programs (JSON) and for people (a few English lines).
#pragma once

#include "fit/circuit_fit.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace Fit {

// How an element of a fit is named and shown.
struct ElementLabel {
    QString key;  // "ESR", "R0", "Q1_alpha"
    QString unit; // "ohm", "H", "F", "F*s^(alpha-1)" or "" for a number
    QString role; // a few words for the text summary
};

// The labels of the fit's elements in their order: its model's, or its circuit string's values.
std::vector<ElementLabel> ElementLabels(const FitResult &fit);

// What the user typed for it: the model's name ("capacitor") or the circuit string.
QString FitName(const FitResult &fit);

// "ok", "not_converged", "too_few_points", "unknown_model".
QString StatusName(FitStatus status);

// "good", "poor", "refused".
QString VerdictName(Verdict verdict);

// One English line: the verdict and why, e.g. "good: the model describes the data (residual
// 0.2 %, the data's own noise 0.2 %); every free element determined".
QString VerdictText(const FitResult &fit);

// {model, circuit, status, verdict, describes_data, noise_estimate, message,
//  elements {key: {value, uncertainty, unit, state}}, rms_relative_residual, bic,
//  derived {key: {value, unit, span}}, points_used, points_left_out,
//  alternatives [{model, status, verdict, bic, rms}] (auto only)}. Values are SI. state is
// "determined", "not_determined", "at_lower_bound", "at_upper_bound", "fixed" (held at a value the
// options give) or "at_given_bound" (run to a bound the options give); a value is null unless
// determined, fixed or at a given bound. span is "inside", "below", "above" or "not_determined"; a
// figure's value is null unless inside.
QJsonObject FitToJson(const FitResult &fit);

// "capacitor (R-L-C in series), 101 points, 0 left out" and one line per element and figure,
// with engineering prefixes: "  ESR  = 3.0000 Ω ± 1.2 mΩ".
QString FitSummary(const FitResult &fit);

// value with an engineering prefix and the unit: 1.5e-7, "F" -> "150.00 nF".
QString Engineering(double value, const QString &unit, int significant = 5);

} // namespace Fit
