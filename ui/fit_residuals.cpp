// Residuals of a fit against the points it was made of.
#include "ui/fit_residuals.h"

#include <cmath>

namespace Main {

std::vector<FitResidual> FitResiduals(const Fit::FitResult &fit, const Fit::Sweep &sweep) {
    constexpr double TwoPi = 6.283185307179586;
    std::vector<FitResidual> residuals;
    if (fit.elements.empty()) return residuals;
    const Fit::UsablePoints points = Fit::SelectUsable(sweep);
    std::vector<double> frequencies;
    frequencies.reserve(points.omega.size());
    for (double omega : points.omega)
        frequencies.push_back(omega / TwoPi);
    const std::vector<Fit::Complex> fitted = Fit::EvaluateFit(fit, frequencies);
    if (fitted.size() != frequencies.size()) return residuals;
    residuals.reserve(frequencies.size());
    for (std::size_t k = 0; k < frequencies.size(); ++k) {
        const Fit::Complex z = points.impedance[k];
        const Fit::Complex share = (z - fitted[k]) / std::abs(z);
        residuals.push_back({frequencies[k], 100.0 * share.real(), 100.0 * share.imag()});
    }
    return residuals;
}

} // namespace Main
