// The store's derived parameters in another equivalent circuit: each point keeps its raw |Z|,
// angle and frequency, so C, L, R, G, B, X, D and Q can be derived again for the series or the
// parallel circuit without measuring again.
#pragma once

#include "sweep/sweep_store.h"

namespace Main {

// Derives parameters 0..10 of points 0..count-1 again from their raw |Z|, angle, reported
// frequency and bias, in the series (true) or parallel circuit, as the link derives a frame's;
// marks them with that circuit. Points already of that circuit are left as they are. Returns
// how many points were derived again.
int DeriveSweepSamples(SweepVariables &store, int count, bool seriesCircuit);

} // namespace Main
