// The sweep chart's curves: each series with its held reference behind it and its fitted curve
// over it, as given and as the axes hold them.
#include "ui/chart/sweep_chart_parts.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace Chart {

namespace {

QList<QPointF> FinitePoints(const QList<QPointF> &points) {
    const auto finite = [](const QPointF &p) {
        return std::isfinite(p.x()) && std::isfinite(p.y());
    };
    if (std::all_of(points.cbegin(), points.cend(), finite)) return points;
    QList<QPointF> kept;
    kept.reserve(points.size());
    std::copy_if(points.cbegin(), points.cend(), std::back_inserter(kept), finite);
    return kept;
}

} // namespace

void SweepChart::setSeriesColor(int series, const QColor &color) {
    if (series < 0 || series >= SeriesCount) return;
    QPen pen(color);
    pen.setWidth(1);
    d->series[series]->setPen(pen);
}

void SweepChart::clearSeries(int series) {
    replacePoints(series, {});
}

double SweepChart::shownX(double x) const {
    return d->logAxis ? std::log10(x) : x;
}

double SweepChart::shownY(double y, int series) const {
    if (!d->logValue[series]) return y;
    return y > 0.0 ? std::log10(y) : std::nan("");
}

double SweepChart::givenY(double y, int series) const {
    return d->logValue[series] ? std::pow(10.0, y) : y;
}

// What the axes hold of the given points: on a log axis the logarithm of x, on a log value axis
// that of y; points with no place there are left out.
QList<QPointF> SweepChart::shownPoints(const QList<QPointF> &given, int series) const {
    const bool logY = d->logValue[series];
    if (!d->logAxis && !logY) return given;
    QList<QPointF> out;
    out.reserve(given.size());
    for (const QPointF &p : given)
        if ((!d->logAxis || p.x() > 0.0) && (!logY || p.y() > 0.0))
            out.append(
                QPointF(d->logAxis ? std::log10(p.x()) : p.x(), logY ? std::log10(p.y()) : p.y()));
    return out;
}

void SweepChart::showPoints(int series) {
    d->series[series]->replace(shownPoints(d->raw[series], series));
    d->reference[series]->replace(shownPoints(d->referenceRaw[series], series));
    d->fitCurve[series]->replace(shownPoints(d->fitCurveRaw[series], series));
    showLimits(series);
    layOutOverlayLegend();
}

void SweepChart::replacePoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    const bool had = !d->raw[series].isEmpty();
    d->raw[series] = FinitePoints(points);
    d->series[series]->replace(shownPoints(d->raw[series], series));
    showLimits(series);
    fitToPoints();
    layOutMarkers();
    if (had != !d->raw[series].isEmpty()) layOutOverlayLegend();
}

void SweepChart::setReferencePoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    QList<QPointF> kept = FinitePoints(points);
    if (kept == d->referenceRaw[series]) return; // a redraw hands the same reference again
    d->referenceRaw[series] = std::move(kept);
    d->reference[series]->replace(shownPoints(d->referenceRaw[series], series));
    fitToPoints();
    layOutOverlayLegend();
}

void SweepChart::setFittedPoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    QList<QPointF> kept = FinitePoints(points);
    if (kept == d->fitCurveRaw[series]) return;
    d->fitCurveRaw[series] = std::move(kept);
    d->fitCurve[series]->replace(shownPoints(d->fitCurveRaw[series], series));
    layOutOverlayLegend();
}

QList<QPointF> SweepChart::fittedPoints(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    return d->fitCurveRaw[series];
}

void SweepChart::setSeriesActive(int series, bool active) {
    if (series < 0 || series >= SeriesCount) return;
    if (d->series[series]->isVisible() == active) return;
    d->series[series]->setVisible(active);
    d->reference[series]->setVisible(active);
    d->fitCurve[series]->setVisible(active);
    showLimits(series);
    fitToPoints();
    layOutMarkers();
    layOutOverlayLegend();
}

bool SweepChart::isSeriesActive(int series) const {
    return series >= 0 && series < SeriesCount && d->series[series]->isVisible();
}

QList<QPointF> SweepChart::drawnPoints(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    QList<QPointF> drawn = d->series[series]->points();
    for (QPointF &p : drawn)
        p = QPointF(d->logAxis ? std::pow(10.0, p.x()) : p.x(), givenY(p.y(), series));
    return drawn;
}

QList<QPointF> SweepChart::points(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    return d->raw[series];
}

} // namespace Chart
