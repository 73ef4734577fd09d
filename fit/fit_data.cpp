// Selection of the points a fit can use.
#include "fit/fit_data.h"

#include <algorithm>
#include <cmath>

namespace Fit {

namespace {

constexpr double TwoPi = 6.283185307179586;

bool Usable(double hz, Complex z) {
    const double magnitude = std::abs(z);
    return std::isfinite(hz) && hz > 0.0 && std::isfinite(z.real()) && std::isfinite(z.imag()) &&
           std::isfinite(magnitude) && magnitude > 0.0;
}

} // namespace

UsablePoints SelectUsable(const Sweep &sweep) {
    UsablePoints points;
    const std::size_t count = std::min(sweep.frequency.size(), sweep.impedance.size());
    points.leftOut = static_cast<int>(std::max(sweep.frequency.size(), sweep.impedance.size()) -
                                      count); // a point with only half of its data
    for (std::size_t i = 0; i < count; ++i) {
        if (!Usable(sweep.frequency[i], sweep.impedance[i])) {
            ++points.leftOut;
            continue;
        }
        points.omega.push_back(TwoPi * sweep.frequency[i]);
        points.impedance.push_back(sweep.impedance[i]);
    }
    std::vector<double> sorted = points.omega;
    std::sort(sorted.begin(), sorted.end());
    points.distinctFrequencies =
        static_cast<int>(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
    return points;
}

} // namespace Fit
