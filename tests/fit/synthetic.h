// Sweeps made from known elements: log-spaced frequencies, exact or with seeded noise.
#pragma once

#include "fit/circuit_fit.h"

#include <cmath>
#include <random>
#include <vector>

namespace Synthetic {

inline std::vector<double> LogFrequencies(double low, double high, int points) {
    std::vector<double> f;
    for (int i = 0; i < points; ++i)
        f.push_back(low * std::pow(high / low, static_cast<double>(i) / (points - 1)));
    return f;
}

// noise: relative standard deviation of |Z| and, in radians, of the angle.
inline Fit::Sweep Make(Fit::Model model, const std::vector<double> &elements, double noise = 0.0,
                       int points = 101, unsigned seed = 7) {
    Fit::Sweep sweep;
    sweep.frequency = LogFrequencies(25.0, 10e6, points);
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    for (double hz : sweep.frequency) {
        Fit::Complex z = Fit::Impedance(model, elements.data(), 6.283185307179586 * hz);
        if (noise > 0.0)
            z = std::polar(std::abs(z) * (1.0 + gauss(random)), std::arg(z) + gauss(random));
        sweep.impedance.push_back(z);
    }
    return sweep;
}

struct Part {
    Fit::Model model;
    std::vector<double> elements;
};

// One part per model, each with its corners and resonances inside 25 Hz .. 10 MHz.
inline std::vector<Part> Parts() {
    using Fit::Model;
    return {
        {Model::Resistor, {47.0}},
        {Model::SeriesRc, {2.0, 1e-6}},
        {Model::SeriesRl, {0.5, 1e-3}},
        {Model::ParallelRc, {10.0, 10e3, 10e-9}},
        {Model::Capacitor, {3.0, 20e-9, 100e-9}},
        {Model::Inductor, {1.5, 100e-6, 50e-12}},
        {Model::Resonator, {200.0, 10e-3, 1e-9, 2e-9}},
    };
}

} // namespace Synthetic
