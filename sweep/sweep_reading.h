// What a component engineer reads off a run: the self-resonance, the lowest and highest point of
// a series, the point nearest to a place on the axis.
#pragma once

#include <optional>

namespace Sweep {

struct Resonance {
    double frequency = 0.0; // Hz, between points `before` and `before + 1` (or on one of them)
    int before = 0;
};

// Where the reactance x[] (or the phase of Z, whose sign is the same) changes sign over the
// points 0..count-1, ordered by frequency: the first change, interpolated linearly in log f
// between the two points around it. A zero at a point is a resonance at that point. Points with
// a value that is not finite break the curve: no change is looked for across them.
std::optional<Resonance> FindResonance(const double *frequency, const double *x, int count);

struct Extremes {
    int lowest = -1; // index of the first smallest finite value, -1 when there is none
    int highest = -1;
};
Extremes FindExtremes(const double *values, int count);

// Index of the x nearest to at (the first of equals), -1 when no x is finite.
int NearestPoint(const double *xs, int count, double at);

} // namespace Sweep
