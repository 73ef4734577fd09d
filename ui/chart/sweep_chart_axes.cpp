// The sweep chart's axes: round ticks, ranges that follow the points with a margin, the titles
// and the log frequency axis.
#include "ui/chart/sweep_chart_parts.h"

#include "sweep/frequency_ticks.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

// The range of values widened by a share of its span; a single value gets a band around it,
// so a flat line never has zero height.
Range Padded(double low, double high, double share) {
    const double span = high - low;
    if (!(span > 0.0)) {
        double half = std::fabs(low) * 0.1;
        if (!(half > 0.0) || !std::isfinite(half)) half = 1.0;
        return {low - half, high + half};
    }
    return {low - span * share, high + span * share};
}

} // namespace

// A log value axis shows 1-2-5 of each decade where its labels fit between the ticks, else
// the decades alone.
void SweepChart::updateValueTicks(int series) {
    QCategoryAxis *axis = d->side[series];
    if (!d->logValue[series]) {
        ShowLinearTicks(axis, TicksY);
        return;
    }
    const double height = d->chart->plotArea().height();
    const double low = std::pow(10.0, axis->min()), high = std::pow(10.0, axis->max());
    std::vector<Sweep::AxisTick> ticks =
        Sweep::LogTicks(low, high, std::max(2, static_cast<int>(height) / LogValueRoom));
    const QFontMetrics metrics(axis->labelsFont());
    const double pixelsPerDecade = height / std::max(axis->max() - axis->min(), 1e-9);
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const double room = std::log10(ticks[i].value / ticks[i - 1].value) * pixelsPerDecade;
        const int widest = std::max(metrics.horizontalAdvance(ticks[i].label),
                                    metrics.horizontalAdvance(ticks[i - 1].label));
        if (widest + LogLabelGap > room) {
            ticks = Sweep::LogTicks(low, high, 1);
            break;
        }
    }
    for (Sweep::AxisTick &tick : ticks)
        tick.value = std::log10(tick.value);
    ShowTicks(axis, ticks);
}

void SweepChart::setValueLog(int series, bool on) {
    if (series < 0 || series >= SeriesCount || d->logValue[series] == on) return;
    d->logValue[series] = on;
    d->zoomed = false;
    showPoints(series);
    showOverlays();
    fitToPoints();
    updateValueTicks(series);
    layOutMarkers();
}

bool SweepChart::isValueLog(int series) const {
    return series >= 0 && series < SeriesCount && d->logValue[series];
}

QStringList SweepChart::valueLabels(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    return d->side[series]->categoriesLabels();
}

bool SweepChart::isGridShown(int series) const {
    return series >= 0 && series < SeriesCount && d->side[series]->isGridLineVisible();
}

// Two value axes with grids of their own would draw two grids at different heights: only the
// left one is drawn, or the right one when the left has no points.
void SweepChart::showGrid() {
    const bool right = (!d->series[0]->isVisible() || d->series[0]->count() == 0) &&
                       d->series[1]->isVisible() && d->series[1]->count() > 0;
    d->side[0]->setGridLineVisible(!right);
    d->side[1]->setGridLineVisible(right);
}

void SweepChart::setAxisTitle(Axis axis, const QString &title) {
    if (axis == Axis::Bottom) {
        d->bottom->setTitleText(title);
        d->logBottom->setTitleText(title);
        return;
    }
    QGraphicsSimpleTextItem *item = d->sideTitle[axis == Axis::Left ? 0 : 1];
    if (item->text() == title) return;
    item->setText(title);
    updateMargins();
    layOutTitles();
}

void SweepChart::setAxisUnit(Axis axis, const QString &unit) {
    if (axis == Axis::Bottom) return;
    QGraphicsSimpleTextItem *item = d->sideUnit[axis == Axis::Left ? 0 : 1];
    if (item->text() == unit) return;
    item->setText(unit);
    updateMargins();
    layOutTitles();
}

QString SweepChart::axisUnit(Axis axis) const {
    if (axis == Axis::Bottom) return {};
    return d->sideUnit[axis == Axis::Left ? 0 : 1]->text();
}

QString SweepChart::axisTitle(Axis axis) const {
    if (axis == Axis::Bottom) return d->bottom->titleText();
    return d->sideTitle[axis == Axis::Left ? 0 : 1]->text();
}

Range SweepChart::axisRange(Axis axis) const {
    if (axis == Axis::Bottom && d->logAxis)
        return {std::pow(10.0, d->logBottom->min()), std::pow(10.0, d->logBottom->max())};
    if (axis == Axis::Bottom) return {d->bottom->min(), d->bottom->max()};
    const int s = axis == Axis::Left ? 0 : 1;
    const QValueAxis *a = d->side[s];
    return {givenY(a->min(), s), givenY(a->max(), s)};
}

