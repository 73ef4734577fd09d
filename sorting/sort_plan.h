// A sorting plan and its verdict on one reading: the primary quantity against up to nine bins
// (nested tolerances around a nominal, absolute or in percent, or adjacent ranges), a secondary
// quantity against a low and/or a high limit, and the counts of a batch. Pure: the core sorts
// with it, and every front end reads the same verdicts.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace Sort {

constexpr int MaxBins = 9;

// What the primary limits are.
enum class Mode {
    AbsoluteTolerance, // each bin: the deviation from nominal, low and high, in the unit
    PercentTolerance,  // each bin: the deviation from nominal, low and high, in % of |nominal|
    Sequential,        // boundaries b0 < b1 < … < bn: bin k holds b(k-1) … b(k)
};

// A limit pair; a side without a value does not limit.
struct Limits {
    std::optional<double> low;
    std::optional<double> high;
    bool any() const { return low.has_value() || high.has_value(); }
};

struct Plan {
    int primary = 0; // one of the fourteen quantities, numbered as Device::ParameterIndex (C)
    Mode mode = Mode::PercentTolerance;
    double nominal = 0.0;           // the tolerance modes' reference, in the quantity's unit
    std::vector<Limits> bins;       // tolerance modes: bin 1 first, usually the tightest
    std::vector<double> boundaries; // sequential mode: ascending, one more than its bins
    int secondary = 8;              // D
    Limits secondaryLimits;         // none: the secondary quantity is not judged
    bool auxBin = false;            // a secondary failure reported as bin 10 (AUX) or as OUT
    // The circuit the quantities are taken in (a SCPI function such as CPD names its own);
    // nothing: the reading's, as the window shows it.
    std::optional<bool> seriesCircuit;
    int binCount() const;
    bool empty() const { return binCount() == 0 && !secondaryLimits.any(); }
};

// Why a plan cannot be used, for a front end to word; bin is the 1-based bin concerned, or 0.
struct PlanProblem {
    enum class Kind { TooManyBins, LowAboveHigh, NoNominal, NotAscending, NotFinite, Quantity };
    Kind kind = Kind::TooManyBins;
    int bin = 0;
};
std::optional<PlanProblem> CheckPlan(const Plan &plan);

enum class Outcome {
    Bin,           // the primary in bin `bin` and the secondary within its limits
    Pass,          // a plan without bins: the secondary within its limits
    Out,           // the primary outside every bin (also a value the impedance leaves undefined)
    SecondaryFail, // the primary in a bin, the secondary outside its limits
    NoVerdict,     // an empty plan, or a reading that is no measurement (open, overloaded, stale)
};

struct Verdict {
    Outcome outcome = Outcome::NoVerdict;
    int bin = 0; // 1…9 for Outcome::Bin, else 0
    // The bin field of a bench meter's FETCh? answer: 1…9, 0 for OUT, 10 for the AUX bin (a
    // secondary failure with the AUX bin on; OUT when off); a plan without bins passes as 1;
    // -1 when there is no verdict.
    int code(bool auxBin) const;
    bool passed() const { return outcome == Outcome::Bin || outcome == Outcome::Pass; }
    bool counts() const { return outcome != Outcome::NoVerdict; }
};

// A limit is inside: low <= value <= high, with a slack of a billionth of the limit so that a
// value typed as the limit itself is in, whatever the rounding of the percent arithmetic.
Verdict Judge(const Plan &plan, double primary, double secondary, bool measured);

// What a reading gives to be sorted: the frame's |Z| (ohms), angle (radians) and frequency, the
// circuit, the bias (volts), and whether it is a measurement at the conditions asked for.
struct Reading {
    double magnitude = 0.0;
    double phase = 0.0;
    double frequencyHz = 0.0;
    bool seriesCircuit = true;
    double biasVolts = 0.0;
    bool measured = false;
};

// The value of quantity q (Device::ParameterIndex) of a reading in SI, as the data files give it
// (the textbook values; the bias in volts).
double QuantityValue(const Reading &reading, int quantity);

// The plan's verdict on a reading.
Verdict JudgeReading(const Plan &plan, const Reading &reading);

// "C", "L", … "Ub" and their SI units ("F", "H", "Ohm", …); -1 for an unknown name (any case).
QString QuantityName(int quantity);
QString QuantityUnit(int quantity);
int QuantityByName(const QString &name);

// The parts counted since the last clear.
struct Counts {
    std::array<std::int64_t, MaxBins> bins{};
    std::int64_t pass = 0; // a plan without bins
    std::int64_t out = 0;
    std::int64_t secondaryFail = 0;
    void add(const Verdict &verdict);
    std::int64_t total() const;
    std::int64_t passed() const;
    double yield() const; // passed / total; 0 with nothing counted
};

} // namespace Sort
