// The verdict of a plan on one reading, and the counts of a batch.
#include "sorting/sort_plan.h"

#include "link/decoding.h"
#include "link/display_lines.h"
#include "link/textbook_values.h"

#include <cmath>

namespace Sort {

namespace {

// The SI units of the fourteen, as the data files write them.
constexpr const char *Units[Device::ParameterCount] = {"F", "H", "Ohm", "S",   "S",   "Ohm", "Ohm",
                                                       "S", "",  "",    "deg", "deg", "Hz",  "V"};

bool Within(double value, const Limits &limits) {
    const auto slack = [](double limit) { return std::abs(limit) * 1e-9; };
    if (limits.low && value < *limits.low - slack(*limits.low)) return false;
    if (limits.high && value > *limits.high + slack(*limits.high)) return false;
    return true;
}

// The bin of the primary value, 1-based; 0 for none.
int PrimaryBin(const Plan &plan, double value) {
    if (!std::isfinite(value)) return 0;
    if (plan.mode == Mode::Sequential) {
        for (std::size_t k = 1; k < plan.boundaries.size() && k <= MaxBins; ++k)
            if (Within(value, Limits{plan.boundaries[k - 1], plan.boundaries[k]}))
                return static_cast<int>(k);
        return 0;
    }
    for (std::size_t k = 0; k < plan.bins.size() && k < MaxBins; ++k) {
        const Limits &bin = plan.bins[k];
        // The limits are turned into values of the quantity, so that the slack is the limit's.
        const double scale =
            plan.mode == Mode::PercentTolerance ? std::abs(plan.nominal) / 100.0 : 1.0;
        Limits absolute;
        if (bin.low) absolute.low = plan.nominal + *bin.low * scale;
        if (bin.high) absolute.high = plan.nominal + *bin.high * scale;
        if (Within(value, absolute)) return static_cast<int>(k) + 1;
    }
    return 0;
}

} // namespace

int Plan::binCount() const {
    if (mode == Mode::Sequential)
        return boundaries.size() < 2 ? 0 : static_cast<int>(boundaries.size()) - 1;
    return static_cast<int>(bins.size());
}

std::optional<PlanProblem> CheckPlan(const Plan &plan) {
    using K = PlanProblem::Kind;
    const auto known = [](int q) { return q >= 0 && q < Device::ParameterCount; };
    if (!known(plan.primary) || !known(plan.secondary)) return PlanProblem{K::Quantity, 0};
    if (plan.binCount() > MaxBins) return PlanProblem{K::TooManyBins, MaxBins + 1};
    const auto finite = [](const std::optional<double> &v) { return !v || std::isfinite(*v); };
    if (!finite(plan.secondaryLimits.low) || !finite(plan.secondaryLimits.high))
        return PlanProblem{K::NotFinite, 0};
    if (plan.secondaryLimits.low && plan.secondaryLimits.high &&
        *plan.secondaryLimits.low > *plan.secondaryLimits.high)
        return PlanProblem{K::LowAboveHigh, 0};
    if (plan.mode == Mode::Sequential) {
        for (std::size_t k = 0; k < plan.boundaries.size(); ++k) {
            if (!std::isfinite(plan.boundaries[k]))
                return PlanProblem{K::NotFinite, static_cast<int>(k)};
            if (k > 0 && plan.boundaries[k] <= plan.boundaries[k - 1])
                return PlanProblem{K::NotAscending, static_cast<int>(k)};
        }
        return std::nullopt;
    }
    if (!std::isfinite(plan.nominal)) return PlanProblem{K::NotFinite, 0};
    if (plan.mode == Mode::PercentTolerance && plan.nominal == 0.0 && !plan.bins.empty())
        return PlanProblem{K::NoNominal, 0};
    for (std::size_t k = 0; k < plan.bins.size(); ++k) {
        const Limits &bin = plan.bins[k];
        const int number = static_cast<int>(k) + 1;
        if (!finite(bin.low) || !finite(bin.high)) return PlanProblem{K::NotFinite, number};
        if (bin.low && bin.high && *bin.low > *bin.high)
            return PlanProblem{K::LowAboveHigh, number};
    }
    return std::nullopt;
}

int Verdict::code(bool auxBin) const {
    switch (outcome) {
    case Outcome::Bin:
        return bin;
    case Outcome::Pass:
        return 1;
    case Outcome::Out:
        return 0;
    case Outcome::SecondaryFail:
        return auxBin ? 10 : 0;
    case Outcome::NoVerdict:
        break;
    }
    return -1;
}

Verdict Judge(const Plan &plan, double primary, double secondary, bool measured) {
    if (!measured || plan.empty()) return {};
    Verdict verdict;
    if (plan.binCount() > 0) {
        verdict.bin = PrimaryBin(plan, primary);
        if (verdict.bin == 0) {
            verdict.outcome = Outcome::Out;
            return verdict;
        }
        verdict.outcome = Outcome::Bin;
    } else {
        verdict.outcome = Outcome::Pass;
    }
    if (plan.secondaryLimits.any() &&
        (!std::isfinite(secondary) || !Within(secondary, plan.secondaryLimits))) {
        verdict.outcome = Outcome::SecondaryFail;
        verdict.bin = 0;
    }
    return verdict;
}

double QuantityValue(const Reading &reading, int quantity) {
    if (quantity == Device::ParUb) return reading.biasVolts;
    const Device::TextbookValues values =
        Device::Textbook(reading.magnitude, reading.phase, reading.frequencyHz);
    return Device::TextbookParameter(values, quantity, reading.seriesCircuit);
}

Verdict JudgeReading(const Plan &plan, const Reading &reading) {
    Reading inCircuit = reading;
    inCircuit.seriesCircuit = plan.seriesCircuit.value_or(reading.seriesCircuit);
    return Judge(plan, QuantityValue(inCircuit, plan.primary),
                 QuantityValue(inCircuit, plan.secondary), reading.measured);
}

QString QuantityName(int quantity) {
    if (quantity < 0 || quantity >= Device::ParameterCount) return QString();
    return QString::fromLatin1(Device::ParameterNames[quantity]);
}

QString QuantityUnit(int quantity) {
    if (quantity < 0 || quantity >= Device::ParameterCount) return QString();
    return QString::fromLatin1(Units[quantity]);
}

int QuantityByName(const QString &name) {
    for (int q = 0; q < Device::ParameterCount; ++q)
        if (name.compare(QLatin1String(Device::ParameterNames[q]), Qt::CaseInsensitive) == 0)
            return q;
    return -1;
}

void Counts::add(const Verdict &verdict) {
    switch (verdict.outcome) {
    case Outcome::Bin:
        if (verdict.bin >= 1 && verdict.bin <= MaxBins) ++bins[verdict.bin - 1];
        break;
    case Outcome::Pass:
        ++pass;
        break;
    case Outcome::Out:
        ++out;
        break;
    case Outcome::SecondaryFail:
        ++secondaryFail;
        break;
    case Outcome::NoVerdict:
        break;
    }
}

std::int64_t Counts::passed() const {
    std::int64_t sum = pass;
    for (std::int64_t n : bins)
        sum += n;
    return sum;
}

std::int64_t Counts::total() const {
    return passed() + out + secondaryFail;
}

double Counts::yield() const {
    const std::int64_t all = total();
    return all == 0 ? 0.0 : static_cast<double>(passed()) / static_cast<double>(all);
}

} // namespace Sort
