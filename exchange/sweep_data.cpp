#include "exchange/sweep_data.h"

#include "fit/fit_data.h"
#include "sweep/sweep_circuit.h"
#include "sweep/sweep_store.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Exchange {

namespace {

// value rounded into an int32, saturating; zero for NaN.
std::int32_t Whole(double value) {
    if (std::isnan(value)) return 0;
    const double bounded =
        std::clamp(std::round(value), double(std::numeric_limits<std::int32_t>::min()),
                   double(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::int32_t>(bounded);
}

// value as a float; beyond the float range the infinity of its sign, as IEEE rounding gives.
float Single(double value) {
    const double largest = std::numeric_limits<float>::max();
    if (value > largest) return std::numeric_limits<float>::infinity();
    if (value < -largest) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

} // namespace

std::complex<double> Phasor(double magnitude, double radians) {
    return {magnitude * std::cos(radians), magnitude * std::sin(radians)};
}

std::complex<double> Impedance(const SweepPoint &point) {
    return Phasor(point.magnitude, point.phase);
}

SweepData FromStore(const Main::SweepVariables &store) {
    SweepData data;
    data.quantity = store.SweepQuantity;
    const int taken = Main::TakenSweepPoints(store);
    data.points.reserve(static_cast<std::size_t>(taken));
    for (int i = 0; i < taken; ++i) {
        SweepPoint p;
        p.planned = Main::PlannedAxisValue(store, i);
        p.frequency = store.SweepReportedFrequencies[i];
        p.magnitude = static_cast<double>(store.SweepMagnitudes[i]);
        p.phase = static_cast<double>(store.SweepPhases[i]);
        p.bias = store.SweepReportedBiases[i] / 1000.0;
        p.status = store.SweepStatuses[i];
        data.points.push_back(p);
    }
    return data;
}

std::optional<Main::SweepVariables> ToStore(const SweepData &data, bool seriesCircuit) {
    const std::size_t n = data.points.size();
    if (n == 0 || n > static_cast<std::size_t>(Main::SweepCapacity)) return std::nullopt;
    std::optional<Main::SweepVariables> store(std::in_place);
    store->SweepQuantity = data.quantity;
    store->SweepPoints = static_cast<int>(n);
    // On its last point, as a finished run leaves it (the statistics read up to SweepIndex); a
    // single point stays counted as taken.
    store->SweepIndex = n > 1 ? static_cast<int>(n) - 1 : 1;
    store->SweepRunning = false;
    const bool frequencyRun = data.quantity == Sweep::Quantity::Frequency;
    for (std::size_t k = 0; k < n; ++k) {
        const SweepPoint &p = data.points[k];
        store->SweepFrequencies[k] = Single(frequencyRun ? p.planned : p.frequency);
        store->SweepSettings[k] = frequencyRun ? 0 : Whole(p.planned * 1000.0);
        store->SweepReportedFrequencies[k] = Whole(p.frequency);
        store->SweepMagnitudes[k] = Single(p.magnitude);
        store->SweepPhases[k] = Single(p.phase);
        store->SweepReportedBiases[k] = Whole(p.bias * 1000.0);
        store->SweepStatuses[k] = p.status;
        store->SweepSeriesCircuits[k] = !seriesCircuit; // derived in seriesCircuit below
        store->SweepFrameMagnitudes[k] = std::numeric_limits<float>::quiet_NaN();
        store->SweepFramePhases[k] = std::numeric_limits<float>::quiet_NaN();
    }
    // The parameters the graph and statistics read, as a frame's are derived.
    Main::DeriveSweepSamples(*store, static_cast<int>(n), seriesCircuit);
    return store;
}

Fit::Sweep ToFitSweep(const SweepData &data) {
    Fit::Sweep sweep;
    if (data.quantity != Sweep::Quantity::Frequency) return sweep;
    for (const SweepPoint &p : data.points) {
        if (p.status != 0) continue;
        sweep.frequency.push_back(p.frequency);
        sweep.impedance.push_back(Impedance(p));
    }
    return sweep;
}

} // namespace Exchange
