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
    for (auto &name : d->traceNames) {
        name = new QGraphicsSimpleTextItem(d->chart);
        name->setFont(font());
        name->setVisible(false);
    }
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

QString SweepChart::traceLegend() const {
    QStringList names;
    for (const auto *name : d->traceNames)
        if (name->isVisible()) names << name->text();
    const QString overlaid = overlayLegend();
    if (!overlaid.isEmpty()) names << overlaid;
    return names.join(QLatin1Char('\n'));
}

QList<int> SweepChart::tracesDrawn() const {
    const auto drawn = [this](QLineSeries *const(&curves)[SeriesCount]) {
        for (int s = 0; s < SeriesCount; ++s)
            if (curves[s]->isVisible() && curves[s]->count() > 0) return true;
        return false;
    };
    QList<int> traces;
    if (drawn(d->series)) traces << 0;
    if (drawn(d->reference)) traces << 1;
    if (drawn(d->fitCurve)) traces << 2;
    return traces;
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
                const QList<QPointF> shown = shownPoints(d->overlays[o].points[s], s);
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

// One legend at the plot's top right: the run (in the colour of its first curve drawn), its
// reference, the fitted curve and the overlays, once two or more of them are drawn.
void SweepChart::layOutOverlayLegend() {
    if (!d->overlayBox) return; // still being built
    const QRectF plot = d->chart->plotArea();
    const QList<int> traces = tracesDrawn();
    const bool shown = traces.size() + d->overlays.size() >= 2;
    QList<QGraphicsSimpleTextItem *> lines;
    static const char *const traceText[] = {"— Измерение", "— Опорная", "- - Подбор"};
    const int first = d->series[0]->isVisible() && d->series[0]->count() > 0 ? 0 : 1;
    // The reference's line is the series' colour dimmed; its name is darker, yet readable.
    const QColor traceColour[] = {SeriesColour[first], SeriesColour[first].darker(150),
                                  QColor(255, 255, 255, 190)};
    for (int t = 0; t < 3; ++t) {
        QGraphicsSimpleTextItem *name = d->traceNames[t];
        const bool used = shown && traces.contains(t);
        name->setVisible(used);
        if (!used) continue;
        name->setText(QString::fromUtf8(traceText[t]));
        name->setBrush(traceColour[t]);
        lines << name;
    }
    for (int o = 0; o < OverlayLimit; ++o) {
        QGraphicsSimpleTextItem *name = d->overlayNames[o];
        const bool used = shown && o < d->overlays.size();
        name->setVisible(used);
        if (!used) continue;
        // One that has no place on this graph (another sweep's axis) is named in grey.
        const Overlay &overlay = d->overlays[o];
        const bool drawn = std::any_of(std::begin(overlay.points), std::end(overlay.points),
                                       [](const QList<QPointF> &p) { return !p.isEmpty(); });
        name->setText(QStringLiteral("— ") + overlay.name);
        name->setBrush(drawn ? overlay.colour : Silver.darker(160));
        lines << name;
    }
    d->overlayBox->setVisible(shown);
    if (!shown) return;
    double width = 0.0, height = 0.0;
    for (const QGraphicsSimpleTextItem *name : lines) {
        width = std::max(width, name->boundingRect().width());
        height += name->boundingRect().height();
    }
    const QPointF at(plot.right() - 8.0 - width, plot.top() + 18.0);
    double y = at.y();
    for (QGraphicsSimpleTextItem *name : lines) {
        name->setPos(at.x(), y);
        y += name->boundingRect().height();
    }
    d->overlayBox->setRect(QRectF(at, QSizeF(width, height)).adjusted(-4.0, -3.0, 4.0, 3.0));
}

} // namespace Chart
