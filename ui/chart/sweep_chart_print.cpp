// The chart drawn for print: laid out at the size asked, its dark look turned light (greys and
// black inverted, bright colours darkened so they read on white), painted, and then put back as
// it was before the event loop can repaint it, so the chart on screen neither changes nor
// flickers.
#include "ui/chart/sweep_chart_parts.h"

#include <QAbstractGraphicsShapeItem>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegend>
#include <QPainter>
#include <QResizeEvent>
#include <QScatterSeries>

#include <map>

namespace Chart {

namespace {

constexpr int GreySaturation = 40; // below it a colour counts as grey and is inverted
constexpr int PrintLightness = 105;

QColor Printable(const QColor &colour) {
    if (colour.alpha() == 0) return colour;
    const QColor hsl = colour.toHsl();
    if (hsl.hslSaturation() < GreySaturation)
        return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), 255 - hsl.lightness(),
                               colour.alpha());
    if (hsl.lightness() <= PrintLightness) return colour;
    return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), PrintLightness, colour.alpha());
}

QPen Printable(QPen pen) {
    pen.setColor(Printable(pen.color()));
    return pen;
}

QBrush Printable(QBrush brush) {
    if (brush.style() != Qt::NoBrush) brush.setColor(Printable(brush.color()));
    return brush;
}

// Everything the light look changes, to be put back.
struct SavedLook {
    QBrush background, plotBackground;
    QPen backgroundPen, plotPen;
    QColor legendLabels;
    struct AxisLook {
        QPen line, grid, minorGrid;
        QBrush labels, title;
    };
    std::map<QAbstractAxis *, AxisLook> axes;
    struct SeriesLook {
        QPen pen;
        QBrush brush;
    };
    std::map<QXYSeries *, SeriesLook> series;
    struct ItemLook {
        QPen pen;
        QBrush brush;
    };
    std::map<QGraphicsItem *, ItemLook> items;
};

// The chart's own items (titles, markers, legends, breaks): shapes and lines directly on it.
void SaveItems(QChart *chart, SavedLook &saved) {
    for (QGraphicsItem *item : chart->childItems()) {
        if (auto *shape = dynamic_cast<QAbstractGraphicsShapeItem *>(item))
            saved.items[item] = {shape->pen(), shape->brush()};
        else if (auto *line = dynamic_cast<QGraphicsLineItem *>(item))
            saved.items[item] = {line->pen(), QBrush()};
    }
}

void ApplyToItems(QChart *chart, const SavedLook &saved, bool print) {
    for (QGraphicsItem *item : chart->childItems()) {
        const auto found = saved.items.find(item);
        if (found == saved.items.end()) continue;
        const SavedLook::ItemLook &look = found->second;
        if (auto *shape = dynamic_cast<QAbstractGraphicsShapeItem *>(item)) {
            shape->setPen(print ? Printable(look.pen) : look.pen);
            shape->setBrush(print ? Printable(look.brush) : look.brush);
        } else if (auto *line = dynamic_cast<QGraphicsLineItem *>(item)) {
            line->setPen(print ? Printable(look.pen) : look.pen);
        }
    }
}

SavedLook SaveLook(QChart *chart) {
    SavedLook saved;
    saved.background = chart->backgroundBrush();
    saved.backgroundPen = chart->backgroundPen();
    saved.plotBackground = chart->plotAreaBackgroundBrush();
    saved.plotPen = chart->plotAreaBackgroundPen();
    saved.legendLabels = chart->legend()->labelColor();
    for (QAbstractAxis *axis : chart->axes())
        saved.axes[axis] = {axis->linePen(), axis->gridLinePen(), axis->minorGridLinePen(),
                            axis->labelsBrush(), axis->titleBrush()};
    for (QAbstractSeries *series : chart->series())
        if (auto *xy = qobject_cast<QXYSeries *>(series))
            saved.series[xy] = {xy->pen(), xy->brush()};
    SaveItems(chart, saved);
    return saved;
}

// The items first: a chart's own setters below recolour Qt's items after them.
void ApplyLook(QChart *chart, const SavedLook &saved, bool print) {
    ApplyToItems(chart, saved, print);
    const auto pen = [print](const QPen &p) { return print ? Printable(p) : p; };
    const auto brush = [print](const QBrush &b) { return print ? Printable(b) : b; };
    chart->setBackgroundBrush(brush(saved.background));
    chart->setBackgroundPen(pen(saved.backgroundPen));
    chart->setPlotAreaBackgroundBrush(brush(saved.plotBackground));
    chart->setPlotAreaBackgroundPen(pen(saved.plotPen));
    chart->legend()->setLabelColor(print ? Printable(saved.legendLabels) : saved.legendLabels);
    for (const auto &[axis, look] : saved.axes) {
        axis->setLinePen(pen(look.line));
        axis->setGridLinePen(pen(look.grid));
        axis->setMinorGridLinePen(pen(look.minorGrid));
        axis->setLabelsBrush(brush(look.labels));
        axis->setTitleBrush(brush(look.title));
    }
    for (const auto &[series, look] : saved.series) {
        series->setPen(pen(look.pen));
        series->setBrush(brush(look.brush));
    }
}

} // namespace

// Laid out as the widget would be at that size: the margins and the side titles follow the
// widget's size, so the widget is resized too (a hidden one gets its resize event at once).
void SweepChart::layOutAt(const QSize &size) {
    const QSize old = this->size();
    resize(size);
    if (!isVisible()) {
        QResizeEvent event(size, old);
        QCoreApplication::sendEvent(this, &event);
        d->chart->resize(size);
    }
    d->chart->layout()->activate();
}

void SweepChart::renderForPrint(QPainter *painter, const QRectF &target, const QSize &size) {
    const QSize old = this->size();
    const SavedLook saved = SaveLook(d->chart);
    ApplyLook(d->chart, saved, true);
    layOutAt(size);
    d->chart->scene()->render(painter, target, d->chart->mapRectToScene(d->chart->rect()));
    layOutAt(old);
    ApplyLook(d->chart, saved, false);
}

} // namespace Chart
