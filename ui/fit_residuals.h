// The residuals of a fit at each point it took: (Z measured − Z fitted) / |Z measured|, its real
// and imaginary parts in percent, the measure the fit's RMS residual is made of. Pure: no widgets.
#pragma once

#include "fit/circuit_fit.h"
#include "fit/fit_data.h"

#include <vector>

namespace Main {

struct FitResidual {
    double frequency = 0.0; // Hz
    double real = 0.0;      // % of |Z|
    double imaginary = 0.0; // % of |Z|
};

// One entry per point of sweep the fit can use (fit_data.h), in the sweep's order; none when the
// fit has no elements.
std::vector<FitResidual> FitResiduals(const Fit::FitResult &fit, const Fit::Sweep &sweep);

} // namespace Main
