// The mouse on the sweep chart: a dragged rectangle zooms, a double click fits again, a click
// places a marker and a drag moves it, hovering names the nearest point and a break of the line.
// The right button is left to the owner.
#include "ui/chart/sweep_chart_parts.h"

#include "sweep/sweep_reading.h"

#include <QApplication>
#include <QMouseEvent>
#include <QToolTip>

#include <cmath>
#include <vector>

namespace Chart {

// A click places a marker and a double click fits the axes, so the marker that a double click's
// first click placed is taken back; a double click on a marker that was there before removes it
// instead.
SweepChart::View::View(QChart *chart, SweepChart *owner)
    : QChartView(chart, owner), m_owner(owner) {
    setRubberBand(QChartView::RectangleRubberBand);
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(Qt::black);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

void SweepChart::View::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mousePressEvent(event); // the right button belongs to the owner
        return;
    }
    const QPoint pos = event->position().toPoint();
    // Only the second press of a double click keeps the marker its first click placed.
    if (m_placed >= 0 && (m_sincePlaced.elapsed() > QApplication::doubleClickInterval() ||
                          (pos - m_placedAt).manhattanLength() > MarkerReach))
        m_placed = -1;
    m_pressedAt = pos;
    m_afterDouble = false;
    m_dragged = m_owner->markerAt(pos);
    if (m_dragged >= 0) {
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void SweepChart::View::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mouseReleaseEvent(event);
        return;
    }
    const bool afterDouble = m_afterDouble;
    m_afterDouble = false;
    if (m_dragged >= 0) {
        m_dragged = -1;
        event->accept();
        return;
    }
    const Range x = m_owner->axisRange(Axis::Bottom);
    const Range y = m_owner->axisRange(Axis::Left);
    QChartView::mouseReleaseEvent(event);
    const Range nx = m_owner->axisRange(Axis::Bottom);
    const Range ny = m_owner->axisRange(Axis::Left);
    if (nx.min != x.min || nx.max != x.max || ny.min != y.min || ny.max != y.max) {
        m_owner->d->zoomed = true;
        return;
    }
    const QPoint moved = event->position().toPoint() - m_pressedAt;
    if (afterDouble || m_placed >= 0 ||
        moved.manhattanLength() >= QApplication::startDragDistance())
        return; // a double click's second click, or a drag
    const double at = m_owner->nearestPointX(event->position().toPoint());
    if (std::isfinite(at) && m_owner->addMarker(at)) {
        m_placed = m_owner->d->markers.size() - 1;
        m_placedAt = event->position().toPoint();
        m_sincePlaced.start();
    }
}

void SweepChart::View::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        QGraphicsView::mouseDoubleClickEvent(event);
        return;
    }
    m_afterDouble = true;
    m_dragged = -1;
    event->accept();
    if (m_placed >= 0) { // placed by this double click's first click
        m_owner->removeMarker(m_placed);
        m_placed = -1;
    } else {
        const int marker = m_owner->markerAt(event->position().toPoint());
        if (marker >= 0) {
            m_owner->removeMarker(marker);
            return;
        }
    }
    m_owner->d->zoomed = false;
    m_owner->fitToPoints();
}

void SweepChart::View::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragged >= 0 && (event->buttons() & Qt::LeftButton)) {
        const double at = m_owner->nearestPointX(event->position().toPoint());
        if (std::isfinite(at)) m_owner->moveMarker(m_dragged, at);
        event->accept();
        return;
    }
    QChartView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton) return;
    const QString text = m_owner->toolTipAt(event->position().toPoint());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
}

double SweepChart::nearestPointX(const QPoint &pos) const {
    const QPointF chartPos = d->chart->mapFromScene(d->view->mapToScene(pos));
    for (int s = 0; s < SeriesCount; ++s) {
        const QLineSeries *series = d->series[s];
        if (!series->isVisible() || series->count() == 0) continue;
        const double at = d->chart->mapToValue(chartPos, d->series[s]).x();
        const QList<QPointF> shown = series->points();
        std::vector<double> xs;
        xs.reserve(static_cast<std::size_t>(shown.size()));
        for (const QPointF &p : shown)
            xs.push_back(p.x());
        const int nearest = Sweep::NearestPoint(xs.data(), static_cast<int>(xs.size()), at);
        if (nearest < 0) continue;
        return d->logAxis ? std::pow(10.0, xs[static_cast<std::size_t>(nearest)])
                          : xs[static_cast<std::size_t>(nearest)];
    }
    return std::nan("");
}

QString SweepChart::toolTipAt(const QPoint &pos) const {
    const QPointF scenePos = d->view->mapToScene(pos);
    const QPointF chartPos = d->chart->mapFromScene(scenePos);
    if (!d->chart->plotArea()
             .adjusted(-HoverReach, -HoverReach, HoverReach, HoverReach)
             .contains(chartPos))
        return {};
    double best = HoverReach * HoverReach;
    int bestSeries = -1;
    QPointF bestPoint;
    for (int s = 0; s < SeriesCount; ++s) {
        QLineSeries *series = d->series[s];
        if (!series->isVisible()) continue;
        const QList<QPointF> points = series->points();
        for (const QPointF &p : points) {
            const QPointF at = d->chart->mapToPosition(p, series);
            const double dx = at.x() - chartPos.x(), dy = at.y() - chartPos.y();
            if (dx * dx + dy * dy <= best) {
                best = dx * dx + dy * dy;
                bestSeries = s;
                bestPoint = p;
            }
        }
    }
    QStringList lines;
    if (bestSeries >= 0) {
        const double x = d->logAxis ? std::pow(10.0, bestPoint.x()) : bestPoint.x();
        const QString valueName = d->sideTitle[bestSeries]->text();
        lines << QStringLiteral("%1 %2\n%3 %4")
                     .arg(d->bottom->titleText(), QString::number(x, 'g', 7), valueName,
                          QString::number(givenY(bestPoint.y(), bestSeries), 'g', 7));
    }
    if (!d->breakText.isEmpty() && nearBreak(chartPos)) lines << d->breakText;
    return lines.join(QLatin1Char('\n'));
}

} // namespace Chart
