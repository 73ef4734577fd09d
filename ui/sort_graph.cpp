// The sorting plan's first bin as the sweep graph plots it.
#include "ui/sort_graph.h"

#include "link/decoding.h"
#include "link/display_lines.h"

#include <cmath>

namespace Main {

namespace {

constexpr int UnprefixedPosition = 4; // of "" in Device::UnitPrefixes

} // namespace

std::optional<std::pair<double, double>> FirstBinLimits(const Sort::Plan &plan) {
    if (plan.binCount() < 1) return std::nullopt;
    const double none = std::nan("");
    if (plan.mode == Sort::Mode::Sequential)
        return std::make_pair(plan.boundaries[0], plan.boundaries[1]);
    const Sort::Limits &bin = plan.bins.front();
    const double unit =
        plan.mode == Sort::Mode::PercentTolerance ? std::fabs(plan.nominal) / 100.0 : 1.0;
    return std::make_pair(bin.low ? plan.nominal + *bin.low * unit : none,
                          bin.high ? plan.nominal + *bin.high * unit : none);
}

std::optional<std::pair<double, double>> GraphLimits(const Sort::Plan &plan, int parameter,
                                                     bool seriesCircuit, double factor) {
    if (parameter != plan.primary || parameter < 0 || parameter >= Device::ParameterCount ||
        parameter == Device::ParG || parameter == Device::ParB || factor == 0.0)
        return std::nullopt;
    if (plan.seriesCircuit && *plan.seriesCircuit != seriesCircuit) return std::nullopt;
    const std::optional<std::pair<double, double>> si = FirstBinLimits(plan);
    if (!si) return std::nullopt;
    // The meter shows each quantity in the unit of its starting prefix: C in pF, R in mOhm…
    const double perSample =
        std::pow(1000.0, Device::StartingPrefix[parameter] - UnprefixedPosition) * factor;
    return std::make_pair(si->first / perSample, si->second / perSample);
}

} // namespace Main
