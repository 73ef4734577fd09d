// The sweep store as a graph shows it: cleared to the start-up picture (no run, every point zero
// over the start-up frequencies of the bounds), summarised for a redraw, or given a kept sweep.
#include "core/session.h"

#include "core/main_state.h"
#include "exchange/sweep_data.h"
#include "link/measurement.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"

namespace Core {

void Session::ClearSweep() {
    for (int i = 0; i < Main::SweepPoints; ++i) {
        for (auto &row : Main::SweepSamples)
            row[i] = 0.0f;
        Main::PlotValues1[i] = 0.0f;
        Main::PlotValues2[i] = 0.0f;
    }
    Main::FillSweepFrequencies(Main::FrequencyLow, Main::FrequencyHigh);
    Main::SweepIndex = 0;
    Main::SweepRunning = false;
}

bool Session::ShowSweep(const Exchange::SweepData &data) {
    if (Main::SweepRunning || m_compRun.running) return false;
    const std::optional<Main::SweepVariables> store =
        Exchange::ToStore(data, Device::SeriesCircuit != 0);
    if (!store) return false;
    Main::SweepState = *store;
    emit sweepShown();
    return true;
}

void Session::SummariseSweep(Main::SweepSummary &summary) {
    Main::SummariseSweep(Main::Param1Index, Main::Param2Index, Device::SeriesCircuit != 0, summary);
}

} // namespace Core
