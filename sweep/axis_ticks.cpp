// Value axis ticks and labels.
#include "sweep/axis_ticks.h"

#include "sweep/frequency_ticks.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace Sweep {

namespace {

constexpr int MostDecimals = 9;
constexpr double LargestPlain = 1e12;
constexpr int MostTicks = 1000; // a guard against a step that went wrong

// A round step (1, 2 or 5 times a power of ten) giving about `intervals` intervals.
double NiceStep(double span, int intervals) {
    const double raw = span / std::max(1, intervals);
    if (!(raw > 0.0) || !std::isfinite(raw)) return 0.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / decade;
    const double nice = fraction <= 1.0   ? 1.0
                        : fraction <= 2.0 ? 2.0
                        : fraction <= 5.0 ? 5.0
                                          : 10.0;
    return nice * decade;
}

// The decimals that show a step of one significant digit exactly: 0.05 → 2, 20 → 0.
int DecimalsOf(double step) {
    return std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
}

const QLocale &Grouped() {
    static const QLocale locale = [] {
        QLocale c = QLocale::c();
        c.setNumberOptions(QLocale::NumberOptions());
        return c;
    }();
    return locale;
}

// Evenly spaced ticks where round ones would not advance: as many significant digits as tell
// two neighbours apart.
std::vector<AxisTick> EvenTicks(double low, double high, int intervals) {
    const double step = (high - low) / intervals;
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    const int digits =
        std::clamp(static_cast<int>(std::ceil(std::log10(magnitude / step))) + 2, 1, 17);
    std::vector<AxisTick> ticks;
    for (int k = 0; k <= intervals; ++k) {
        const double value = k == intervals ? high : low + k * step;
        ticks.push_back(
            {value, value == 0.0 ? QStringLiteral("0") : Grouped().toString(value, 'g', digits)});
    }
    return ticks;
}

} // namespace

QString TickText(double value, int decimals) {
    if (!std::isfinite(value)) return {};
    const double shown = std::pow(10.0, -std::min(decimals, 300)) / 2.0;
    if (std::fabs(value) < shown || value == 0.0) return QStringLiteral("0");
    if (decimals > MostDecimals || std::fabs(value) >= LargestPlain)
        return QString::number(value, 'g', 6).replace(QStringLiteral("e+"), QStringLiteral("e"));
    return Grouped().toString(value, 'f', std::max(0, decimals));
}

double RoundStep(double span, int intervals) {
    return NiceStep(span, intervals);
}

std::vector<AxisTick> LinearTicks(double low, double high, int intervals) {
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) return {};
    intervals = std::max(1, intervals);
    std::vector<AxisTick> ticks = TicksAtStep(low, high, NiceStep(high - low, intervals));
    return ticks.empty() ? EvenTicks(low, high, intervals) : ticks;
}

std::vector<AxisTick> TicksAtStep(double low, double high, double step) {
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) return {};
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    if (!(step > magnitude * 1e-9) || !std::isfinite(step)) return {};
    const double first = std::ceil(low / step - 1e-9);
    const double last = std::floor(high / step + 1e-9);
    if (last - first > MostTicks) return {};
    const int decimals = DecimalsOf(step);
    std::vector<AxisTick> ticks;
    for (double k = first; k <= last; k += 1.0) {
        // A whole multiple of the step: zero is exactly zero, never 1e-17; an end a rounding
        // away outside stays on the span.
        const double value = k == 0.0 ? 0.0 : std::clamp(k * step, low, high);
        ticks.push_back({value, TickText(value, decimals)});
    }
    return ticks;
}

std::vector<AxisTick> LogTicks(double low, double high, int most) {
    std::vector<AxisTick> ticks;
    // The frequency ticks step through the decades the same way; only their labels differ.
    for (const FrequencyTick &tick : LogFrequencyTicks(low, high, std::max(1, most)))
        ticks.push_back({tick.hz, TickText(tick.hz, DecimalsOf(tick.hz))});
    return ticks;
}

} // namespace Sweep
