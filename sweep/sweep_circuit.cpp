// The store's parameters derived again through the link's own derivation.
#include "sweep/sweep_circuit.h"

#include "link/decoding.h"

#include <algorithm>

namespace Main {

namespace {

constexpr double TwoPi = 6.283185307179586;

} // namespace

int DeriveSweepSamples(SweepVariables &store, int count, bool seriesCircuit) {
    const int points = std::clamp(count, 0, SweepCapacity);
    int derived = 0;
    for (int i = 0; i < points; ++i) {
        if (store.SweepSeriesCircuits[i] == seriesCircuit) continue;
        Device::ParameterInputs in;
        in.magnitude = store.SweepMagnitudes[i];
        in.phase = store.SweepPhases[i];
        Device::FloatPair rx;
        Device::FromPolar(rx, {in.magnitude, in.phase});
        if (!seriesCircuit) Device::ToParallel(rx);
        in.resistance = rx.first;
        in.reactance = rx.second;
        in.frequencyHz = store.SweepReportedFrequencies[i];
        in.angularFrequency = static_cast<float>(TwoPi * in.frequencyHz);
        in.biasMillivolts = store.SweepReportedBiases[i];
        in.seriesCircuit = seriesCircuit;
        for (int k = 0; k < SweepParameterCount; ++k)
            store.SweepSamples[k][i] = Device::DeriveParameter(k, in);
        store.SweepSeriesCircuits[i] = seriesCircuit;
        ++derived;
    }
    return derived;
}

} // namespace Main
