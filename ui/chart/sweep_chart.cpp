// The sweep chart on Qt Charts: black plot, coloured axes, axes that follow the points, a
// dragged rectangle zooms, a double click fits again, a tooltip names the point under the mouse,
// a click places a marker. The right mouse button is left to the owner (no zoom-out on it).
#include "ui/chart/sweep_chart.h"

#include "sweep/frequency_ticks.h"
#include "sweep/sweep_reading.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
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
constexpr int MarkerReach = 5;
constexpr int LogLabelRoom =
    60; // pixels per label on a log axis // pixels within which a press takes hold of a marker
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

} // namespace

struct SweepChart::Parts {
    QChart *chart = nullptr; // owned by the view
    View *view = nullptr;    // child widget
    QValueAxis *bottom = nullptr;
    QCategoryAxis *logBottom = nullptr; // in place of bottom on a log axis
    QValueAxis *side[SeriesCount] = {};
    QLineSeries *series[SeriesCount] = {};
    QLineSeries *reference[SeriesCount] = {};
    QList<QPointF> raw[SeriesCount];          // the finite points as given
    QList<QPointF> referenceRaw[SeriesCount]; // likewise
    QLineSeries *fitCurve[SeriesCount] = {};
    QList<QPointF> fitCurveRaw[SeriesCount]; // likewise
    QGraphicsSimpleTextItem *sideTitle[SeriesCount] = {};
    Range fitted[SeriesCount] = {{-1.0, 1.0}, {-1.0, 1.0}}; // kept while a series is empty
    bool zoomed = false;
    bool logAxis = false;
    double hzPerUnit = 1.0;

    QList<double> markers; // x of each, in the order placed
    struct MarkerItems {
        QGraphicsLineItem *line = nullptr;
        QGraphicsSimpleTextItem *number = nullptr;
        QGraphicsEllipseItem *dot[SeriesCount] = {};
    };
    MarkerItems markerItems[MarkerLimit];
    QGraphicsRectItem *legendBox = nullptr;
    QGraphicsSimpleTextItem *legend = nullptr;
    MarkerText markerText = DefaultMarkerText;

    QValueAxis *shownBottom() const { return logAxis ? logBottom : bottom; }
};

