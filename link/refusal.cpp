// The checks of single test conditions against a model.
#include "link/refusal.h"

#include <algorithm>
#include <cmath>

namespace Device {

namespace {

Refusal Refuse(Refusal::Subject subject, Refusal::Bound bound, double value, double limit) {
    Refusal refusal;
    refusal.subject = subject;
    refusal.bound = bound;
    refusal.value = value;
    refusal.limit = limit;
    return refusal;
}

} // namespace

Verdict CheckWithin(Refusal::Subject subject, double value, double low, double high) {
    if (value < low) return Refuse(subject, Refusal::Bound::Low, value, low);
    if (value > high) return Refuse(subject, Refusal::Bound::High, value, high);
    return std::nullopt;
}

Verdict CheckFrequency(const Capabilities &model, std::int32_t hz) {
    return CheckWithin(Refusal::Subject::Frequency, hz, model.lowestHz, model.highestHz);
}

Verdict CheckBias(const Capabilities &model, std::int32_t millivolts) {
    if (Verdict range = CheckWithin(Refusal::Subject::Bias, millivolts, model.lowestBiasMillivolts,
                                    model.highestBiasMillivolts))
        return range;
    if (millivolts % model.biasStepMillivolts != 0)
        return Refuse(Refusal::Subject::Bias, Refusal::Bound::Step, millivolts,
                      model.biasStepMillivolts);
    return std::nullopt;
}

Verdict CheckLevel(const Capabilities &model, std::int32_t millivolts) {
    const auto &levels = model.levelsMillivolts;
    if (std::find(levels.begin(), levels.end(), millivolts) != levels.end()) return std::nullopt;
    return Refuse(Refusal::Subject::Level, Refusal::Bound::NotListed, millivolts, 0.0);
}

std::optional<int> RangeIndexOf(const Capabilities &model, double ohms) {
    for (int index = 0; index < RangeCount; ++index) {
        const double nominal = model.rangeOhms[static_cast<std::size_t>(index)];
        if (std::fabs(ohms - nominal) <= 1e-9 * nominal) return index;
    }
    return std::nullopt;
}

Verdict CheckRange(const Capabilities &model, double ohms) {
    if (RangeIndexOf(model, ohms)) return std::nullopt;
    return Refuse(Refusal::Subject::Range, Refusal::Bound::NotListed, ohms, 0.0);
}

} // namespace Device
