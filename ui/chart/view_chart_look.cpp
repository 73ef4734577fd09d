#include "ui/chart/view_chart_look.h"

#include "ui/chart/sweep_chart_parts.h"

#include <QGraphicsLayout>
#include <QLegend>

#include <algorithm>
#include <cmath>

namespace Chart {

QChart *NewViewChart() {
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundBrush(Qt::black);
    chart->setBackgroundPen(Qt::NoPen);
    chart->setBackgroundRoundness(0);
    chart->setPlotAreaBackgroundBrush(Qt::black);
    chart->setPlotAreaBackgroundPen(QPen(DarkGrey));
    chart->setPlotAreaBackgroundVisible(true);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->legend()->setLabelColor(Silver);
    chart->legend()->setVisible(true);
    return chart;
}

void StyleAxis(QAbstractAxis *axis, const QString &title, const QFont &font) {
    axis->setLinePen(QPen(Silver));
    axis->setLabelsBrush(Silver);
    axis->setLabelsFont(font);
    axis->setGridLinePen(QPen(DarkGrey, 1, Qt::DotLine));
    axis->setTitleText(title);
    axis->setTitleBrush(Silver);
    axis->setTitleFont(font);
}

QLineSeries *AddCurve(QChart *chart, const Curve &curve, QAbstractAxis *x, QAbstractAxis *y,
                      qreal width, Qt::PenStyle style) {
    auto *series = new QLineSeries;
    series->setName(curve.name);
    series->setPen(QPen(curve.colour, width, style));
    series->replace(curve.points);
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

std::optional<Span> SpanOf(const QList<Curve> &curves, bool positiveX, bool positiveY) {
    std::optional<Span> span;
    for (const Curve &curve : curves)
        for (const QPointF &p : curve.points) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) continue;
            if ((positiveX && p.x() <= 0.0) || (positiveY && p.y() <= 0.0)) continue;
            if (!span) {
                span = Span{{p.x(), p.x()}, {p.y(), p.y()}};
                continue;
            }
            span->x = {std::min(span->x.min, p.x()), std::max(span->x.max, p.x())};
            span->y = {std::min(span->y.min, p.y()), std::max(span->y.max, p.y())};
        }
    return span;
}

Range LogPadded(Range range) {
    if (!(range.max > range.min)) return {range.min / std::sqrt(10.0), range.max * std::sqrt(10.0)};
    const double factor = std::pow(range.max / range.min, 0.03);
    return {range.min / factor, range.max * factor};
}

} // namespace Chart
