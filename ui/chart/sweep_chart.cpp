// The sweep chart on Qt Charts: black plot, coloured axes, axes that follow the points, a
// dragged rectangle zooms, a double click fits again, a tooltip names the point under the mouse.
// The right mouse button is left to the owner (no zoom-out on it).
#include "ui/chart/sweep_chart.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

const QColor Silver(192, 192, 192);
const QColor Orange(255, 128, 0);
const QColor Fuchsia(255, 0, 255);
const QColor Lime(0, 255, 0);
const QColor Teal(0, 128, 128);
const QColor Olive(128, 128, 64);
const QColor DarkGrey(64, 64, 64);

// The chart's margins, as shares of its size.
constexpr double MarginTop = 0.15;
constexpr double MarginBottom = 0.05;
constexpr double MarginSide = 0.01;
constexpr int TitleGap = 4;           // pixels between a side title and the axis labels
constexpr double ValuePadding = 0.05; // share of the span left free above and below the points
constexpr double XPadding = 0.01;
constexpr int HoverReach = 8; // pixels within which the mouse names a point
constexpr int TicksX = 10;
constexpr int TicksY = 8;
// Up to seven significant digits, thousands grouped, no trailing zeros.
const QString LabelFormat = QStringLiteral("%.7g");

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

struct SweepChart::Parts {
    QChart *chart = nullptr; // owned by the view
    View *view = nullptr;    // child widget
    QValueAxis *bottom = nullptr;
    QValueAxis *side[SeriesCount] = {};
    QLineSeries *series[SeriesCount] = {};
    QGraphicsSimpleTextItem *sideTitle[SeriesCount] = {};
    Range fitted[SeriesCount] = {{-1.0, 1.0}, {-1.0, 1.0}}; // kept while a series is empty
    bool zoomed = false;
};

// Qt's chart view with the mouse behaviour of the sweep chart.
class SweepChart::View : public QChartView {
public:
    View(QChart *chart, SweepChart *owner) : QChartView(chart, owner), m_owner(owner) {
        setRubberBand(QChartView::RectangleRubberBand);
        setFrameShape(QFrame::NoFrame);
        setBackgroundBrush(Qt::black);
        setMouseTracking(true);
        viewport()->setMouseTracking(true);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override {
        if (event->button() == Qt::LeftButton)
            QChartView::mousePressEvent(event);
        else
            QGraphicsView::mousePressEvent(event); // the right button belongs to the owner
    }

    void mouseReleaseEvent(QMouseEvent *event) override {
        if (event->button() != Qt::LeftButton) {
            QGraphicsView::mouseReleaseEvent(event);
            return;
        }
        const Range x = m_owner->axisRange(Axis::Bottom);
        const Range y = m_owner->axisRange(Axis::Left);
        QChartView::mouseReleaseEvent(event);
        const Range nx = m_owner->axisRange(Axis::Bottom);
        const Range ny = m_owner->axisRange(Axis::Left);
        if (nx.min != x.min || nx.max != x.max || ny.min != y.min || ny.max != y.max)
            m_owner->d->zoomed = true;
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override {
        if (event->button() != Qt::LeftButton) {
            QGraphicsView::mouseDoubleClickEvent(event);
            return;
        }
        m_owner->d->zoomed = false;
        m_owner->fitToPoints();
        event->accept();
    }

    void mouseMoveEvent(QMouseEvent *event) override {
        QChartView::mouseMoveEvent(event);
        if (event->buttons() != Qt::NoButton) return;
        const QString text = m_owner->toolTipAt(event->position().toPoint());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }

private:
    SweepChart *m_owner;
};

SweepChart::SweepChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
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

    const QFont labelFont = font();
    auto makeAxis = [&](const QColor &line, const QColor &labels, const QColor &grid) {
        auto *axis = new QValueAxis;
        axis->setLinePen(QPen(line));
        axis->setLabelsBrush(labels);
        axis->setLabelsFont(labelFont);
        axis->setGridLinePen(QPen(grid, 1, Qt::DotLine));
        axis->setMinorTickCount(0);
        axis->setLabelFormat(LabelFormat);
        axis->setTickAnchor(0.0);
        axis->setTickInterval(1.0);
        axis->setTickType(QValueAxis::TicksDynamic);
        return axis;
    };
    d->bottom = makeAxis(Silver, Silver, DarkGrey);
    d->bottom->setTitleBrush(Silver);
    d->bottom->setTitleFont(labelFont);
    d->side[0] = makeAxis(Orange, Fuchsia, Orange);
    d->side[1] = makeAxis(Teal, Lime, Olive);
    d->chart->addAxis(d->bottom, Qt::AlignBottom);
    d->chart->addAxis(d->side[0], Qt::AlignLeft);
    d->chart->addAxis(d->side[1], Qt::AlignRight);
    const QColor titleColours[SeriesCount] = {Fuchsia, Lime};
    for (int s = 0; s < SeriesCount; ++s) {
        d->side[s]->setLabelsAngle(-90);
        d->side[s]->setTitleVisible(false); // drawn level beside the axis instead
        d->series[s] = new QLineSeries;
        d->series[s]->setPointsVisible(false);
        d->chart->addSeries(d->series[s]);
        d->series[s]->attachAxis(d->bottom);
        d->series[s]->attachAxis(d->side[s]);
        d->sideTitle[s] = new QGraphicsSimpleTextItem(d->chart);
        d->sideTitle[s]->setBrush(titleColours[s]);
        d->sideTitle[s]->setFont(labelFont);
    }
    setSeriesColor(0, Fuchsia);
    setSeriesColor(1, Lime);
    // A zoom only narrows a range: the step follows it.
    const struct {
        QValueAxis *axis;
        int ticks;
    } ticking[] = {{d->bottom, TicksX}, {d->side[0], TicksY}, {d->side[1], TicksY}};
    for (const auto &t : ticking) {
        QValueAxis *axis = t.axis;
        const int ticks = t.ticks;
        connect(axis, &QValueAxis::rangeChanged, this, [axis, ticks](qreal min, qreal max) {
            ApplyTickStep(axis, RoundTickStep(min, max, ticks));
        });
    }
    SetAxisRange(d->bottom, {0.0, 1.0}, TicksX);
    SetAxisRange(d->side[0], d->fitted[0], TicksY);
    SetAxisRange(d->side[1], d->fitted[1], TicksY);

    d->view = new View(d->chart, this);
    d->view->lower(); // the owner's labels and track bar lie on top of the chart
    connect(d->chart, &QChart::plotAreaChanged, this, [this] { layOutTitles(); });
}

SweepChart::~SweepChart() = default;

void SweepChart::setSeriesColor(int series, const QColor &color) {
    if (series < 0 || series >= SeriesCount) return;
    QPen pen(color);
    pen.setWidth(1);
    d->series[series]->setPen(pen);
}

void SweepChart::clearSeries(int series) {
    replacePoints(series, {});
}

void SweepChart::addPoint(int series, double x, double y) {
    if (series < 0 || series >= SeriesCount || !std::isfinite(x) || !std::isfinite(y)) return;
    d->series[series]->append(x, y);
    fitToPoints();
}

void SweepChart::replacePoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    d->series[series]->replace(FinitePoints(points));
    fitToPoints();
}

