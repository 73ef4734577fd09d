// The comparator's settings as a sorting plan, their refusals and the bin counters.
#include "remote/comparator.h"

#include "remote/function_types.h"
#include "remote/instrument.h"

#include <algorithm>

namespace Remote {

Sort::Plan ComparatorPlan(const ComparatorSettings &settings, int functionType) {
    const FunctionQuantities q = QuantitiesOf(functionType);
    const double primaryScale = settings.swap ? q.bScale : q.aScale;
    const double secondaryScale = settings.swap ? q.aScale : q.bScale;
    const auto scaled = [](Sort::Limits limits, double scale) {
        if (limits.low) *limits.low *= scale;
        if (limits.high) *limits.high *= scale;
        return limits;
    };
    Sort::Plan plan;
    plan.primary = settings.swap ? q.b : q.a;
    plan.secondary = settings.swap ? q.a : q.b;
    plan.seriesCircuit = q.series;
    plan.mode = settings.mode;
    plan.nominal = settings.nominal * primaryScale;
    if (settings.mode == Sort::Mode::Sequential) {
        for (double boundary : settings.boundaries)
            plan.boundaries.push_back(boundary * primaryScale);
    } else {
        // Percentages stay percentages of the nominal.
        const double binScale = settings.mode == Sort::Mode::AbsoluteTolerance ? primaryScale : 1.0;
        for (const Sort::Limits &bin : settings.bins)
            plan.bins.push_back(scaled(bin, binScale));
    }
    plan.secondaryLimits = scaled(settings.secondary, secondaryScale);
    plan.auxBin = settings.auxBin;
    return plan;
}

bool SamePlan(const Sort::Plan &a, const Sort::Plan &b) {
    const auto same = [](const Sort::Limits &x, const Sort::Limits &y) {
        return x.low == y.low && x.high == y.high;
    };
    return a.primary == b.primary && a.mode == b.mode && a.nominal == b.nominal &&
           a.boundaries == b.boundaries && a.secondary == b.secondary &&
           same(a.secondaryLimits, b.secondaryLimits) && a.auxBin == b.auxBin &&
           a.seriesCircuit == b.seriesCircuit &&
           std::equal(a.bins.begin(), a.bins.end(), b.bins.begin(), b.bins.end(), same);
}

// The limits of the mode not chosen are kept for when it is, so they are checked as well.
int ComparatorRefusal(const ComparatorSettings &settings) {
    for (Sort::Mode mode : {settings.mode, Sort::Mode::Sequential, Sort::Mode::AbsoluteTolerance}) {
        ComparatorSettings inMode = settings;
        inMode.mode = mode;
        const std::optional<Sort::PlanProblem> problem =
            Sort::CheckPlan(ComparatorPlan(inMode, settings.function));
        if (problem)
            return problem->kind == Sort::PlanProblem::Kind::NoNominal ? SettingsConflict
                                                                       : DataOutOfRange;
    }
    return NoError;
}

void CountBin(BinCounters &counters, int code) {
    if (code >= 1 && code <= Sort::MaxBins)
        ++counters[static_cast<std::size_t>(code - 1)];
    else if (code == 0)
        ++counters[Sort::MaxBins];
    else if (code == 10)
        ++counters[Sort::MaxBins + 1];
}

} // namespace Remote
