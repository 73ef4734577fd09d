// The sweep chart on Qt Charts: built here (black plot, coloured axes, a line series with its
// reference and fitted curve on each side axis, the markers' items) and laid out at each resize.
// Its axes, curves, markers and mouse are in the other sweep_chart_*.cpp.
#include "ui/chart/sweep_chart_parts.h"

#include <QGraphicsLayout>
#include <QLocale>
#include <QtMath>

#include <algorithm>

namespace Chart {

namespace {

// The look every axis shares; the colours are each axis' own.
QValueAxis *Styled(QValueAxis *axis, const QFont &font, const QColor &line, const QColor &labels,
                   const QColor &grid) {
    axis->setLinePen(QPen(line));
    axis->setLabelsBrush(labels);
    axis->setLabelsFont(font);
    axis->setGridLinePen(QPen(grid, 1, Qt::DotLine));
    axis->setMinorTickCount(0);
    return axis;
}

} // namespace

SweepChart::SweepChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
    buildChart();
    buildAxes();
    buildSeries();
    buildLimits();
    followAxisRanges();
    buildMarkers();
    d->view = new View(d->chart, this);
    d->view->lower(); // the owner's labels and track bar lie on top of the chart
    connect(d->chart, &QChart::plotAreaChanged, this, [this] {
        layOutTitles();
        updateLogTicks();
        for (int s = 0; s < SeriesCount; ++s)
            if (d->logValue[s]) updateValueTicks(s);
        layOutMarkers();
        layOutBreaks();
        layOutOverlayLegend();
    });
}

SweepChart::~SweepChart() = default;

void SweepChart::buildChart() {
    d->chart = new QChart;
    d->chart->setAnimationOptions(QChart::NoAnimation);
    d->chart->legend()->hide();
    d->chart->setTitle(QString());
    d->chart->setBackgroundBrush(Qt::black);
    d->chart->setBackgroundPen(Qt::NoPen);
    d->chart->setBackgroundRoundness(0);
    d->chart->setPlotAreaBackgroundBrush(Qt::black);
    d->chart->setPlotAreaBackgroundPen(QPen(DarkGrey));
    d->chart->setPlotAreaBackgroundVisible(true);
    d->chart->layout()->setContentsMargins(0, 0, 0, 0);
    QLocale grouped = QLocale::c();
    grouped.setNumberOptions(QLocale::NumberOptions());
    d->chart->setLocale(grouped);
    d->chart->setLocalizeNumbers(true);
}

// The linear and the log bottom axis (one of them shown), and a value axis on each side.
void SweepChart::buildAxes() {
    const QFont labelFont = font();
    d->bottom = NewTickAxis();
    Styled(d->bottom, labelFont, Silver, Silver, DarkGrey);
    d->logBottom = NewTickAxis();
    Styled(d->logBottom, labelFont, Silver, Silver, DarkGrey);
    d->logBottom->setVisible(false);
    d->bottom->setTitleBrush(Silver);
    d->bottom->setTitleFont(labelFont);
    d->logBottom->setTitleBrush(Silver);
    d->logBottom->setTitleFont(labelFont);
    for (int s = 0; s < SeriesCount; ++s)
        d->side[s] = NewTickAxis();
    Styled(d->side[0], labelFont, Orange, Fuchsia, Orange);
    Styled(d->side[1], labelFont, Teal, Lime, Olive);
    d->chart->addAxis(d->bottom, Qt::AlignBottom);
    d->chart->addAxis(d->logBottom, Qt::AlignBottom);
    d->chart->addAxis(d->side[0], Qt::AlignLeft);
    d->chart->addAxis(d->side[1], Qt::AlignRight);
}

QLineSeries *SweepChart::addSeries(int side, const QPen &pen) {
    auto *series = new QLineSeries;
    series->setPen(pen);
    d->chart->addSeries(series);
    series->attachAxis(d->bottom);
    series->attachAxis(d->side[side]);
    return series;
}

// The references first, so they lie behind; each series' title drawn level beside its axis.
void SweepChart::buildSeries() {
    buildOverlays();
    for (int s = 0; s < SeriesCount; ++s) {
        QColor dim = SeriesColour[s];
        dim.setAlpha(110);
        d->reference[s] = addSeries(s, QPen(dim, 2));
    }
    for (int s = 0; s < SeriesCount; ++s) {
        d->side[s]->setLabelsAngle(-90);
        d->side[s]->setTitleVisible(false);
        d->series[s] = addSeries(s, QPen(SeriesColour[s], 1));
        d->series[s]->setPointsVisible(false);
        d->fitCurve[s] = addSeries(s, QPen(QColor(255, 255, 255, 190), 1, Qt::DashLine));
        d->sideTitle[s] = new QGraphicsSimpleTextItem(d->chart);
        d->sideTitle[s]->setBrush(SeriesColour[s]);
        d->sideTitle[s]->setFont(font());
        d->sideUnit[s] = new QGraphicsSimpleTextItem(d->chart);
        d->sideUnit[s]->setBrush(SeriesColour[s]);
        d->sideUnit[s]->setFont(font());
    }
}

