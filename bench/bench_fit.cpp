// Figures for the circuit fit: one model and the automatic choice on 256 points of a noisy
// capacitor sweep (and the resonator, the model with most starts). The fit runs when asked,
// never inside the 40 ms measurement tick.
#include "fit/circuit_fit.h"

#include "bench_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

Fit::Sweep Noisy(Fit::Model model, const std::vector<double> &elements) {
    Fit::Sweep sweep;
    std::mt19937 random(3);
    std::normal_distribution<double> gauss(0.0, 0.002);
    for (int i = 0; i < 256; ++i) {
        const double hz = 25.0 * std::pow(10e6 / 25.0, i / 255.0);
        const Fit::Complex z = Fit::Impedance(model, elements.data(), 6.283185307179586 * hz);
        sweep.frequency.push_back(hz);
        sweep.impedance.push_back(
            std::polar(std::abs(z) * (1.0 + gauss(random)), std::arg(z) + gauss(random)));
    }
    return sweep;
}

// Median CPU milliseconds of a fit, over rounds runs.
template <typename Run> double MedianMs(Run run, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double start = Bench::ThreadCpuMs();
        run();
        times.push_back(Bench::ThreadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    const Fit::Sweep capacitor = Noisy(Fit::Model::Capacitor, {3.0, 20e-9, 100e-9});
    const Fit::Sweep resonator = Noisy(Fit::Model::Resonator, {200.0, 10e-3, 1e-9, 2e-9});
    std::printf("capacitor on 256 points: %.2f ms (goal under 5 ms)\n",
                MedianMs([&] { Fit::FitCircuit(Fit::Model::Capacitor, capacitor); }, 50));
    std::printf("resonator on 256 points: %.2f ms (goal under 5 ms)\n",
                MedianMs([&] { Fit::FitCircuit(Fit::Model::Resonator, resonator); }, 50));
    std::printf("auto on 256 points of the capacitor: %.2f ms (goal under 30 ms)\n",
                MedianMs([&] { Fit::FitBest(capacitor); }, 20));
    std::printf("auto on 256 points of the resonator: %.2f ms (goal under 30 ms)\n",
                MedianMs([&] { Fit::FitBest(resonator); }, 20));
    return 0;
}
