// Axis ranges with one scale on both axes, so that a circle in the data is drawn as a circle
// (the Nyquist view). Plain arithmetic, no widgets.
#pragma once

#include "ui/chart/sweep_chart.h"

#include <QSizeF>

#include <utility>

namespace Chart {

// The x and y ranges that hold the points' span (xs, ys) with a margin (a share of the larger
// span on each side), centred, with as many data units per pixel on both axes of a plot of the
// given size. A span of zero on both axes gets a band of ±1 around it; an empty plot size gives
// a square.
std::pair<Range, Range> EqualScaleRanges(Range xs, Range ys, QSizeF plot, double margin = 0.05);

} // namespace Chart
