// Log-axis ticks and frequency texts.
#include "sweep/frequency_ticks.h"

#include <cmath>

namespace Sweep {

namespace {

std::vector<FrequencyTick> TicksOf(double low, double high, std::initializer_list<int> steps) {
    std::vector<FrequencyTick> ticks;
    const int first = static_cast<int>(std::floor(std::log10(low)));
    const int last = static_cast<int>(std::ceil(std::log10(high)));
    for (int decade = first; decade <= last; ++decade) {
        for (int step : steps) {
            // Built from an exact power of ten so that 1e3 is 1000, not 999.9999.
            const double hz = step * std::pow(10.0, decade);
            const double slack = hz * 1e-9;
            if (hz >= low - slack && hz <= high + slack) ticks.push_back({hz, FrequencyText(hz)});
        }
    }
    return ticks;
}

} // namespace

std::vector<FrequencyTick> LogFrequencyTicks(double low, double high, int most) {
    if (!(low > 0.0) || !(high >= low) || !std::isfinite(high)) return {};
    std::vector<FrequencyTick> ticks = TicksOf(low, high, {1, 2, 5});
    if (ticks.size() < 3) ticks = TicksOf(low, high, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    if (static_cast<int>(ticks.size()) > most) ticks = TicksOf(low, high, {1});
    return ticks;
}

QString FrequencyText(double hz, int digits) {
    static const char *const prefixes[] = {"", "k", "M", "G"};
    int prefix = 0;
    double v = hz;
    while (std::fabs(v) >= 1000.0 && prefix < 3) {
        v /= 1000.0;
        ++prefix;
    }
    return QStringLiteral("%1 %2Hz").arg(QString::number(v, 'g', digits),
                                         QLatin1String(prefixes[prefix]));
}

} // namespace Sweep
