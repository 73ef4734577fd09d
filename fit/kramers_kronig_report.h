// The Kramers–Kronig check of a sweep for programs (JSON), for people (an English line) and for
// the window (a Russian line).
#pragma once

#include "fit/circuit_fit.h"
#include "fit/kramers_kronig.h"

#include <QJsonObject>
#include <QString>

namespace Fit {

// The check reported with a fit of the same sweep: when the RC elements leave more than the noise
// but the fitted circuit describes the data, the data are consistent (byCircuit).
KramersKronigCheck CheckWithFit(const Sweep &sweep, const FitResult &fit);

// {checked, consistent, by_circuit, elements, mu, rms_residual, max_residual, rms_real, rms_imag,
// max_real,
//  max_imag, noise_estimate, points_used}; residuals are shares of |Z|. Unchecked: checked false
// and every figure null.
QJsonObject KramersKronigToJson(const KramersKronigCheck &check);

// "Kramers-Kronig: consistent (M = 14, mu = 0.81; residual RMS 0.10 %, max 0.31 %)".
QString KramersKronigLine(const KramersKronigCheck &check);

// The same for the window: "Крамерс–Крониг: данные согласованы (M = 14, μ = 0,81; остаток
// 0,1 %, наибольший 0,31 %)."
QString KramersKronigLineRu(const KramersKronigCheck &check);

} // namespace Fit
