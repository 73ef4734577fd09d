// Other sweeps over the sweep chart: a thin line per series in each overlay's colour, behind the
// series and references, and a legend of their names at the top right of the plot.
#include "ui/chart/sweep_chart_parts.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace Chart {

namespace {

QList<QPointF> Finite(const QList<QPointF> &points) {
    QList<QPointF> kept;
    kept.reserve(points.size());
    for (const QPointF &p : points)
        if (std::isfinite(p.x()) && std::isfinite(p.y())) kept.append(p);
    return kept;
}

bool SameOverlay(const Overlay &a, const Overlay &b) {
    if (a.name != b.name || a.colour != b.colour) return false;
    for (int s = 0; s < SweepChart::SeriesCount; ++s)
        if (a.points[s] != b.points[s]) return false;
    return true;
}

} // namespace

// Made before the series, so that Qt Charts draws them first, underneath.
void SweepChart::buildOverlays() {
    for (auto &overlay : d->overlaySeries)
        for (int s = 0; s < SeriesCount; ++s) {
            overlay[s] = addSeries(s, QPen(Qt::white, 1));
            overlay[s]->setVisible(false);
        }
    d->overlayBox = new QGraphicsRectItem(d->chart);
    d->overlayBox->setBrush(QColor(0, 0, 0, 210));
    d->overlayBox->setPen(QPen(DarkGrey));
    d->overlayBox->setVisible(false);
    for (auto &name : d->overlayNames) {
        name = new QGraphicsSimpleTextItem(d->chart);
        name->setFont(font());
        name->setVisible(false);
    }
}

void SweepChart::setOverlays(const QList<Overlay> &overlays) {
    QList<Overlay> kept;
    for (int o = 0; o < overlays.size() && o < OverlayLimit; ++o) {
        Overlay overlay = overlays[o];
        for (auto &points : overlay.points)
            points = Finite(points);
        kept.append(std::move(overlay));
    }
    // A redraw during a run hands the same overlays again: nothing to do then.
    if (kept.size() == d->overlays.size() &&
        std::equal(kept.cbegin(), kept.cend(), d->overlays.cbegin(), SameOverlay))
        return;
    d->overlays = std::move(kept);
    showOverlays();
    fitToPoints();
    layOutOverlayLegend();
    layOutMarkers();
}

QList<Overlay> SweepChart::overlays() const {
    return d->overlays;
}

QString SweepChart::overlayLegend() const {
    QStringList names;
    for (const auto *name : d->overlayNames)
        if (name->isVisible()) names << name->text();
    return names.join(QLatin1Char('\n'));
}

void SweepChart::showOverlays() {
    for (auto &bounds : d->overlayBounds)
        bounds = {};
    for (int o = 0; o < OverlayLimit; ++o) {
        const bool used = o < d->overlays.size();
        for (int s = 0; s < SeriesCount; ++s) {
            QLineSeries *series = d->overlaySeries[o][s];
            if (used) {
                series->setPen(QPen(d->overlays[o].colour, 1));
                const QList<QPointF> shown = shownPoints(d->overlays[o].points[s]);
                series->replace(shown);
                Parts::Bounds &b = d->overlayBounds[s];
                for (const QPointF &p : shown) {
                    if (!b.any) b = {true, p.x(), p.x(), p.y(), p.y()};
                    b.xLow = std::min(b.xLow, p.x());
                    b.xHigh = std::max(b.xHigh, p.x());
                    b.yLow = std::min(b.yLow, p.y());
                    b.yHigh = std::max(b.yHigh, p.y());
                }
            } else if (series->count() > 0) {
                series->clear();
            }
            series->setVisible(used && series->count() > 0);
        }
    }
}

void SweepChart::layOutOverlayLegend() {
    if (!d->overlayBox) return; // still being built
    const QRectF plot = d->chart->plotArea();
    double width = 0.0, height = 0.0;
    for (int o = 0; o < OverlayLimit; ++o) {
        QGraphicsSimpleTextItem *name = d->overlayNames[o];
        const bool used = o < d->overlays.size();
        name->setVisible(used);
        if (!used) continue;
        // One that has no place on this graph (another sweep's axis) is named in grey.
        const Overlay &overlay = d->overlays[o];
        const bool drawn = std::any_of(std::begin(overlay.points), std::end(overlay.points),
                                       [](const QList<QPointF> &p) { return !p.isEmpty(); });
        name->setText(QStringLiteral("— ") + overlay.name);
        name->setBrush(drawn ? overlay.colour : Silver.darker(160));
        width = std::max(width, name->boundingRect().width());
        height += name->boundingRect().height();
    }
    d->overlayBox->setVisible(!d->overlays.isEmpty());
    if (d->overlays.isEmpty()) return;
    const QPointF at(plot.right() - 8.0 - width, plot.top() + 18.0);
    double y = at.y();
    for (int o = 0; o < d->overlays.size(); ++o) {
        d->overlayNames[o]->setPos(at.x(), y);
        y += d->overlayNames[o]->boundingRect().height();
    }
    d->overlayBox->setRect(QRectF(at, QSizeF(width, height)).adjusted(-4.0, -3.0, 4.0, 3.0));
}

} // namespace Chart
