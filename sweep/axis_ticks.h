// The ticks of a value axis and their labels: round values 1, 2 or 5 × 10^k apart on a linear
// axis, 1-2-5 of every decade on a log axis, each label written with the same number of decimals
// so that no rounding noise ("-1.387779e-17") reaches the axis.
#pragma once

#include <QString>

#include <vector>

namespace Sweep {

struct AxisTick {
    double value = 0.0;
    QString label;
};

// Round ticks within low..high (both ends included), about `intervals` intervals apart. Each
// value is a whole multiple of the step, zero is "0", thousands are grouped ("1,500") and every
// label has the decimals the step needs. A span too narrow for its values' precision gets
// intervals + 1 evenly spaced ticks with as many digits as tell them apart. No span: none.
std::vector<AxisTick> LinearTicks(double low, double high, int intervals);

// A round step (1, 2 or 5 × 10^k) giving about `intervals` intervals over span; 0 for none.
double RoundStep(double span, int intervals);
// The whole multiples of step within low..high, labelled as LinearTicks labels them; none when
// the step does not advance at the values' precision.
std::vector<AxisTick> TicksAtStep(double low, double high, double step);

// Ticks of a log axis within low..high (both > 0): 1, 2 and 5 of every decade; every whole step
// (1…9) where that gives fewer than three; only the decades where more than `most`.
std::vector<AxisTick> LogTicks(double low, double high, int most);

// value with `decimals` digits after the point, thousands grouped; a zero (also "-0.00") is "0".
// Beyond what plain digits show well (decimals above 9, or |value| from 1e12), "2e-12".
QString TickText(double value, int decimals);

} // namespace Sweep