void SweepChart::setLogAxis(bool on, double hzPerUnit) {
    if (!(hzPerUnit > 0.0)) hzPerUnit = 1.0;
    if (on == d->logAxis && hzPerUnit == d->hzPerUnit) return;
    d->hzPerUnit = hzPerUnit;
    if (on != d->logAxis) {
        QValueAxis *from = d->shownBottom();
        d->logAxis = on;
        QValueAxis *to = d->shownBottom();
        for (int s = 0; s < SeriesCount; ++s) {
            for (QLineSeries *series : {d->reference[s], d->series[s], d->fitCurve[s]}) {
                series->detachAxis(from);
                series->attachAxis(to);
            }
            for (auto &overlay : d->overlaySeries) {
                overlay[s]->detachAxis(from);
                overlay[s]->attachAxis(to);
            }
        }
        from->setVisible(false);
        to->setVisible(true);
        d->zoomed = false;
    }
    for (int s = 0; s < SeriesCount; ++s)
        showPoints(s);
    showOverlays();
    fitToPoints();
    updateLogTicks();
    layOutMarkers();
    layOutBreaks();
}

bool SweepChart::isLogAxis() const {
    return d->logAxis;
}

QStringList SweepChart::bottomLabels() const {
    return d->logAxis ? d->logBottom->categoriesLabels() : QStringList();
}

// The 1-2-5 ticks of the shown span, as categories whose labels stand on their values.
void SweepChart::updateLogTicks() {
    QCategoryAxis *axis = d->logBottom;
    const QStringList old = axis->categoriesLabels();
    for (const QString &label : old)
        axis->remove(label);
    if (!d->logAxis) return;
    const double low = std::pow(10.0, axis->min()) * d->hzPerUnit;
    const double high = std::pow(10.0, axis->max()) * d->hzPerUnit;
    axis->setStartValue(axis->min());
    // Room for a label such as "200 kHz" between two ticks, else the decades alone.
    const int most = std::max(2, static_cast<int>(d->chart->plotArea().width()) / LogLabelRoom);
    for (const Sweep::FrequencyTick &tick : Sweep::LogFrequencyTicks(low, high, most))
        axis->append(tick.label, std::log10(tick.hz / d->hzPerUnit));
}

void SweepChart::fitToPoints() {
    if (d->zoomed) return;
    double xLow = 0.0, xHigh = 0.0;
    bool anyX = false;
    for (int s = 0; s < SeriesCount; ++s) {
        const QLineSeries *series = d->series[s];
        const QList<QPointF> points = series->points() + d->reference[s]->points();
        const Parts::Bounds &overlaid = d->overlayBounds[s];
        if (!series->isVisible() || (points.isEmpty() && !overlaid.any)) {
            d->side[s]->setRange(d->fitted[s].min, d->fitted[s].max);
            continue;
        }
        double yLow = points.isEmpty() ? overlaid.yLow : points.first().y(), yHigh = yLow;
        if (overlaid.any) {
            yLow = std::min(yLow, overlaid.yLow);
            yHigh = std::max(yHigh, overlaid.yHigh);
            xLow = anyX ? std::min(xLow, overlaid.xLow) : overlaid.xLow;
            xHigh = anyX ? std::max(xHigh, overlaid.xHigh) : overlaid.xHigh;
            anyX = true;
        }
        for (const QPointF &p : points) {
            yLow = std::min(yLow, p.y());
            yHigh = std::max(yHigh, p.y());
            if (!anyX) {
                xLow = xHigh = p.x();
                anyX = true;
            }
            xLow = std::min(xLow, p.x());
            xHigh = std::max(xHigh, p.x());
        }
        // Sorting limits stay in sight, so that the points are seen against them.
        for (double limit : d->limit[s]) {
            const double y = shownY(limit, s);
            if (!d->limited[s] || !std::isfinite(y)) continue;
            yLow = std::min(yLow, y);
            yHigh = std::max(yHigh, y);
        }
        d->fitted[s] = Padded(yLow, yHigh, ValuePadding);
        d->side[s]->setRange(d->fitted[s].min, d->fitted[s].max);
    }
    showGrid();
    for (double end : {d->span.min, d->span.max}) {
        const double x =
            std::isfinite(end) && (!d->logAxis || end > 0.0) ? shownX(end) : std::nan("");
        if (!std::isfinite(x)) continue;
        xLow = anyX ? std::min(xLow, x) : x;
        xHigh = anyX ? std::max(xHigh, x) : x;
        anyX = true;
    }
    if (!anyX) return;
    const Range x = Padded(xLow, xHigh, XPadding);
    if (d->logAxis)
        d->logBottom->setRange(x.min, x.max);
    else
        d->bottom->setRange(x.min, x.max);
}

void SweepChart::setXSpan(double low, double high) {
    d->span = {low, high};
    fitToPoints();
}

bool SweepChart::isZoomed() const {
    return d->zoomed;
}

} // namespace Chart
