// A value axis whose ticks and labels are chosen by the program (sweep/axis_ticks), drawn by Qt
// Charts as categories whose labels stand on their values: the labels carry no rounding noise.
#pragma once

#include "sweep/axis_ticks.h"

#include <QCategoryAxis>

#include <vector>

namespace Chart {

QCategoryAxis *NewTickAxis();
// The axis' labels and grid at the ticks given (values as the axis holds them).
void ShowTicks(QCategoryAxis *axis, const std::vector<Sweep::AxisTick> &ticks);
// The axis' linear ticks for its range, about `intervals` of them.
void ShowLinearTicks(QCategoryAxis *axis, int intervals);

} // namespace Chart
