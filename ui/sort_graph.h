// The sorting plan on the sweep graph: the first bin's limits of the primary quantity as the
// graph plots that quantity (the meter's display unit divided by the series' factor).
#pragma once

#include "sorting/sort_plan.h"

#include <optional>
#include <utility>

namespace Main {

// Bin 1 of the plan in the quantity's SI unit: low and high, NaN for a side without a limit;
// nothing for a plan without bins.
std::optional<std::pair<double, double>> FirstBinLimits(const Sort::Plan &plan);

// Bin 1's limits where the graph plots parameter (an index of the fourteen) in the circuit
// given, its values divided by factor; nothing when the graph shows another quantity, another
// circuit than the plan names, or G or B (shown by the meter's own convention).
std::optional<std::pair<double, double>> GraphLimits(const Sort::Plan &plan, int parameter,
                                                     bool seriesCircuit, double factor);

} // namespace Main
