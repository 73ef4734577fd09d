// The sweep chart's sorting limits: a dashed line across a series' points at each side of the
// limits, and the points outside them drawn red over the line.
#include "ui/chart/sweep_chart_parts.h"

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

const QColor LimitColour(255, 60, 60);

bool Outside(double y, const double limit[2]) {
    return (std::isfinite(limit[0]) && y < limit[0]) || (std::isfinite(limit[1]) && y > limit[1]);
}

} // namespace

void SweepChart::buildLimits() {
    for (int s = 0; s < SeriesCount; ++s) {
        for (QLineSeries *&line : d->limitLine[s]) {
            line = addSeries(s, QPen(LimitColour, 2, Qt::DashLine));
            line->setVisible(false);
        }
        d->outside[s] = new QScatterSeries;
        d->outside[s]->setMarkerSize(6.0);
        d->outside[s]->setColor(LimitColour);
        d->outside[s]->setBorderColor(LimitColour);
        d->chart->addSeries(d->outside[s]);
        d->outside[s]->attachAxis(d->bottom);
        d->outside[s]->attachAxis(d->side[s]);
        d->outside[s]->setVisible(false);
    }
}

void SweepChart::setLimits(int series, double low, double high) {
    if (series < 0 || series >= SeriesCount) return;
    d->limit[series][0] = low;
    d->limit[series][1] = high;
    d->limited[series] = std::isfinite(low) || std::isfinite(high);
    showLimits(series);
    fitToPoints();
}

void SweepChart::clearLimits(int series) {
    setLimits(series, std::nan(""), std::nan(""));
}

QList<double> SweepChart::limits(int series) const {
    QList<double> sides;
    if (series < 0 || series >= SeriesCount || !d->limited[series]) return sides;
    for (double y : d->limit[series])
        if (std::isfinite(y)) sides.append(y);
    return sides;
}

QList<QPointF> SweepChart::outsidePoints(int series) const {
    QList<QPointF> out;
    if (series < 0 || series >= SeriesCount || !d->limited[series]) return out;
    for (const QPointF &p : d->raw[series])
        if (Outside(p.y(), d->limit[series])) out.append(p);
    return out;
}

// Each line spans the series' points; nothing is shown without points or for a series off.
void SweepChart::showLimits(int series) {
    const QList<QPointF> shown = shownPoints(d->raw[series], series);
    const bool on = d->limited[series] && !shown.isEmpty() && d->series[series]->isVisible();
    double left = 0.0;
    double right = 0.0;
    if (on) {
        const auto [first, last] =
            std::minmax_element(shown.cbegin(), shown.cend(),
                                [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
        left = first->x();
        right = last->x();
    }
    for (int side = 0; side < 2; ++side) {
        QLineSeries *line = d->limitLine[series][side];
        const double y = shownY(d->limit[series][side], series);
        const bool drawn = on && std::isfinite(y);
        line->replace(drawn ? QList<QPointF>{{left, y}, {right, y}} : QList<QPointF>());
        line->setVisible(drawn);
    }
    d->outside[series]->replace(on ? shownPoints(outsidePoints(series), series) : QList<QPointF>());
    d->outside[series]->setVisible(on);
}

} // namespace Chart
