// Minimum, mean and maximum of the points taken so far, their labelled texts, and the values
// the graph plots.
#pragma once

#include "link/display_lines.h"
#include "sweep/sweep_store.h"

namespace Main {

struct SweepStatistic {
    float minimum = 0.0f;
    float mean = 0.0f;
    float maximum = 0.0f;
};

// Over row[0..lastIndex], lastIndex included; the sum is kept in single precision. With statuses,
// the points whose status is not 0 are left out (all zero when none is left).
SweepStatistic ComputeSweepStatistic(const float *row, int lastIndex,
                                     const int *statuses = nullptr);

// The labelled text of one statistic of parameter index (0..10): first letter of the name, the
// circuit letter for C to X, seven significant digits from position 3, the prefix of its own
// scale and the unit. Returns the factor the value was divided by (a power of 1000).
float FormatStatistic(int index, float value, bool seriesCircuit, Device::Line &out);

// Whether the text of value (parameter index 0..10) reads "OWERLOAD": beyond what the largest
// prefix can show.
bool ShowsOverload(int index, float value);

// Point i of a store holds no impedance a program may use: it is no measurement at its planned
// conditions (its status), its raw |Z| or angle is not finite, or its |Z| is shown as an overload.
// The fit of every front end and SCPI's table take this one rule.
bool PointOverloaded(const SweepVariables &store, int i);

// What a redraw shows: the six statistics texts and the first letters that title the axes.
struct SweepSummary {
    Device::Line minimum[2];
    Device::Line mean[2];
    Device::Line maximum[2];
    float factor[2] = {1.0f, 1.0f}; // of the means, by which the plotted values are divided
    char title[2] = {};
};

// Statistics of parameters first and second over points 0..SweepIndex, and PlotValues1/2 over
// all SweepPoints points in the unit of each mean.
void SummariseSweep(int first, int second, bool seriesCircuit, SweepSummary &out);

// The x of point k: its frequency in kHz in a frequency sweep, else its number from 1.
double SweepPointX(int k, bool frequencySweep);

} // namespace Main
