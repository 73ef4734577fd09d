// What a fit's options make of a target: the values held at the user's word, the user's bounds
// within the solver's own, and the weights of the points.
#pragma once

#include "fit/circuit_fit.h"
#include "fit/element_bounds.h"
#include "fit/fit_data.h"
#include "fit/starting_values.h"

#include <QString>

namespace Fit {

class FitTarget;

struct Steering {
    Elements held{};             // the fixed values, at their indices
    unsigned fixedMask = 0u;     // bit i: value i is held at held[i]
    unsigned userLowerMask = 0u; // bit i: value i's lower bound is the user's
    unsigned userUpperMask = 0u; // bit i: value i's upper bound is the user's
    QString emptyRange;          // why a user's bound leaves no room, or empty
};

// The first key the options fix or bound that the target lacks; empty when it has them all.
QString MissingKey(const FitTarget &target, const FitOptions &options);

// Narrows bounds to the user's bounds of the options, where they are narrower, and collects the
// fixed values; keys the target lacks are passed over. A user's range that does not meet the
// solver's own (the range the sweep can tell an element in) is reported in emptyRange.
Steering Steer(const FitTarget &target, const FitOptions &options, Bounds &bounds);

// The points with the weights of the choice; for Modulus they stay empty (the residuals' own
// 1/|Z|).
UsablePoints Weighted(const UsablePoints &given, Weighting weighting);

} // namespace Fit
