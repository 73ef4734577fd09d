// The sweep chart's axes: round ticks, ranges that follow the points with a margin, the titles
// and the log frequency axis.
#include "ui/chart/sweep_chart_parts.h"

#include "sweep/frequency_ticks.h"

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

// A round tick interval (1, 2 or 5 times a power of ten) giving about `ticks` intervals.
double NiceStep(double span, int ticks) {
    const double raw = span / ticks;
    if (!(raw > 0.0) || !std::isfinite(raw)) return 0.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / decade;
    const double nice = fraction <= 1.0   ? 1.0
                        : fraction <= 2.0 ? 2.0
                        : fraction <= 5.0 ? 5.0
                                          : 10.0;
    return nice * decade;
}

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

// Round tick values where the range allows: a narrow range far from zero falls back to a fixed
// count of ticks, since steps below the values' precision would never advance.
double RoundTickStep(double min, double max, int ticks) {
    const double step = NiceStep(max - min, ticks);
    const double magnitude = std::max(std::fabs(min), std::fabs(max));
    return step > magnitude * 1e-9 ? step : 0.0;
}

void ApplyTickStep(QValueAxis *axis, double step) {
    if (step > 0.0) {
        axis->setTickInterval(step);
        axis->setTickType(QValueAxis::TicksDynamic);
    } else {
        axis->setTickType(QValueAxis::TicksFixed);
    }
}

// Qt lays the ticks out as soon as the range or the step changes, so the two change in the order
// that never puts a fine step on a wide range.
void SetAxisRange(QValueAxis *axis, Range range, int ticks) {
    const double step = RoundTickStep(range.min, range.max, ticks);
    const bool coarser = axis->tickType() == QValueAxis::TicksFixed || step >= axis->tickInterval();
    if (coarser) ApplyTickStep(axis, step);
    axis->setRange(range.min, range.max);
    if (!coarser) ApplyTickStep(axis, step);
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

QString SweepChart::axisTitle(Axis axis) const {
    if (axis == Axis::Bottom) return d->bottom->titleText();
    return d->sideTitle[axis == Axis::Left ? 0 : 1]->text();
}

Range SweepChart::axisRange(Axis axis) const {
    if (axis == Axis::Bottom && d->logAxis)
        return {std::pow(10.0, d->logBottom->min()), std::pow(10.0, d->logBottom->max())};
    const QValueAxis *a = axis == Axis::Bottom ? d->bottom : d->side[axis == Axis::Left ? 0 : 1];
    return {a->min(), a->max()};
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
            SetAxisRange(d->side[s], d->fitted[s], TicksY);
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
        for (double y : d->limit[s]) {
            if (!d->limited[s] || !std::isfinite(y)) continue;
            yLow = std::min(yLow, y);
            yHigh = std::max(yHigh, y);
        }
        d->fitted[s] = Padded(yLow, yHigh, ValuePadding);
        SetAxisRange(d->side[s], d->fitted[s], TicksY);
    }
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
        SetAxisRange(d->bottom, x, TicksX);
}

void SweepChart::setXSpan(double low, double high) {
    d->span = {low, high};
    fitToPoints();
}

bool SweepChart::isZoomed() const {
    return d->zoomed;
}

} // namespace Chart
