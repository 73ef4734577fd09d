// The planner of a run's points and its checks.
#include "sweep/sweep_planner.h"

#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_store.h"

#include <algorithm>
#include <cmath>

namespace Sweep {

namespace {

using Device::Refusal;
using Device::Verdict;
using Subject = Refusal::Subject;
using Bound = Refusal::Bound;

Plan Refused(Subject subject, Bound bound, double value, double limit, int index = -1) {
    Plan plan;
    plan.refusal = Refusal{subject, bound, value, limit, index};
    return plan;
}

Plan Refused(const Refusal &refusal) {
    Plan plan;
    plan.refusal = refusal;
    return plan;
}

// The designed fill: SweepPointFrequency's single-precision step; should a point overshoot, the
// rest of the run stands on stop.
std::vector<std::int32_t> LinearFrequencies(std::int32_t start, std::int32_t stop, int points) {
    std::vector<std::int32_t> plan;
    for (int i = 0; i < points; ++i) {
        int at = i;
        const std::int32_t hz = Main::SweepPointFrequency(at, start, stop, points);
        plan.push_back(hz);
        if (at != i) {
            plan.resize(static_cast<std::size_t>(points), stop);
            break;
        }
    }
    return plan;
}

// The nearest whole multiple of step; halves away from zero.
std::int32_t RoundToStep(double mv, std::int32_t step) {
    return static_cast<std::int32_t>(std::lround(mv / step)) * step;
}

// Within the bias source; the step is the planner's to round to.
Verdict CheckBiasPoint(const Device::Capabilities &model, std::int32_t mv, Subject subject) {
    return Device::CheckWithin(subject, mv, model.lowestBiasMillivolts,
                               model.highestBiasMillivolts);
}

// A list of the run's own: its length first, then each entry in order.
Plan PlanList(const Request &request, const Device::Capabilities &model) {
    std::vector<std::int32_t> points;
    for (std::size_t i = 0; i < request.list.size(); ++i) {
        std::int32_t value = request.list[i];
        Verdict verdict;
        switch (request.quantity) {
        case Quantity::Frequency:
            verdict = Device::CheckWithin(Subject::SweepList, value, model.sweepLowestHz,
                                          model.sweepHighestHz);
            break;
        case Quantity::Bias:
            value = RoundToStep(value, model.biasStepMillivolts);
            verdict = CheckBiasPoint(model, value, Subject::SweepList);
            break;
        case Quantity::Level:
            if (Device::CheckLevel(model, value))
                verdict = Refusal{Subject::SweepList, Bound::NotListed, double(value), 0.0, -1};
            break;
        }
        if (verdict) {
            verdict->value = request.list[i];
            verdict->index = static_cast<int>(i);
            return Refused(*verdict);
        }
        points.push_back(value);
    }
    if (const Verdict count = CheckSweepPoints(static_cast<int>(points.size())))
        return Refused(*count);
    return Plan{points, std::nullopt};
}

Plan PlanFrequencies(const Request &r, const Device::Capabilities &model) {
    if (const Verdict v = CheckSweepStart(model, r.start)) return Refused(*v);
    if (const Verdict v = CheckSweepStop(model, r.start, r.stop)) return Refused(*v);
    if (const Verdict v = CheckSweepPoints(r.points)) return Refused(*v);
    if (r.spacing == Spacing::Log) return Plan{LogPlan(r.start, r.stop, r.points), std::nullopt};
    return Plan{LinearFrequencies(r.start, r.stop, r.points), std::nullopt};
}

Plan PlanBias(const Request &r, const Device::Capabilities &model) {
    if (const Verdict v = CheckBiasPoint(model, r.start, Subject::SweepStart)) return Refused(*v);
    if (const Verdict v = CheckBiasPoint(model, r.stop, Subject::SweepStop)) return Refused(*v);
    if (const Verdict v = CheckSweepPoints(r.points)) return Refused(*v);
    if (r.spacing == Spacing::Log && (r.start <= 0 || r.stop <= 0))
        return Refused(Subject::SweepSpacing, Bound::Low, std::min(r.start, r.stop), 1);
    std::vector<std::int32_t> points;
    for (int i = 0; i < r.points; ++i) {
        const double share = static_cast<double>(i) / static_cast<double>(r.points - 1);
        const double mv = r.spacing == Spacing::Log
                              ? r.start * std::pow(static_cast<double>(r.stop) / r.start, share)
                              : r.start + (static_cast<double>(r.stop) - r.start) * share;
        // Rounding may carry the last step past the source's top: it stays at the top.
        const std::int32_t rounded = RoundToStep(mv, model.biasStepMillivolts);
        points.push_back(
            std::clamp(rounded, model.lowestBiasMillivolts, model.highestBiasMillivolts));
    }
    return Plan{points, std::nullopt};
}

} // namespace

Verdict CheckSweepStart(const Device::Capabilities &model, std::int32_t hz) {
    return Device::CheckWithin(Subject::SweepStart, hz, model.sweepLowestHz, model.sweepHighestHz);
}

Verdict CheckSweepStop(const Device::Capabilities &model, std::int32_t start, std::int32_t hz) {
    return Device::CheckWithin(Subject::SweepStop, hz, start, model.sweepHighestHz);
}

Verdict CheckSweepPoints(int points) {
    return Device::CheckWithin(Subject::SweepPoints, points, Main::SweepPointsLeast,
                               Main::SweepCapacity);
}

Plan PlanRun(const Request &request, const Device::Capabilities &model) {
    if (request.spacing == Spacing::List) return PlanList(request, model);
    switch (request.quantity) {
    case Quantity::Frequency:
        return PlanFrequencies(request, model);
    case Quantity::Bias:
        return PlanBias(request, model);
    case Quantity::Level:
        break;
    }
    // Levels are few and not evenly spaced: a level run is a list of them.
    return Refused(Subject::SweepSpacing, Bound::NotListed, static_cast<int>(request.spacing), 0);
}

} // namespace Sweep
