// The planner over a client's bias or level list.
#include "remote/list_settings.h"

#include "link/capabilities.h"
#include "sweep/sweep_planner.h"

namespace Remote {

std::optional<std::vector<std::int32_t>>
PlanSettingList(SweptQuantity quantity, const std::vector<std::int32_t> &millivolts,
                int biasStepMillivolts) {
    if (quantity == SweptQuantity::Frequency || millivolts.empty()) return std::nullopt;
    Device::Capabilities model = Device::AnyModelCapabilities();
    if (biasStepMillivolts > 0) model.biasStepMillivolts = biasStepMillivolts;
    Sweep::Request request;
    request.quantity =
        quantity == SweptQuantity::Bias ? Sweep::Quantity::Bias : Sweep::Quantity::Level;
    request.spacing = Sweep::Spacing::List;
    request.list = millivolts;
    // A run has two points at least: one value is planned as a run that takes it twice.
    if (millivolts.size() == 1) request.list.push_back(millivolts.front());
    const Sweep::Plan plan = Sweep::PlanRun(request, model);
    if (!plan.ok()) return std::nullopt;
    std::vector<std::int32_t> points = plan.points;
    points.resize(millivolts.size());
    return points;
}

} // namespace Remote
