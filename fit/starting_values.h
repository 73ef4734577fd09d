// Starting values of each model's elements, estimated from the points alone. Where one start is
// fragile (a resonance between two points, a corner outside the range) there are several.
#pragma once

#include "fit/circuit_models.h"
#include "fit/fit_data.h"

#include <array>
#include <vector>

namespace Fit {

using Elements = std::array<double, MaxElements>;

// Every value is positive and finite; points holds at least one point.
std::vector<Elements> StartingValues(Model model, const UsablePoints &points);

} // namespace Fit
