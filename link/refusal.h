// A request a model cannot take, as data: what was asked, the value, and the bound it broke.
// The checks are pure functions of a model's capabilities; each front end words a refusal in its
// own language (the window in Russian, the command line in English, SCPI as an error number).
#pragma once

#include "link/capabilities.h"

#include <cstdint>
#include <optional>

namespace Device {

struct Refusal {
    enum class Subject {
        Frequency,
        Bias,
        Level,
        Range,
        SweepStart,   // the first value of a run
        SweepStop,    // the last value of a run
        SweepPoints,  // the number of points of a run
        SweepList,    // an entry of a run's own list
        SweepSpacing, // a spacing the swept quantity cannot have
    };
    enum class Bound {
        Low,       // below `limit`
        High,      // above `limit`
        Step,      // not a whole multiple of `limit`
        NotListed, // not one of the values offered
    };
    Subject subject = Subject::Frequency;
    Bound bound = Bound::Low;
    double value = 0.0; // what was asked, in Hz, mV, ohms or points
    double limit = 0.0; // the bound broken; 0 for NotListed
    int index = -1;     // SweepList: the entry's position in the list

    bool operator==(const Refusal &other) const {
        return subject == other.subject && bound == other.bound && value == other.value &&
               limit == other.limit && index == other.index;
    }
};

using Verdict = std::optional<Refusal>; // nothing: accepted

// value within low … high, or the bound it broke, refused as subject.
Verdict CheckWithin(Refusal::Subject subject, double value, double low, double high);

Verdict CheckFrequency(const Capabilities &model, std::int32_t hz);
// Within the bias source's range and on the model's step.
Verdict CheckBias(const Capabilities &model, std::int32_t millivolts);
// One of the model's levels.
Verdict CheckLevel(const Capabilities &model, std::int32_t millivolts);
// One of the model's ranges, within a billionth of its ohms; gives the range's index.
std::optional<int> RangeIndexOf(const Capabilities &model, double ohms);
Verdict CheckRange(const Capabilities &model, double ohms);

} // namespace Device
