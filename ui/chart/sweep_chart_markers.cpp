// The sweep chart's markers: up to four x places, the value of each shown curve there, their
// lines, dots and numbers in the plot and the legend of their texts.
#include "ui/chart/sweep_chart_parts.h"

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

// y of a curve at x: the value of a point at x (the first), else along the line between the two
// points around x, else nothing.
bool CurveAt(const QList<QPointF> &curve, double x, double &y) {
    for (const QPointF &p : curve) {
        if (p.x() == x) {
            y = p.y();
            return true;
        }
    }
    for (int i = 1; i < curve.size(); ++i) {
        const QPointF a = curve[i - 1], b = curve[i];
        if ((a.x() < x && x < b.x()) || (b.x() < x && x < a.x())) {
            y = a.y() + (x - a.x()) / (b.x() - a.x()) * (b.y() - a.y());
            return true;
        }
    }
    return false;
}

} // namespace

QString DefaultMarkerText(const MarkerSpot &spot, const MarkerSpot *first) {
    QString text = QString::number(first ? spot.x - first->x : spot.x, 'g', 6);
    for (int s = 0; s < SweepChart::SeriesCount; ++s) {
        if (!spot.has[s]) continue;
        const bool difference = first && first->has[s];
        text += QStringLiteral("  ") +
                QString::number(difference ? spot.y[s] - first->y[s] : spot.y[s], 'g', 6);
    }
    return text;
}

bool SweepChart::addMarker(double x) {
    if (d->markers.size() >= MarkerLimit || !std::isfinite(x)) return false;
    d->markers.append(x);
    layOutMarkers();
    return true;
}

void SweepChart::clearMarkers() {
    d->markers.clear();
    layOutMarkers();
}

QList<double> SweepChart::markers() const {
    return d->markers;
}

void SweepChart::moveMarker(int marker, double x) {
    if (marker < 0 || marker >= d->markers.size() || d->markers[marker] == x) return;
    d->markers[marker] = x;
    layOutMarkers();
}

void SweepChart::removeMarker(int marker) {
    if (marker < 0 || marker >= d->markers.size()) return;
    d->markers.removeAt(marker);
    layOutMarkers();
}

void SweepChart::setMarkerText(MarkerText text) {
    d->markerText = text ? std::move(text) : MarkerText(DefaultMarkerText);
    layOutMarkers();
}

QList<MarkerSpot> SweepChart::markerSpots() const {
    QList<MarkerSpot> spots;
    for (double x : d->markers) {
        MarkerSpot spot;
        spot.x = x;
        for (int s = 0; s < SeriesCount; ++s)
            spot.has[s] = d->series[s]->isVisible() && CurveAt(d->raw[s], x, spot.y[s]);
        spots.append(spot);
    }
    return spots;
}

QString SweepChart::markerLegend() const {
    const QList<MarkerSpot> spots = markerSpots();
    QStringList lines;
    for (int i = 0; i < spots.size(); ++i)
        lines << QStringLiteral("%1: %2").arg(i + 1).arg(
            d->markerText(spots[i], i == 0 ? nullptr : &spots[0]));
    return lines.join(QLatin1Char('\n'));
}

void SweepChart::layOutMarkers() {
    if (!d->legend) return; // still being built
    const QRectF plot = d->chart->plotArea();
    const QList<MarkerSpot> spots = markerSpots();
    for (int i = 0; i < MarkerLimit; ++i) {
        Parts::MarkerItems &items = d->markerItems[i];
        double px = 0.0;
        bool shown = i < spots.size() && !(d->logAxis && spots[i].x <= 0.0);
        if (shown) {
            px = d->chart->mapToPosition(QPointF(shownX(spots[i].x), 0.0), d->series[0]).x();
            shown = px >= plot.left() - 0.5 && px <= plot.right() + 0.5;
        }
        items.line->setVisible(shown);
        items.number->setVisible(shown);
        for (int s = 0; s < SeriesCount; ++s) {
            const double y = shown && spots[i].has[s] ? shownY(spots[i].y[s], s) : std::nan("");
            const bool dot = std::isfinite(y);
            items.dot[s]->setVisible(dot);
            if (dot)
                items.dot[s]->setPos(
                    d->chart->mapToPosition(QPointF(shownX(spots[i].x), y), d->series[s]));
        }
        if (!shown) continue;
        items.line->setLine(px, plot.top(), px, plot.bottom());
        items.number->setText(QString::number(i + 1));
        const double right = plot.right() - items.number->boundingRect().width() - 2.0;
        items.number->setPos(std::min(px + 2.0, right), plot.top() + 2.0);
    }
    const bool legend = !spots.isEmpty();
    d->legend->setVisible(legend);
    d->legendBox->setVisible(legend);
    if (!legend) return;
    d->legend->setText(markerLegend());
    const QRectF text = d->legend->boundingRect();
    const QPointF at = plot.topLeft() + QPointF(8.0, 18.0);
    d->legend->setPos(at);
    d->legendBox->setRect(QRectF(at, text.size()).adjusted(-4.0, -3.0, 4.0, 3.0));
}

int SweepChart::markerAt(const QPoint &pos) const {
    const QPointF chartPos = d->chart->mapFromScene(d->view->mapToScene(pos));
    const QRectF plot = d->chart->plotArea();
    if (chartPos.y() < plot.top() || chartPos.y() > plot.bottom()) return -1;
    int best = -1;
    double distance = MarkerReach + 0.5;
    for (int i = 0; i < d->markers.size(); ++i) {
        if (!d->markerItems[i].line->isVisible()) continue;
        const double gap = std::fabs(d->markerItems[i].line->line().x1() - chartPos.x());
        if (gap < distance) {
            best = i;
            distance = gap;
        }
    }
    return best;
}

} // namespace Chart
