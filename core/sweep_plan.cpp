// The planned frequency of each point of a run.
#include "core/sweep_plan.h"

#include "core/main_state.h"
#include "sweep/sweep_store.h"

#include <algorithm>

namespace Core {

Device::Capabilities StartCapabilities() {
    return Device::AnyModelCapabilities();
}

Sweep::Request StartRequest(Sweep::Spacing spacing, const QVector<std::int32_t> &frequencies) {
    Sweep::Request request;
    request.quantity = Sweep::Quantity::Frequency;
    request.points = Main::SweepPoints;
    if (!frequencies.isEmpty()) { // SweepPoints of them, the last repeated if they are fewer
        request.spacing = Sweep::Spacing::List;
        for (int i = 0; i < Main::SweepPoints; ++i)
            request.list.push_back(frequencies.at(std::min(i, int(frequencies.size()) - 1)));
        return request;
    }
    // A list run without its list falls back to the designed fill.
    request.spacing = spacing == Sweep::Spacing::Log ? spacing : Sweep::Spacing::Linear;
    request.start = Main::FrequencyLow;
    request.stop = Main::FrequencyHigh;
    return request;
}

Sweep::Plan PlanStart(Sweep::Spacing spacing, const QVector<std::int32_t> &frequencies) {
    return Sweep::PlanRun(StartRequest(spacing, frequencies), StartCapabilities());
}

} // namespace Core
