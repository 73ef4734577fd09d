// The sweep store's single instance and the steps that fill it.
#include "sweep/sweep_store.h"

#include "link/reading_status.h"

#include <algorithm>
#include <limits>

namespace Main {

namespace {

const int NotTakenStatus = Device::StatusCode(Device::ReadingStatus::NoData);

} // namespace

SweepVariables SweepState;

void ResetSweepState() {
    SweepState = {};
}

int ClampSweepPoints(int typed) {
    return std::clamp(typed, SweepPointsLeast, SweepCapacity);
}

void StoreSweepSample(const float *values, std::int32_t reportedHz, bool seriesCircuit,
                      std::int32_t reportedBiasMillivolts) {
    const int point = std::clamp(SweepIndex, 0, SweepCapacity - 1);
    for (int k = 0; k < SweepParameterCount; ++k)
        SweepSamples[k][point] = values[k];
    SweepMagnitudes[point] = values[Device::ValMagnitude];
    SweepPhases[point] = values[Device::ValPhase];
    SweepReportedFrequencies[point] = reportedHz;
    SweepSeriesCircuits[point] = seriesCircuit;
    SweepReportedBiases[point] = reportedBiasMillivolts;
    SweepStatuses[point] = 0;
    SweepCorrections[point] = 0;
    SweepFrameMagnitudes[point] = std::numeric_limits<float>::quiet_NaN();
    SweepFramePhases[point] = std::numeric_limits<float>::quiet_NaN();
}

void MarkSweepCorrection(unsigned correction, float frameMagnitude, float framePhase) {
    const int point = std::clamp(SweepIndex, 0, SweepCapacity - 1);
    SweepCorrections[point] = correction;
    SweepFrameMagnitudes[point] = frameMagnitude;
    SweepFramePhases[point] = framePhase;
}

void MarkSweepPoint(int statusCode, std::uint32_t connection) {
    const int point = std::clamp(SweepIndex, 0, SweepCapacity - 1);
    SweepStatuses[point] = statusCode;
    SweepConnections[point] = connection;
}

double PlannedAxisValue(const SweepVariables &store, int i) {
    const int point = std::clamp(i, 0, SweepCapacity - 1);
    if (store.SweepQuantity == Sweep::Quantity::Frequency) return store.SweepFrequencies[point];
    return store.SweepSettings[point] / 1000.0;
}

bool PointMeasured(const SweepVariables &store, int i) {
    return i >= 0 && i < SweepCapacity && store.SweepStatuses[i] == 0;
}

bool AdvanceSweep() {
    ++SweepIndex;
    if (SweepIndex >= SweepPoints) {
        SweepRunning = false;
        SweepIndex = SweepPoints - 1;
    }
    return SweepRunning;
}

int TakenSweepPoints(const SweepVariables &store) {
    const int taken = store.SweepRunning     ? store.SweepIndex
                      : store.SweepIndex > 0 ? store.SweepPoints
                                             : 0;
    const int bounded = std::clamp(taken, 0, SweepCapacity);
    for (int i = 0; i < bounded; ++i)
        if (store.SweepStatuses[i] == NotTakenStatus) return i;
    return bounded;
}

void StopSweepEarly() {
    for (int i = std::clamp(SweepIndex, 0, SweepCapacity); i < std::min(SweepPoints, SweepCapacity);
         ++i)
        SweepStatuses[i] = NotTakenStatus;
    SweepRunning = false;
}

} // namespace Main
