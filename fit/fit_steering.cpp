// Fixed values, user bounds and weights of a fit.
#include "fit/fit_steering.h"

#include "fit/fit_target.h"

#include <algorithm>
#include <cmath>

namespace Fit {

QString MissingKey(const FitTarget &target, const FitOptions &options) {
    for (const FixedElement &f : options.fixed)
        if (target.IndexOf(f.key) < 0) return f.key;
    for (const ElementBound &b : options.bounds)
        if (target.IndexOf(b.key) < 0) return b.key;
    return {};
}

Steering Steer(const FitTarget &target, const FitOptions &options, Bounds &bounds) {
    Steering s;
    for (const FixedElement &f : options.fixed) {
        const int i = target.IndexOf(f.key);
        if (i < 0) continue;
        s.held[i] = f.value;
        s.fixedMask |= 1u << i;
    }
    for (const ElementBound &b : options.bounds) {
        const int i = target.IndexOf(b.key);
        if (i < 0) continue;
        const double lower = bounds.lower[i], upper = bounds.upper[i];
        if (!(std::max(lower, b.low) < std::min(upper, b.high))) {
            if (s.emptyRange.isEmpty())
                s.emptyRange = QStringLiteral("the bound of %1 lies outside the range this sweep "
                                              "can tell it in (%2 to %3 %4)")
                                   .arg(b.key)
                                   .arg(lower, 0, 'g', 3)
                                   .arg(upper, 0, 'g', 3)
                                   .arg(target.Unit(i));
            continue;
        }
        if (b.low > lower) {
            bounds.lower[i] = b.low;
            s.userLowerMask |= 1u << i;
        }
        if (b.high < upper) {
            bounds.upper[i] = b.high;
            s.userUpperMask |= 1u << i;
        }
    }
    return s;
}

UsablePoints Weighted(const UsablePoints &given, Weighting weighting) {
    UsablePoints points = given;
    if (weighting == Weighting::Modulus || given.impedance.empty()) return points;
    double meanSquare = 0.0;
    for (const Complex &z : given.impedance)
        meanSquare += std::norm(z) / static_cast<double>(given.impedance.size());
    const double unit = 1.0 / std::sqrt(meanSquare);
    for (const Complex &z : given.impedance) {
        // A part that is (nearly) zero is weighed as a millionth of |Z|, not infinitely.
        const double floor = 1e-6 * std::abs(z);
        const bool proportional = weighting == Weighting::Proportional;
        points.weightReal.push_back(proportional ? 1.0 / std::max(std::fabs(z.real()), floor)
                                                 : unit);
        points.weightImag.push_back(proportional ? 1.0 / std::max(std::fabs(z.imag()), floor)
                                                 : unit);
    }
    return points;
}

} // namespace Fit
