// Starting values of each model's elements, estimated from the points alone. Where one start is
// fragile (a resonance between two points, a corner outside the range) there are several.
#pragma once

#include "fit/circuit_models.h"
#include "fit/fit_data.h"

#include <array>
#include <vector>

namespace Fit {

using Elements = std::array<double, MaxElements>;

// Every value is positive and finite; points holds at least one point. The resonator and the coil
// get starts with their resonance inside the range and beyond both of its ends; the fit ranks the
// starts by their cost before it solves from the best (see circuit_fit.cpp).
std::vector<Elements> StartingValues(Model model, const UsablePoints &points);

} // namespace Fit
