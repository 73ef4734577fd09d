// Figures for the fits the window may start from its chart menu, each on 256 points: "auto" on a
// flat sweep, on a capacitor and on a part no model describes, and circuit strings with
// constant-phase elements; the whole work of one fit as the window has it done off its thread
// (the fit, its Russian wording and its residuals), and the wording and the residuals alone. A
// fit over about 50 ms would freeze the window were it run on the window's thread.
#include "fit/circuit_fit.h"
#include "fit/circuit_string.h"
#include "fit/fit_report.h"
#include "ui/fit_residuals.h"
#include "ui/fit_runner.h"
#include "ui/fit_text.h"

#include "bench_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr double TwoPi = 6.283185307179586;

using ImpedanceOf = std::function<Fit::Complex(double omega)>;

ImpedanceOf Model(Fit::Model model, std::vector<double> elements) {
    return
        [model, elements](double omega) { return Fit::Impedance(model, elements.data(), omega); };
}

ImpedanceOf Circuit(const QString &text, std::vector<double> values) {
    const Fit::ParsedCircuit circuit = Fit::ParseCircuit(text).circuit;
    return [circuit, values](double omega) {
        return Fit::CircuitImpedance(circuit, values.data(), omega);
    };
}

ImpedanceOf ParallelRl(double r, double l) {
    return [r, l](double omega) {
        const Fit::Complex x(0.0, omega * l);
        return r * x / (r + x);
    };
}

// 256 points from 25 Hz to 10 MHz, 0.2 % noise in |Z| and the angle.
Fit::Sweep Noisy(const ImpedanceOf &part) {
    Fit::Sweep sweep;
    std::mt19937 random(5);
    std::normal_distribution<double> gauss(0.0, 0.002);
    for (int i = 0; i < 256; ++i) {
        const double hz = 25.0 * std::pow(10e6 / 25.0, i / 255.0);
        const Fit::Complex z = part(TwoPi * hz);
        sweep.frequency.push_back(hz);
        sweep.impedance.push_back(
            std::polar(std::abs(z) * (1.0 + gauss(random)), std::arg(z) + gauss(random)));
    }
    return sweep;
}

// Median and worst CPU milliseconds over rounds runs.
template <typename Run> std::pair<double, double> Ms(Run run, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double start = Bench::ThreadCpuMs();
        run();
        times.push_back(Bench::ThreadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

} // namespace

int main() {
    const struct {
        const char *what;
        const char *name;
        Fit::Sweep sweep;
    } cases[] = {
        {"auto, flat 100 ohm", "auto", Noisy(Model(Fit::Model::Resistor, {100.0}))},
        {"auto, capacitor", "auto", Noisy(Model(Fit::Model::Capacitor, {3.0, 20e-9, 100e-9}))},
        {"auto, R parallel L (no model)", "auto", Noisy(ParallelRl(100.0, 1e-3))},
        {"auto, resonator", "auto",
         Noisy(Model(Fit::Model::Resonator, {200.0, 10e-3, 1e-9, 2e-9}))},
        {"R0-p(R1,Q1) on its own data", "R0-p(R1,Q1)",
         Noisy(Circuit(QStringLiteral("R0-p(R1,Q1)"), {5.0, 1000.0, 2.2e-6, 0.85}))},
        {"R0-p(R1,Q1) on a flat sweep", "R0-p(R1,Q1)", Noisy(Model(Fit::Model::Resistor, {100.0}))},
        {"R0-p(R1,Q1)-p(R2,Q2) on its own data", "R0-p(R1,Q1)-p(R2,Q2)",
         Noisy(Circuit(QStringLiteral("R0-p(R1,Q1)-p(R2,Q2)"),
                       {5.0, 1000.0, 2.2e-6, 0.85, 100.0, 1e-9, 0.9}))},
        {"R0-p(R1,Q1)-p(R2,Q2) on R parallel L", "R0-p(R1,Q1)-p(R2,Q2)",
         Noisy(ParallelRl(100.0, 1e-3))},
        // Twelve values, the most a string may have.
        {"R0-L0-C0-p(R1,Q1)-p(R2,Q2)-p(R3,Q3), 12 values", "R0-L0-C0-p(R1,Q1)-p(R2,Q2)-p(R3,Q3)",
         Noisy(Circuit(
             QStringLiteral("R0-L0-C0-p(R1,Q1)-p(R2,Q2)-p(R3,Q3)"),
             {5.0, 1e-7, 1e-3, 1000.0, 2.2e-6, 0.85, 100.0, 1e-9, 0.9, 10.0, 1e-10, 0.95}))},
    };
    std::printf("Fits the window starts, 256 points; CPU ms median / worst of 5 (the window runs "
                "them off its thread, so over ~50 ms would have frozen it):\n");
    for (const auto &c : cases) {
        Main::FitOutcome last;
        const auto [median, worst] =
            Ms([&] { last = Main::FitAndWord(QString::fromLatin1(c.name), c.sweep); }, 5);
        std::printf("  %-48s %8.2f / %8.2f ms  (%s, %s)\n", c.what, median, worst,
                    qPrintable(Fit::FitName(last.result)),
                    last.result.verdict == Fit::Verdict::Good ? "good" : "poor");
    }
    const Fit::Sweep capacitor = cases[1].sweep;
    const Fit::FitResult fit = Fit::FitByName(QStringLiteral("auto"), capacitor);
    const auto [wording, wordingWorst] = Ms([&] { (void)Main::FitText(fit); }, 200);
    const auto [residuals, residualsWorst] =
        Ms([&] { (void)Main::FitResiduals(fit, capacitor); }, 200);
    std::printf("  Russian wording of the capacitor's auto result: %.3f ms (worst %.3f)\n", wording,
                wordingWorst);
    std::printf("  residuals at its 256 points: %.3f ms (worst %.3f)\n", residuals, residualsWorst);
    return 0;
}
