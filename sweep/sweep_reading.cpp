// Resonance, extremes and nearest point of a run.
#include "sweep/sweep_reading.h"

#include <cmath>

namespace Sweep {

namespace {

int Sign(double v) {
    return v > 0.0 ? 1 : v < 0.0 ? -1 : 0;
}

} // namespace

std::optional<Resonance> FindResonance(const double *frequency, const double *x, int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(x[i]) || !std::isfinite(frequency[i])) continue;
        if (x[i] == 0.0) return Resonance{frequency[i], i};
        if (i + 1 >= count || !std::isfinite(x[i + 1]) || !std::isfinite(frequency[i + 1]))
            continue;
        if (Sign(x[i]) * Sign(x[i + 1]) >= 0) continue; // same sign, or a zero the next round takes
        const double share = x[i] / (x[i] - x[i + 1]);
        const double f0 = frequency[i], f1 = frequency[i + 1];
        const double at = f0 > 0.0 && f1 > 0.0
                              ? std::exp(std::log(f0) + share * (std::log(f1) - std::log(f0)))
                              : f0 + share * (f1 - f0);
        return Resonance{at, i};
    }
    return std::nullopt;
}

Extremes FindExtremes(const double *values, int count) {
    Extremes out;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) continue;
        if (out.lowest < 0 || values[i] < values[out.lowest]) out.lowest = i;
        if (out.highest < 0 || values[i] > values[out.highest]) out.highest = i;
    }
    return out;
}

int NearestPoint(const double *xs, int count, double at) {
    int best = -1;
    double distance = 0.0;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(xs[i])) continue;
        const double d = std::fabs(xs[i] - at);
        if (best < 0 || d < distance) {
            best = i;
            distance = d;
        }
    }
    return best;
}

} // namespace Sweep
