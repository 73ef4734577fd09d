// The range each element of a model may take for a sweep: beyond it the element has no effect a
// measurement of these points could show, so the fit holds it there and says so.
#pragma once

#include "fit/circuit_models.h"
#include "fit/fit_data.h"

namespace Fit {

// A million times beyond where the element's impedance meets the smallest (or the largest) |Z|
// measured, at the frequency where it matters most: a resistance from |Z|min / 1e6 to
// |Z|max * 1e6, an inductance whose wL spans the same at the highest and the lowest frequency, a
// capacitance whose 1/(wC) does.
constexpr double BoundReach = 1e6;

struct Bounds {
    double lower[MaxElements] = {};
    double upper[MaxElements] = {};
};

// points holds at least one point.
Bounds ElementBounds(Model model, const UsablePoints &points);

} // namespace Fit
