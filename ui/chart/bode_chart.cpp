#include "ui/chart/bode_chart.h"

#include "ui/chart/view_chart_look.h"

#include <QLegend>
#include <QLegendMarker>

#include <algorithm>
#include <cmath>

namespace Chart {

namespace {

constexpr double RightAngle = 90.0;

QList<Curve> Positive(const QList<Curve> &curves, bool yToo) {
    QList<Curve> out = curves;
    for (Curve &curve : out) {
        QList<QPointF> kept;
        for (const QPointF &p : curve.points)
            if (std::isfinite(p.x()) && std::isfinite(p.y()) && p.x() > 0.0 &&
                (!yToo || p.y() > 0.0))
                kept.append(p);
        curve.points = kept;
    }
    return out;
}

} // namespace

struct BodeChart::Parts {
    QChart *chart = nullptr; // owned by the view
    QChartView *view = nullptr;
    QLogValueAxis *frequency = nullptr;
    QLogValueAxis *magnitude = nullptr;
    QValueAxis *phase = nullptr;
    QList<Curve> magnitudeCurves;
    QList<Curve> phaseCurves;
};

BodeChart::BodeChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
    d->chart = NewViewChart();
    d->frequency = new QLogValueAxis;
    d->magnitude = new QLogValueAxis;
    d->phase = new QValueAxis;
    StyleAxis(d->frequency, QStringLiteral("Частота, Hz"), font());
    StyleAxis(d->magnitude, QStringLiteral("|Z|, Ом"), font());
    StyleAxis(d->phase, QStringLiteral("θ, °"), font());
    for (QLogValueAxis *axis : {d->frequency, d->magnitude}) {
        axis->setBase(10.0);
        axis->setLabelFormat(QStringLiteral("%g"));
        axis->setMinorTickCount(8);
        axis->setMinorGridLinePen(QPen(QColor(40, 40, 40), 1, Qt::DotLine));
    }
    d->phase->setLabelFormat(QStringLiteral("%.0f"));
    d->chart->addAxis(d->frequency, Qt::AlignBottom);
    d->chart->addAxis(d->magnitude, Qt::AlignLeft);
    d->chart->addAxis(d->phase, Qt::AlignRight);
    d->view = new QChartView(d->chart, this);
    d->view->setRenderHint(QPainter::Antialiasing);
    fit();
}

BodeChart::~BodeChart() = default;

void BodeChart::setCurves(const QList<Curve> &magnitude, const QList<Curve> &phase) {
    d->chart->removeAllSeries();
    d->magnitudeCurves = Positive(magnitude, true);
    d->phaseCurves = Positive(phase, false);
    for (int k = 0; k < d->magnitudeCurves.size(); ++k)
        AddCurve(d->chart, d->magnitudeCurves[k], d->frequency, d->magnitude, k == 0 ? 2.0 : 1.0);
    for (int k = 0; k < d->phaseCurves.size(); ++k) {
        QLineSeries *series = AddCurve(d->chart, d->phaseCurves[k], d->frequency, d->phase,
                                       k == 0 ? 2.0 : 1.0, Qt::DashLine);
        // One legend entry per sweep: its |Z| names it.
        for (QLegendMarker *marker : d->chart->legend()->markers(series))
            marker->setVisible(false);
    }
    fit();
}

QList<Curve> BodeChart::magnitudeCurves() const {
    return d->magnitudeCurves;
}

QList<Curve> BodeChart::phaseCurves() const {
    return d->phaseCurves;
}

Range BodeChart::axisRange(Axis axis) const {
    switch (axis) {
    case Axis::Bottom:
        return {d->frequency->min(), d->frequency->max()};
    case Axis::Left:
        return {d->magnitude->min(), d->magnitude->max()};
    case Axis::Right:
        return {d->phase->min(), d->phase->max()};
    }
    return {};
}

bool BodeChart::isLogAxis(Axis axis) const {
    return axis != Axis::Right;
}

void BodeChart::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    d->view->setGeometry(rect());
}

// Both log axes follow the points; θ shows −90…90° at least, wider when a point lies beyond.
void BodeChart::fit() {
    const std::optional<Span> magnitude = SpanOf(d->magnitudeCurves, true, true);
    const std::optional<Span> phase = SpanOf(d->phaseCurves, true, false);
    Range hz{100.0, 100000.0};
    if (magnitude || phase) {
        hz = magnitude ? magnitude->x : phase->x;
        if (phase) hz = {std::min(hz.min, phase->x.min), std::max(hz.max, phase->x.max)};
        hz = LogPadded(hz);
    }
    d->frequency->setRange(hz.min, hz.max);
    const Range ohms = magnitude ? LogPadded(magnitude->y) : Range{1.0, 1000.0};
    d->magnitude->setRange(ohms.min, ohms.max);
    double low = -RightAngle, high = RightAngle;
    if (phase) {
        low = std::min(low, std::floor(phase->y.min / 10.0) * 10.0);
        high = std::max(high, std::ceil(phase->y.max / 10.0) * 10.0);
    }
    d->phase->setRange(low, high);
    d->phase->setTickCount(high - low == 2 * RightAngle ? 7 : 5);
}

} // namespace Chart
