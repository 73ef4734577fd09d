// A client's bias or level list as the planner plans it: each value checked and the bias rounded
// to the model's step, so that the list a client reads back is the run's.
#pragma once

#include "remote/instrument.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace Remote {

// The values (mV) as a run over quantity (Bias or Level) takes them, on a model whose bias step
// is biasStepMillivolts (the finest any model has when it is 0: no meter yet); nothing when the
// planner refuses one of them. A list of one value is checked as the planner checks it in a run.
std::optional<std::vector<std::int32_t>>
PlanSettingList(SweptQuantity quantity, const std::vector<std::int32_t> &millivolts,
                int biasStepMillivolts);

} // namespace Remote
