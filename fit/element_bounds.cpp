// Bounds of each element from the extremes of |Z| and of the frequency.
#include "fit/element_bounds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Fit {

Bounds ElementBounds(Model model, const UsablePoints &points) {
    double zMin = std::abs(points.impedance.front()), zMax = zMin;
    double wMin = points.omega.front(), wMax = wMin;
    for (std::size_t i = 0; i < points.omega.size(); ++i) {
        const double z = std::abs(points.impedance[i]);
        zMin = std::min(zMin, z);
        zMax = std::max(zMax, z);
        wMin = std::min(wMin, points.omega[i]);
        wMax = std::max(wMax, points.omega[i]);
    }
    const ModelInfo &info = Info(model);
    Bounds b;
    for (int i = 0; i < info.elementCount; ++i) {
        const char *unit = info.elements[i].unit;
        if (std::strcmp(unit, "H") == 0) {
            b.lower[i] = zMin / (BoundReach * wMax);
            b.upper[i] = BoundReach * zMax / wMin;
        } else if (std::strcmp(unit, "F") == 0) {
            b.lower[i] = 1.0 / (BoundReach * zMax * wMax);
            b.upper[i] = BoundReach / (zMin * wMin);
        } else {
            b.lower[i] = zMin / BoundReach;
            b.upper[i] = BoundReach * zMax;
        }
    }
    return b;
}

} // namespace Fit
