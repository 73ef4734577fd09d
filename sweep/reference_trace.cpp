// Holding a run and comparing another with it.
#include "sweep/reference_trace.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace Sweep {

ReferenceTrace HoldReference(const Main::SweepVariables &store) {
    ReferenceTrace out;
    // Only points that are measurements at their planned conditions make the reference.
    const int taken = Main::TakenSweepPoints(store);
    std::vector<int> order;
    for (int i = 0; i < taken; ++i)
        if (Main::PointMeasured(store, i)) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&store](int a, int b) {
        return store.SweepFrequencies[a] < store.SweepFrequencies[b];
    });
    out.frequencies.reserve(order.size());
    for (auto &row : out.values)
        row.reserve(order.size());
    for (int i : order) {
        out.frequencies.push_back(store.SweepFrequencies[i]);
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            out.values[static_cast<std::size_t>(k)].push_back(store.SweepSamples[k][i]);
        out.magnitudes.push_back(store.SweepMagnitudes[i]);
        out.phases.push_back(store.SweepPhases[i]);
        out.reportedFrequencies.push_back(store.SweepReportedFrequencies[i]);
        out.seriesCircuits.push_back(store.SweepSeriesCircuits[i]);
    }
    return out;
}

std::optional<double> ReferenceAt(const ReferenceTrace &reference, int parameter, double hz) {
    if (parameter < 0 || parameter >= Main::SweepParameterCount || reference.empty() ||
        !std::isfinite(hz))
        return std::nullopt;
    const std::vector<double> &f = reference.frequencies;
    const std::vector<double> &v = reference.values[static_cast<std::size_t>(parameter)];
    const auto upper = std::lower_bound(f.begin(), f.end(), hz);
    if (upper == f.end()) return std::nullopt;
    const std::size_t j = static_cast<std::size_t>(upper - f.begin());
    std::optional<double> value;
    if (f[j] == hz) {
        value = v[j];
    } else if (j > 0) {
        const double f0 = f[j - 1], f1 = f[j];
        const double share =
            f0 > 0.0 ? std::log(hz / f0) / std::log(f1 / f0) : (hz - f0) / (f1 - f0);
        value = v[j - 1] + share * (v[j] - v[j - 1]);
    }
    if (value && !std::isfinite(*value)) return std::nullopt;
    return value;
}

std::optional<Deviation> DeviationAt(const ReferenceTrace &reference, int parameter, double hz,
                                     double measured) {
    const std::optional<double> held = ReferenceAt(reference, parameter, hz);
    if (!held || !std::isfinite(measured)) return std::nullopt;
    Deviation out;
    out.delta = measured - *held;
    out.percent = *held != 0.0 ? out.delta / std::fabs(*held) * 100.0
                               : std::numeric_limits<double>::quiet_NaN();
    return out;
}

} // namespace Sweep
