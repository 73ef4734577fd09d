// The comparator as SCPI sets it: its limits as a client gives them, the plan they make in a
// function type's quantities, and the bin counters of the COMP:BIN:COUN commands. Pure.
#pragma once

#include "sorting/sort_plan.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Remote {

struct ComparatorSettings {
    bool on = false;
    Sort::Mode mode = Sort::Mode::PercentTolerance;
    double nominal = 0.0;           // in the function's unit, as FETC? gives it
    std::vector<Sort::Limits> bins; // TOL:BIN1 first, without gaps
    std::vector<double> boundaries; // SEQ:BIN, ascending
    Sort::Limits secondary;         // SLIMit; none: the secondary is not judged
    bool auxBin = false;
    bool swap = false;    // the function's B is the primary, its A the secondary
    bool counting = true; // BIN:COUN[:STAT]: verdicts go into the counters
    int function = 0;     // the FUNC:IMP type whose quantities are judged
};

// The plan of the settings in the quantities of a FUNC:IMP type and the circuit it names; an
// angle in radians is judged as the quantity in degrees, its limits converted.
Sort::Plan ComparatorPlan(const ComparatorSettings &settings, int functionType);

// Whether two plans judge alike: every field equal.
bool SamePlan(const Sort::Plan &a, const Sort::Plan &b);

// 0 when the plan of the settings can be used, else the SCPI error: -221 for a percent tolerance
// without a nominal, -222 for limits that are reversed, not ascending or not finite.
int ComparatorRefusal(const ComparatorSettings &settings);

// BIN1 … BIN9, OUT, AUX, as COMP:BIN:COUN:DATA? answers them.
constexpr int CounterCount = 11;
using BinCounters = std::array<std::int64_t, CounterCount>;
// The counter of a verdict's bin code (1…9, 0 OUT, 10 AUX); -1 (no verdict) counts nothing.
void CountBin(BinCounters &counters, int code);

} // namespace Remote
