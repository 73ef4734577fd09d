// What a fit works on: frequencies and measured impedances, and the points of them it can use.
#pragma once

#include "fit/circuit_models.h"

#include <vector>

namespace Fit {

// One point per index: frequency in Hz, impedance in ohms. Points with a non-finite or non-positive
// frequency, or an impedance that is zero or not finite (a sweep marks a point it could not
// measure that way), are left out of the fit.
struct Sweep {
    std::vector<double> frequency;
    std::vector<Complex> impedance;
};

// The usable points, as angular frequency and impedance, and how many of the sweep's were not.
struct UsablePoints {
    std::vector<double> omega;
    std::vector<Complex> impedance;
    int leftOut = 0;
    int distinctFrequencies = 0;
    // What the real and imaginary parts of each residual are multiplied by; empty: 1/|Z|.
    std::vector<double> weightReal, weightImag;
};

UsablePoints SelectUsable(const Sweep &sweep);

} // namespace Fit
