// The planned frequency of each point of a run.
#include "core/sweep_plan.h"

#include "core/main_state.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_store.h"

namespace Core {

void PlanSweepFrequencies(Sweep::Spacing spacing, const QVector<std::int32_t> &frequencies) {
    if (frequencies.isEmpty()) {
        Sweep::FillPlannedFrequencies(spacing == Sweep::Spacing::List ? Sweep::Spacing::Linear
                                                                      : spacing,
                                      Main::FrequencyLow, Main::FrequencyHigh);
        return;
    }
    for (int i = 0; i < Main::SweepPoints; ++i)
        Main::SweepFrequencies[i] =
            static_cast<float>(frequencies.at(std::min(i, int(frequencies.size()) - 1)));
}

} // namespace Core
