// What the Nyquist and Bode views share: the black look of the sweep chart, their axes' style, a
// legend, their curves as line series and the span of a set of curves. Private to the target.
#pragma once

#include "ui/chart/curve.h"
#include "ui/chart/sweep_chart.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include <optional>

namespace Chart {

// A chart with the sweep chart's black ground, no animation and a legend at the top.
QChart *NewViewChart();
// The axes' look: silver line, labels and title, dotted dark grid.
void StyleAxis(QAbstractAxis *axis, const QString &title, const QFont &font);
// A line series of the curve, added to the chart on both axes; pen width given.
QLineSeries *AddCurve(QChart *chart, const Curve &curve, QAbstractAxis *x, QAbstractAxis *y,
                      qreal width, Qt::PenStyle style = Qt::SolidLine);

struct Span {
    Range x;
    Range y;
};
// The span of the finite points of all curves, positive ones only where asked (log axes).
std::optional<Span> SpanOf(const QList<Curve> &curves, bool positiveX, bool positiveY);

// [min, max] widened by a factor at each end for a log axis (a single value: one decade around).
Range LogPadded(Range range);

} // namespace Chart