// Qt's chart view with the mouse behaviour of the sweep chart. A click places a marker and a
// double click fits the axes, so the marker that a double click's first click placed is taken
// back; a double click on a marker that was there before removes it instead.
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

    void mouseReleaseEvent(QMouseEvent *event) override {
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

    void mouseDoubleClickEvent(QMouseEvent *event) override {
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

    void mouseMoveEvent(QMouseEvent *event) override {
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

private:
    SweepChart *m_owner;
    int m_dragged = -1; // the marker the left button holds
    int m_placed = -1;  // the marker the last click placed, while a double click may follow
    QElapsedTimer m_sincePlaced;
    QPoint m_pressedAt;
    QPoint m_placedAt;
    bool m_afterDouble = false;
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
    auto style = [&](QValueAxis *axis, const QColor &line, const QColor &labels,
                     const QColor &grid) {
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
    d->bottom = style(new QValueAxis, Silver, Silver, DarkGrey);
    d->logBottom = new QCategoryAxis;
    style(d->logBottom, Silver, Silver, DarkGrey);
    d->logBottom->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    d->logBottom->setVisible(false);
    d->bottom->setTitleBrush(Silver);
    d->bottom->setTitleFont(labelFont);
    d->logBottom->setTitleBrush(Silver);
    d->logBottom->setTitleFont(labelFont);
    d->side[0] = style(new QValueAxis, Orange, Fuchsia, Orange);
    d->side[1] = style(new QValueAxis, Teal, Lime, Olive);
    d->chart->addAxis(d->bottom, Qt::AlignBottom);
    d->chart->addAxis(d->logBottom, Qt::AlignBottom);
    d->chart->addAxis(d->side[0], Qt::AlignLeft);
    d->chart->addAxis(d->side[1], Qt::AlignRight);
    const QColor titleColours[SeriesCount] = {Fuchsia, Lime};
    for (int s = 0; s < SeriesCount; ++s) { // the references first, so they lie behind
        d->reference[s] = new QLineSeries;
        QColor dim = titleColours[s];
        dim.setAlpha(110);
        d->reference[s]->setPen(QPen(dim, 2));
        d->chart->addSeries(d->reference[s]);
        d->reference[s]->attachAxis(d->bottom);
        d->reference[s]->attachAxis(d->side[s]);
    }
    for (int s = 0; s < SeriesCount; ++s) {
        d->side[s]->setLabelsAngle(-90);
        d->side[s]->setTitleVisible(false); // drawn level beside the axis instead
        d->series[s] = new QLineSeries;
        d->series[s]->setPointsVisible(false);
        d->chart->addSeries(d->series[s]);
        d->series[s]->attachAxis(d->bottom);
        d->series[s]->attachAxis(d->side[s]);
        d->fitCurve[s] = new QLineSeries;
        d->fitCurve[s]->setPen(QPen(QColor(255, 255, 255, 190), 1, Qt::DashLine));
        d->chart->addSeries(d->fitCurve[s]);
        d->fitCurve[s]->attachAxis(d->bottom);
        d->fitCurve[s]->attachAxis(d->side[s]);
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
    connect(d->logBottom, &QValueAxis::rangeChanged, this, [this] { updateLogTicks(); });
    for (QValueAxis *axis :
         {d->bottom, static_cast<QValueAxis *>(d->logBottom), d->side[0], d->side[1]})
        connect(axis, &QValueAxis::rangeChanged, this, [this] { layOutMarkers(); });
    SetAxisRange(d->bottom, {0.0, 1.0}, TicksX);
    SetAxisRange(d->side[0], d->fitted[0], TicksY);
    SetAxisRange(d->side[1], d->fitted[1], TicksY);

    for (auto &items : d->markerItems) {
        items.line = new QGraphicsLineItem(d->chart);
        items.line->setPen(QPen(Qt::white, 1, Qt::DashLine));
        items.number = new QGraphicsSimpleTextItem(d->chart);
        items.number->setBrush(Qt::white);
        items.number->setFont(labelFont);
        for (int s = 0; s < SeriesCount; ++s) {
            items.dot[s] = new QGraphicsEllipseItem(-3.5, -3.5, 7.0, 7.0, d->chart);
            items.dot[s]->setPen(QPen(Qt::white));
            items.dot[s]->setBrush(titleColours[s]);
        }
    }
    d->legendBox = new QGraphicsRectItem(d->chart);
    d->legendBox->setBrush(QColor(0, 0, 0, 210));
    d->legendBox->setPen(QPen(DarkGrey));
    d->legend = new QGraphicsSimpleTextItem(d->chart);
    d->legend->setBrush(Qt::white);
    d->legend->setFont(labelFont);
    layOutMarkers();

    d->view = new View(d->chart, this);
    d->view->lower(); // the owner's labels and track bar lie on top of the chart
    connect(d->chart, &QChart::plotAreaChanged, this, [this] {
        layOutTitles();
        updateLogTicks();
        layOutMarkers();
    });
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

double SweepChart::shownX(double x) const {
    return d->logAxis ? std::log10(x) : x;
}

// What the axes hold of the given points: on a log axis the logarithm of x.
QList<QPointF> SweepChart::shownPoints(const QList<QPointF> &given) const {
    if (!d->logAxis) return given;
    QList<QPointF> out;
    out.reserve(given.size());
    for (const QPointF &p : given)
        if (p.x() > 0.0) out.append(QPointF(std::log10(p.x()), p.y()));
    return out;
}

void SweepChart::showPoints(int series) {
    d->series[series]->replace(shownPoints(d->raw[series]));
    d->reference[series]->replace(shownPoints(d->referenceRaw[series]));
    d->fitCurve[series]->replace(shownPoints(d->fitCurveRaw[series]));
}

void SweepChart::replacePoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    d->raw[series] = FinitePoints(points);
    d->series[series]->replace(shownPoints(d->raw[series]));
    fitToPoints();
    layOutMarkers();
}

void SweepChart::setReferencePoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    QList<QPointF> kept = FinitePoints(points);
    if (kept == d->referenceRaw[series]) return; // a redraw hands the same reference again
    d->referenceRaw[series] = std::move(kept);
    d->reference[series]->replace(shownPoints(d->referenceRaw[series]));
    fitToPoints();
}

void SweepChart::setFittedPoints(int series, const QList<QPointF> &points) {
    if (series < 0 || series >= SeriesCount) return;
    QList<QPointF> kept = FinitePoints(points);
    if (kept == d->fitCurveRaw[series]) return;
    d->fitCurveRaw[series] = std::move(kept);
    d->fitCurve[series]->replace(shownPoints(d->fitCurveRaw[series]));
}

QList<QPointF> SweepChart::fittedPoints(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    return d->fitCurveRaw[series];
}

void SweepChart::setSeriesActive(int series, bool active) {
    if (series < 0 || series >= SeriesCount) return;
    if (d->series[series]->isVisible() == active) return;
    d->series[series]->setVisible(active);
    d->reference[series]->setVisible(active);
    d->fitCurve[series]->setVisible(active);
    fitToPoints();
    layOutMarkers();
}

bool SweepChart::isSeriesActive(int series) const {
    return series >= 0 && series < SeriesCount && d->series[series]->isVisible();
}

QList<QPointF> SweepChart::points(int series) const {
    if (series < 0 || series >= SeriesCount) return {};
    return d->raw[series];
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
        }
        from->setVisible(false);
        to->setVisible(true);
        d->zoomed = false;
    }
    for (int s = 0; s < SeriesCount; ++s)
        showPoints(s);
    fitToPoints();
    updateLogTicks();
    layOutMarkers();
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
        if (!series->isVisible() || points.isEmpty()) {
            SetAxisRange(d->side[s], d->fitted[s], TicksY);
            continue;
        }
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
    if (!anyX) return;
    const Range x = Padded(xLow, xHigh, XPadding);
    if (d->logAxis)
        d->logBottom->setRange(x.min, x.max);
    else
        SetAxisRange(d->bottom, x, TicksX);
}

bool SweepChart::isZoomed() const {
    return d->zoomed;
}

QRectF SweepChart::plotArea() const {
    return d->view->mapFromScene(d->chart->mapToScene(d->chart->plotArea())).boundingRect();
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
            const bool dot = shown && spots[i].has[s];
            items.dot[s]->setVisible(dot);
            if (dot)
                items.dot[s]->setPos(d->chart->mapToPosition(
                    QPointF(shownX(spots[i].x), spots[i].y[s]), d->series[s]));
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
    const double x = d->logAxis ? std::pow(10.0, bestPoint.x()) : bestPoint.x();
    const QString valueName = d->sideTitle[bestSeries]->text();
    return QStringLiteral("%1 %2\n%3 %4")
        .arg(d->bottom->titleText(), QString::number(x, 'g', 7), valueName,
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
