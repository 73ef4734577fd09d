#include "ui/chart/bode_chart.h"

#include "sweep/frequency_ticks.h"
#include "ui/chart/view_chart_look.h"

#include <QCategoryAxis>
#include <QLegend>
#include <QLegendMarker>

#include <algorithm>
#include <cmath>
#include <functional>

namespace Chart {

namespace {

constexpr double RightAngle = 90.0;
constexpr int LabelRoomX = 60; // pixels per label of the frequency axis
constexpr int LabelRoomY = 24; // pixels per label of the |Z| axis

// The points with a place on the log axes: positive x, and positive y where yToo.
QList<QPointF> Positive(const QList<QPointF> &points, bool yToo) {
    QList<QPointF> kept;
    for (const QPointF &p : points)
        if (std::isfinite(p.x()) && std::isfinite(p.y()) && p.x() > 0.0 && (!yToo || p.y() > 0.0))
            kept.append(p);
    return kept;
}

// The points' places on the axes: log10 of x, and of y where yToo; points that have no place on
// a log axis are left out.
QList<Curve> Logarithmic(const QList<Curve> &curves, bool yToo) {
    QList<Curve> out = curves;
    for (Curve &curve : out) {
        QList<QPointF> kept;
        for (const QPointF &p : Positive(curve.points, yToo))
            kept.append(QPointF(std::log10(p.x()), yToo ? std::log10(p.y()) : p.y()));
        curve.points = kept;
    }
    return out;
}

// The whole steps of the decade (1…9 × 10^k) at or around low and high, so that a narrow span
// still has a labelled tick at each end.
Range DecadeSteps(Range range) {
    const auto step = [](double v, bool up) {
        const double decade = std::pow(10.0, std::floor(std::log10(v)));
        const double d = up ? std::ceil(v / decade - 1e-9) : std::floor(v / decade + 1e-9);
        return d * decade;
    };
    return {step(range.min, false), step(range.max, true)};
}

// Ticks at 1, 2, 5 (or every step) of each decade within the axis' range, labelled by label.
void SetLogTicks(QCategoryAxis *axis, Range range, int most,
                 const std::function<QString(const Sweep::FrequencyTick &)> &label) {
    for (const QString &old : axis->categoriesLabels())
        axis->remove(old);
    axis->setRange(std::log10(range.min), std::log10(range.max));
    axis->setStartValue(std::log10(range.min));
    for (const Sweep::FrequencyTick &tick : Sweep::LogFrequencyTicks(range.min, range.max, most))
        axis->append(label(tick), std::log10(tick.hz));
}

QCategoryAxis *LogAxis() {
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    return axis;
}

} // namespace

struct BodeChart::Parts {
    QChart *chart = nullptr; // owned by the view
    QChartView *view = nullptr;
    QCategoryAxis *frequency = nullptr; // log10 of hertz
    QCategoryAxis *magnitude = nullptr; // log10 of ohms
    QValueAxis *phase = nullptr;
    QList<Curve> magnitudeCurves; // as given, their points at positive f and |Z|
    QList<Curve> phaseCurves;     // as given, their points at positive f
    Range hz{100.0, 100000.0};
    Range ohms{1.0, 1000.0};
};

BodeChart::BodeChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
    d->chart = NewViewChart();
    d->frequency = LogAxis();
    d->magnitude = LogAxis();
    d->phase = new QValueAxis;
    StyleAxis(d->frequency, QStringLiteral("Частота, Hz"), font());
    StyleAxis(d->magnitude, QStringLiteral("|Z|, Ом"), font());
    StyleAxis(d->phase, QStringLiteral("θ, °"), font());
    d->phase->setLabelFormat(QStringLiteral("%.0f"));
    d->chart->addAxis(d->frequency, Qt::AlignBottom);
    d->chart->addAxis(d->magnitude, Qt::AlignLeft);
    d->chart->addAxis(d->phase, Qt::AlignRight);
    d->view = new QChartView(d->chart, this);
    d->view->setRenderHint(QPainter::Antialiasing);
    connect(d->chart, &QChart::plotAreaChanged, this, [this] { showTicks(); });
    fit();
}

BodeChart::~BodeChart() = default;

void BodeChart::setCurves(const QList<Curve> &magnitude, const QList<Curve> &phase) {
    d->chart->removeAllSeries();
    const QList<Curve> magnitudeShown = Logarithmic(magnitude, true);
    const QList<Curve> phaseShown = Logarithmic(phase, false);
    d->magnitudeCurves = magnitude;
    d->phaseCurves = phase;
    for (int k = 0; k < magnitude.size(); ++k)
        d->magnitudeCurves[k].points = Positive(magnitude[k].points, true);
    for (int k = 0; k < phase.size(); ++k)
        d->phaseCurves[k].points = Positive(phase[k].points, false);
    for (int k = 0; k < magnitudeShown.size(); ++k)
        AddCurve(d->chart, magnitudeShown[k], d->frequency, d->magnitude, k == 0 ? 2.0 : 1.0);
    for (int k = 0; k < phaseShown.size(); ++k) {
        QLineSeries *series = AddCurve(d->chart, phaseShown[k], d->frequency, d->phase,
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
        return d->hz;
    case Axis::Left:
        return d->ohms;
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

// Both log axes follow the points to whole steps of their decades; θ shows −90…90° at least,
// wider when a point lies beyond.
void BodeChart::fit() {
    const std::optional<Span> magnitude = SpanOf(d->magnitudeCurves, true, true);
    const std::optional<Span> phase = SpanOf(d->phaseCurves, true, false);
    d->hz = {100.0, 100000.0};
    if (magnitude || phase) {
        d->hz = magnitude ? magnitude->x : phase->x;
        if (phase) d->hz = {std::min(d->hz.min, phase->x.min), std::max(d->hz.max, phase->x.max)};
        d->hz = DecadeSteps(d->hz);
    }
    d->ohms = magnitude ? DecadeSteps(magnitude->y) : Range{1.0, 1000.0};
    for (Range *range : {&d->hz, &d->ohms})
        if (!(range->max > range->min)) *range = {range->min, range->min * 10.0};
    double low = -RightAngle, high = RightAngle;
    if (phase) {
        low = std::min(low, std::floor(phase->y.min / 10.0) * 10.0);
        high = std::max(high, std::ceil(phase->y.max / 10.0) * 10.0);
    }
    d->phase->setRange(low, high);
    d->phase->setTickCount(high - low == 2 * RightAngle ? 7 : 5);
    showTicks();
}

void BodeChart::showTicks() {
    const QRectF plot = d->chart->plotArea();
    SetLogTicks(d->frequency, d->hz, std::max(2, int(plot.width()) / LabelRoomX),
                [](const Sweep::FrequencyTick &tick) { return tick.label; });
    // The frequency's labels with the unit left to the title: "100", "2 k", "1 M".
    SetLogTicks(d->magnitude, d->ohms, std::max(2, int(plot.height()) / LabelRoomY),
                [](const Sweep::FrequencyTick &tick) {
                    return Sweep::FrequencyText(tick.hz).remove(QStringLiteral("Hz")).trimmed();
                });
}

} // namespace Chart