void SweepChart::setSeriesActive(int series, bool active) {
    if (series < 0 || series >= SeriesCount) return;
    if (d->series[series]->isVisible() == active) return;
    d->series[series]->setVisible(active);
    fitToPoints();
}

bool SweepChart::isSeriesActive(int series) const {
    return series >= 0 && series < SeriesCount && d->series[series]->isVisible();
}

QList<QPointF> SweepChart::points(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    return d->series[series]->points();
}

void SweepChart::setAxisTitle(Axis axis, const QString &title) {
    if (axis == Axis::Bottom) {
        d->bottom->setTitleText(title);
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
    const QValueAxis *a = axis == Axis::Bottom ? d->bottom : d->side[axis == Axis::Left ? 0 : 1];
    return {a->min(), a->max()};
}

void SweepChart::fitToPoints() {
    if (d->zoomed) return;
    double xLow = 0.0, xHigh = 0.0;
    bool anyX = false;
    for (int s = 0; s < SeriesCount; ++s) {
        const QLineSeries *series = d->series[s];
        if (!series->isVisible() || series->count() == 0) {
            SetAxisRange(d->side[s], d->fitted[s], TicksY);
            continue;
        }
        const QList<QPointF> points = series->points();
        double yLow = points.first().y(), yHigh = yLow;
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
        d->fitted[s] = Padded(yLow, yHigh, ValuePadding);
        SetAxisRange(d->side[s], d->fitted[s], TicksY);
    }
    if (anyX) {
        SetAxisRange(d->bottom, Padded(xLow, xHigh, XPadding), TicksX);
    }
}

bool SweepChart::isZoomed() const {
    return d->zoomed;
}

void SweepChart::zoomTo(const QRectF &area) {
    const QRectF inPlot = area.intersected(plotArea());
    if (inPlot.width() <= 0.0 || inPlot.height() <= 0.0) return;
    d->chart->zoomIn(d->view->mapToScene(inPlot.toRect()).boundingRect());
    d->zoomed = true;
}

QRectF SweepChart::plotArea() const {
    return d->view->mapFromScene(d->chart->mapToScene(d->chart->plotArea())).boundingRect();
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
    if (bestSeries < 0) return {};
    const QString valueName = d->sideTitle[bestSeries]->text();
    return QStringLiteral("%1 %2\n%3 %4")
        .arg(d->bottom->titleText(), QString::number(bestPoint.x(), 'g', 7), valueName,
             QString::number(bestPoint.y(), 'g', 7));
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
    for (const QGraphicsSimpleTextItem *title : d->sideTitle)
        room = std::max(room, metrics.horizontalAdvance(title->text()));
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
    }
}

} // namespace Chart
