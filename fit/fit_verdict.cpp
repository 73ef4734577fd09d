// The noise estimate, the residual test and the states of elements and figures.
#include "fit/fit_verdict.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Fit {

namespace {

constexpr double MedianChiSquareOne = 0.4549364;

bool Fixed(const ElementValue &e) {
    return e.state == ElementState::Determined;
}

// A value the options gave: held at it, or run to a bound they set.
bool Given(const ElementValue &e) {
    return e.state == ElementState::FixedByUser || e.state == ElementState::AtUserBound;
}

} // namespace

double NoiseEstimate(const UsablePoints &points) {
    std::vector<std::size_t> order(points.omega.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&points](std::size_t a, std::size_t b) {
        return points.omega[a] < points.omega[b];
    });
    std::vector<double> squares;
    for (std::size_t k = 1; k + 1 < order.size(); ++k) {
        const std::size_t a = order[k - 1], i = order[k], b = order[k + 1];
        const double span = std::log(points.omega[b] / points.omega[a]);
        if (!(span > 0.0)) continue;
        const double t = std::log(points.omega[i] / points.omega[a]) / span;
        const Complex za = points.impedance[a];
        const Complex d =
            std::log(points.impedance[i] / za) - t * std::log(points.impedance[b] / za);
        const double scale = 1.0 + (1.0 - t) * (1.0 - t) + t * t;
        squares.push_back(d.real() * d.real() / scale);
        squares.push_back(d.imag() * d.imag() / scale);
    }
    if (static_cast<int>(squares.size()) < 2 * MinimumNoisePoints)
        return std::numeric_limits<double>::quiet_NaN();
    const auto middle = squares.begin() + static_cast<std::ptrdiff_t>(squares.size() / 2);
    std::nth_element(squares.begin(), middle, squares.end());
    return std::sqrt(*middle / MedianChiSquareOne);
}

bool DescribesData(double rms, double noise) {
    if (!std::isfinite(rms)) return false;
    if (rms <= DescribeFloor) return true;
    return std::isfinite(noise) && rms <= DescribeFactor * noise;
}

void Judge(FitResult &fit, double lowHz, double highHz) {
    for (ElementValue &e : fit.elements) {
        if (e.state != ElementState::Determined && e.state != ElementState::Undetermined) continue;
        e.state = std::isfinite(e.uncertainty) && e.value >= DeterminedSigmas * e.uncertainty
                      ? ElementState::Determined
                      : ElementState::Undetermined;
    }
    for (DerivedFigure &d : fit.derived) {
        bool undetermined = false, atBound = false;
        for (std::size_t i = 0; i < fit.elements.size(); ++i) {
            if (!(d.dependsOn & (1u << i))) continue;
            undetermined = undetermined || fit.elements[i].state == ElementState::Undetermined;
            atBound = atBound || !(Fixed(fit.elements[i]) || Given(fit.elements[i]));
        }
        if (undetermined || !std::isfinite(d.at) || !std::isfinite(d.value))
            d.span = FigureSpan::Undetermined;
        else if (d.at < lowHz)
            d.span = FigureSpan::Below;
        else if (d.at > highHz)
            d.span = FigureSpan::Above;
        else
            d.span = atBound ? FigureSpan::Undetermined : FigureSpan::Inside;
    }
    fit.describesData = DescribesData(fit.rmsRelativeResidual, fit.noiseEstimate);
    if (fit.elements.empty()) {
        fit.verdict = Verdict::Refused;
        return;
    }
    const bool allFixed =
        std::none_of(fit.elements.begin(), fit.elements.end(),
                     [](const ElementValue &e) { return e.state == ElementState::Undetermined; });
    fit.verdict = fit.status == FitStatus::Ok && fit.describesData && allFixed ? Verdict::Good
                                                                               : Verdict::Poor;
}

} // namespace Fit
