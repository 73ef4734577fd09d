// The store's |Z| and angle as complex impedances, and back through the link's own derivation.
#include "fit/sweep_points.h"

#include "link/decoding.h"
#include "sweep/sweep_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Fit {

namespace {

constexpr double TwoPi = 6.283185307179586;

} // namespace

Sweep SweepFromStore(const Main::SweepVariables &store, int count) {
    count = std::clamp(count, 0, Main::SweepCapacity);
    Sweep sweep;
    sweep.frequency.reserve(count);
    sweep.impedance.reserve(count);
    for (int i = 0; i < count; ++i) {
        sweep.frequency.push_back(store.SweepFrequencies[i]);
        // The frame's own |Z| and angle, as SCPI's FIT? and the data files take them.
        sweep.impedance.push_back(
            Main::PointOverloaded(store, i)
                ? Complex(std::numeric_limits<double>::quiet_NaN(), 0.0)
                : std::polar(double(store.SweepMagnitudes[i]), double(store.SweepPhases[i])));
    }
    return sweep;
}

Sweep SweepFromStore(const Main::SweepVariables &store) {
    return SweepFromStore(store, Main::TakenSweepPoints(store));
}

float StoredParameter(int index, double frequencyHz, Complex z, bool seriesCircuit) {
    Device::ParameterInputs in;
    in.magnitude = static_cast<float>(std::abs(z));
    in.phase = static_cast<float>(std::arg(z));
    Device::FloatPair rx;
    Device::FromPolar(rx, {in.magnitude, in.phase});
    if (!seriesCircuit) Device::ToParallel(rx);
    in.resistance = rx.first;
    in.reactance = rx.second;
    in.angularFrequency = static_cast<float>(TwoPi * frequencyHz);
    in.frequencyHz = static_cast<std::int32_t>(frequencyHz);
    in.seriesCircuit = seriesCircuit;
    return Device::DeriveParameter(std::clamp(index, 0, Main::SweepParameterCount - 1), in);
}

std::vector<float> FittedParameterCurve(const FitResult &fit, int index,
                                        const std::vector<double> &frequencies,
                                        bool seriesCircuit) {
    const std::vector<Complex> z = EvaluateFit(fit, frequencies);
    std::vector<float> curve;
    curve.reserve(z.size());
    for (std::size_t i = 0; i < z.size(); ++i)
        curve.push_back(StoredParameter(index, frequencies[i], z[i], seriesCircuit));
    return curve;
}

} // namespace Fit
