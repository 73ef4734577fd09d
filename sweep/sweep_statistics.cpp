// Statistics of a run and their display texts.
#include "sweep/sweep_statistics.h"

#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_store.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Main {

namespace {

constexpr char NumberTemplate[] = "% . f ";
constexpr int LastScaledPrefix = 6; // the scaling stops once past it: "G" at most
constexpr int NumberColumn = 3;
constexpr int NumberWidth = 9;
constexpr int CircuitLetterCount = 6; // C, L, R, G, B and X carry "s" or "p"

int ParameterRow(int index) {
    return std::clamp(index, 0, SweepParameterCount - 1);
}

Device::PrefixScaled Scaled(int index, float value) {
    return Device::ScaleToPrefix(value, Device::StartingPrefix[index], LastScaledPrefix);
}

} // namespace

bool PointOverloaded(const SweepVariables &store, int i) {
    return !PointMeasured(store, i) || !std::isfinite(store.SweepMagnitudes[i]) ||
           !std::isfinite(store.SweepPhases[i]) ||
           ShowsOverload(Device::ParZ, store.SweepSamples[Device::ParZ][i]);
}

bool ShowsOverload(int index, float value) {
    return std::fabs(Scaled(ParameterRow(index), value).value) > 1000.0f;
}

SweepStatistic ComputeSweepStatistic(const float *row, int lastIndex, const int *statuses) {
    SweepStatistic s;
    float sum = 0.0f;
    int counted = 0;
    for (int k = 0; k <= lastIndex; ++k) {
        if (statuses && statuses[k] != 0) continue;
        if (counted == 0) s.minimum = s.maximum = row[k];
        ++counted;
        sum += row[k];
        if (row[k] > s.maximum) s.maximum = row[k];
        if (row[k] < s.minimum) s.minimum = row[k];
    }
    if (counted > 0) s.mean = sum / static_cast<float>(counted);
    return s;
}

float FormatStatistic(int index, float value, bool seriesCircuit, Device::Line &out) {
    index = ParameterRow(index);
    Device::Line number;
    const Device::PrefixScaled scaled = Scaled(index, value);
    const float magnitude = std::fabs(scaled.value);
    if (magnitude > 1000.0f) {
        std::snprintf(number, sizeof number, "OWERLOAD");
    } else {
        char format[sizeof NumberTemplate];
        std::memcpy(format, NumberTemplate, sizeof NumberTemplate);
        format[3] = magnitude < 10.0f ? '6' : magnitude < 100.0f ? '5' : '4';
        std::snprintf(number, sizeof number, format, static_cast<double>(scaled.value));
    }

    Device::ClearLine(out);
    out[0] = Device::ParameterNames[index][0];
    if (index < CircuitLetterCount) out[1] = seriesCircuit ? 's' : 'p';
    std::uint8_t pos = Device::AppendToLine(out, NumberColumn, NumberWidth, number);
    pos = Device::AppendToLine(out, static_cast<std::uint8_t>(pos + 1), 0,
                               Device::UnitPrefixes[scaled.prefix]);
    pos = Device::AppendToLine(out, pos, 0, Device::ParameterUnits[index]);
    out[std::min<int>(pos, Device::LineLength - 1)] = '\0';
    return scaled.factor;
}

void SummariseSweep(int first, int second, bool seriesCircuit, SweepSummary &out) {
    const int rows[2] = {ParameterRow(first), ParameterRow(second)};
    float *plotted[2] = {PlotValues1, PlotValues2};
    const int last = std::clamp(SweepIndex, 0, SweepCapacity - 1);
    const int points = std::clamp(SweepPoints, 0, SweepCapacity);
    for (int s = 0; s < 2; ++s) {
        const float *row = SweepSamples[rows[s]];
        const SweepStatistic statistic = ComputeSweepStatistic(row, last, SweepStatuses);
        out.factor[s] = FormatStatistic(rows[s], statistic.mean, seriesCircuit, out.mean[s]);
        FormatStatistic(rows[s], statistic.minimum, seriesCircuit, out.minimum[s]);
        FormatStatistic(rows[s], statistic.maximum, seriesCircuit, out.maximum[s]);
        for (int k = 0; k < points; ++k)
            plotted[s][k] = row[k] / out.factor[s];
        out.title[s] = Device::ParameterNames[rows[s]][0];
    }
}

double SweepPointX(int k, bool frequencySweep) {
    return frequencySweep ? static_cast<double>(SweepFrequencies[k]) * KilohertzPerHertz : k + 1.0;
}

} // namespace Main
