// The fit's verdict as the window words it: one short Russian line under the result.
#pragma once

#include "fit/circuit_fit.h"

#include <QString>

namespace Main {

// "Вывод: подбор надёжен." or "Вывод: подбор ненадёжен: ..." with the reasons.
QString FitVerdictLine(const Fit::FitResult &fit);

} // namespace Main