// Every range change (a fit, a zoom) ticks the axis again; the markers and breaks follow.
void SweepChart::followAxisRanges() {
    connect(d->bottom, &QValueAxis::rangeChanged, this,
            [this] { ShowLinearTicks(d->bottom, TicksX); });
    for (int s = 0; s < SeriesCount; ++s)
        connect(d->side[s], &QValueAxis::rangeChanged, this, [this, s] { updateValueTicks(s); });
    connect(d->logBottom, &QValueAxis::rangeChanged, this, [this] { updateLogTicks(); });
    for (QValueAxis *axis :
         {static_cast<QValueAxis *>(d->bottom), static_cast<QValueAxis *>(d->logBottom),
          static_cast<QValueAxis *>(d->side[0]), static_cast<QValueAxis *>(d->side[1])})
        connect(axis, &QValueAxis::rangeChanged, this, [this] {
            layOutMarkers();
            layOutBreaks();
        });
    d->bottom->setRange(0.0, 1.0);
    for (int s = 0; s < SeriesCount; ++s)
        d->side[s]->setRange(d->fitted[s].min, d->fitted[s].max);
    showGrid();
}

// Each marker's dashed line, number and a dot on each series; the legend of their texts.
void SweepChart::buildMarkers() {
    const QFont labelFont = font();
    for (auto &items : d->markerItems) {
        items.line = new QGraphicsLineItem(d->chart);
        items.line->setPen(QPen(Qt::white, 1, Qt::DashLine));
        items.number = new QGraphicsSimpleTextItem(d->chart);
        items.number->setBrush(Qt::white);
        items.number->setFont(labelFont);
        for (int s = 0; s < SeriesCount; ++s) {
            items.dot[s] = new QGraphicsEllipseItem(-3.5, -3.5, 7.0, 7.0, d->chart);
            items.dot[s]->setPen(QPen(Qt::white));
            items.dot[s]->setBrush(SeriesColour[s]);
        }
    }
    d->legendBox = new QGraphicsRectItem(d->chart);
    d->legendBox->setBrush(QColor(0, 0, 0, 210));
    d->legendBox->setPen(QPen(DarkGrey));
    d->legend = new QGraphicsSimpleTextItem(d->chart);
    d->legend->setBrush(Qt::white);
    d->legend->setFont(labelFont);
    layOutMarkers();
}

QRectF SweepChart::plotArea() const {
    return d->view->mapFromScene(d->chart->mapToScene(d->chart->plotArea())).boundingRect();
}

void SweepChart::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    d->view->setGeometry(rect());
    updateMargins();
}

// The side titles stand level beside their axes, so the side margins make room for them.
void SweepChart::updateMargins() {
    const QFontMetrics metrics(font());
    int room = metrics.horizontalAdvance(QStringLiteral("Rs"));
    for (int s = 0; s < SeriesCount; ++s)
        for (const QGraphicsSimpleTextItem *title : {d->sideTitle[s], d->sideUnit[s]})
            room = std::max(room, qCeil(title->boundingRect().width()));
    room += TitleGap;
    const int side = qRound(width() * MarginSide);
    d->chart->setMargins(QMargins(side + room, qRound(height() * MarginTop), side + room,
                                  qRound(height() * MarginBottom)));
}

void SweepChart::layOutTitles() {
    const QRectF plot = d->chart->plotArea();
    const int side = qRound(width() * MarginSide);
    for (int s = 0; s < SeriesCount; ++s) {
        QGraphicsSimpleTextItem *title = d->sideTitle[s];
        const QRectF box = title->boundingRect();
        const double x = s == 0 ? side : width() - side - box.width();
        title->setPos(x, plot.center().y() - box.height() / 2.0);
        QGraphicsSimpleTextItem *unit = d->sideUnit[s];
        const double unitX = s == 0 ? side : width() - side - unit->boundingRect().width();
        unit->setPos(unitX, plot.center().y() + box.height() / 2.0);
    }
}

} // namespace Chart
