// A fit's result for programs (JSON) and for people (a few English lines).
#pragma once

#include "fit/circuit_fit.h"

#include <QJsonObject>
#include <QString>

namespace Fit {

// "ok", "not_converged", "too_few_points", "unknown_model".
QString StatusName(FitStatus status);

// {model, circuit, status, message, elements {key: {value, uncertainty, unit}},
//  rms_relative_residual, bic, derived {key: {value, unit}}, points_used, points_left_out,
//  alternatives [{model, status, bic, rms}] (auto only)}. Values are SI; a value the data do not
// determine (an infinite uncertainty) is null.
QJsonObject FitToJson(const FitResult &fit);

// "capacitor (R-L-C in series), 101 points, 0 left out" and one line per element and figure,
// with engineering prefixes: "  ESR  = 3.0000 Ω ± 1.2 mΩ".
QString FitSummary(const FitResult &fit);

// value with an engineering prefix and the unit: 1.5e-7, "F" -> "150.00 nF".
QString Engineering(double value, const QString &unit, int significant = 5);

} // namespace Fit
