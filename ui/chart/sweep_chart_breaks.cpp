// Where the line to the meter was lost and came back: a dashed line across the plot at the x of
// the first point of each new connection, with a small label that names it.
#include "ui/chart/sweep_chart_parts.h"

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

constexpr double LabelGap = 3.0; // pixels between a break's line and its label

} // namespace

void SweepChart::setBreaks(const QList<double> &xs) {
    QList<double> kept;
    for (double x : xs)
        if (std::isfinite(x)) kept.append(x);
    if (kept == d->breaks) return; // a redraw hands the same breaks again
    d->breaks = std::move(kept);
    while (d->breakItems.size() < d->breaks.size()) {
        Parts::BreakItems items;
        items.line = new QGraphicsLineItem(d->chart);
        items.line->setPen(QPen(Yellow, 1, Qt::DashLine));
        items.label = new QGraphicsSimpleTextItem(d->chart);
        items.label->setBrush(Yellow);
        items.label->setFont(font());
        // Beneath the markers, their numbers and their legend.
        items.line->stackBefore(d->markerItems[0].line);
        items.label->stackBefore(d->markerItems[0].line);
        d->breakItems.append(items);
    }
    layOutBreaks();
}

QList<double> SweepChart::breaks() const {
    return d->breaks;
}

void SweepChart::setBreakText(const QString &text) {
    d->breakText = text;
    layOutBreaks();
}

// Each label stands at the foot of its line, to the right unless the plot ends first; a label
// that would cover another is left out (the tooltip still names the line).
void SweepChart::layOutBreaks() {
    const QRectF plot = d->chart->plotArea();
    QList<QRectF> labels;
    for (int i = 0; i < d->breakItems.size(); ++i) {
        const Parts::BreakItems &items = d->breakItems[i];
        bool shown = i < d->breaks.size() && !(d->logAxis && d->breaks[i] <= 0.0);
        double px = 0.0;
        if (shown) {
            px = d->chart->mapToPosition(QPointF(shownX(d->breaks[i]), 0.0), d->series[0]).x();
            shown = px >= plot.left() - 0.5 && px <= plot.right() + 0.5;
        }
        items.line->setVisible(shown);
        items.label->setVisible(false);
        if (!shown) continue;
        px = std::floor(px) + 0.5; // on a pixel's centre: one crisp column, not two faint ones
        items.line->setLine(px, plot.top(), px, plot.bottom());
        if (d->breakText.isEmpty()) continue;
        items.label->setText(d->breakText);
        const QSizeF size = items.label->boundingRect().size();
        QRectF box(QPointF(px + LabelGap, plot.bottom() - size.height() - 2.0), size);
        if (box.right() > plot.right()) box.moveRight(px - LabelGap);
        const bool covers = std::any_of(labels.cbegin(), labels.cend(), [&box](const QRectF &r) {
            return r.adjusted(-LabelGap, 0.0, LabelGap, 0.0).intersects(box);
        });
        if (box.left() < plot.left() || covers) continue;
        items.label->setPos(box.topLeft());
        items.label->setVisible(true);
        labels.append(box);
    }
}

// Whether chartPos (chart coordinates) lies on the plot within a few pixels of a break's line.
bool SweepChart::nearBreak(const QPointF &chartPos) const {
    const QRectF plot = d->chart->plotArea();
    if (chartPos.y() < plot.top() || chartPos.y() > plot.bottom()) return false;
    for (const Parts::BreakItems &items : d->breakItems)
        if (items.line->isVisible() &&
            std::fabs(items.line->line().x1() - chartPos.x()) <= HoverReach)
            return true;
    return false;
}

} // namespace Chart
