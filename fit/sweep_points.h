// Between the sweep store and the fit: the store's points as a fit's input, and a fitted circuit
// as any of the eleven stored parameters, so its curve can be drawn over the measured points.
#pragma once

#include "fit/circuit_fit.h"
#include "sweep/sweep_store.h"

#include <vector>

namespace Fit {

// The first count points of the store (taken points by default) from Z (mOhm) and Fiz (degrees),
// which hold the meter's own |Z| and angle whatever the circuit. A point whose Z is not finite or
// reads "OWERLOAD" in the statistics is given a NaN impedance, so the fit leaves it out.
Sweep SweepFromStore(const Main::SweepVariables &store, int count);
Sweep SweepFromStore(const Main::SweepVariables &store = Main::SweepState);

// Parameter index (0 C .. 10 Fiz) of impedance z at frequencyHz, in the unit and with the
// division guards the store keeps it in, for the series or the parallel circuit.
float StoredParameter(int index, double frequencyHz, Complex z, bool seriesCircuit);

// The fitted circuit as parameter index at each frequency; empty when the fit has no elements.
std::vector<float> FittedParameterCurve(const FitResult &fit, int index,
                                        const std::vector<double> &frequencies, bool seriesCircuit);

} // namespace Fit
