#include "ui/residual_chart/residual_chart.h"

#include "sweep/frequency_ticks.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace Residuals {

namespace {

constexpr int LabelRoomX = 60; // pixels per label of the frequency axis

QList<QPointF> Finite(const QList<QPointF> &points) {
    QList<QPointF> kept;
    for (const QPointF &p : points)
        if (std::isfinite(p.x()) && std::isfinite(p.y()) && p.x() > 0.0) kept.append(p);
    return kept;
}

QList<QPointF> Logarithmic(const QList<QPointF> &points) {
    QList<QPointF> out;
    for (const QPointF &p : points)
        out.append(QPointF(std::log10(p.x()), p.y()));
    return out;
}

QLineSeries *AddSeries(QChart *chart, const QString &name, const QColor &colour, Qt::PenStyle style,
                       bool dots) {
    auto *series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setWidthF(1.0);
    pen.setStyle(style);
    series->setPen(pen);
    series->setPointsVisible(dots);
    series->setMarkerSize(4.0);
    chart->addSeries(series);
    return series;
}

} // namespace

double PercentSpan(double largest) {
    if (!(largest > 0.1)) return 0.1;
    const double decade = std::pow(10.0, std::floor(std::log10(largest)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * decade >= largest * (1.0 - 1e-12)) return step * decade;
    return 10.0 * decade;
}

struct ResidualChart::Parts {
    QChart *chart = nullptr; // owned by the view
    QChartView *view = nullptr;
    QCategoryAxis *frequency = nullptr; // log10 of hertz
    QValueAxis *percent = nullptr;
    QLineSeries *real = nullptr;
    QLineSeries *imaginary = nullptr;
    QLineSeries *zero = nullptr;
    QList<QPointF> realPoints; // as shown, in Hz
    QList<QPointF> imaginaryPoints;
    double lowHz = 100.0;
    double highHz = 100000.0;
    double span = 0.1;
};

ResidualChart::ResidualChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
    d->chart = new QChart;
    d->chart->setAnimationOptions(QChart::NoAnimation);
    // Room on the right for the last frequency label, centred on the axis end.
    d->chart->setMargins(QMargins(4, 4, 28, 4));
    d->chart->legend()->setAlignment(Qt::AlignTop);
    d->frequency = new QCategoryAxis;
    d->frequency->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    d->frequency->setTitleText(QStringLiteral("Частота, Hz"));
    d->percent = new QValueAxis;
    d->percent->setTitleText(QStringLiteral("Остаток, %"));
    d->percent->setLabelFormat(QStringLiteral("%.3g"));
    d->percent->setTickCount(5);
    d->chart->addAxis(d->frequency, Qt::AlignBottom);
    d->chart->addAxis(d->percent, Qt::AlignLeft);
    d->zero = AddSeries(d->chart, QString(), Qt::gray, Qt::DashLine, false);
    d->real = AddSeries(d->chart, QStringLiteral("Re"), QColor(0, 90, 200), Qt::SolidLine, true);
    d->imaginary =
        AddSeries(d->chart, QStringLiteral("Im"), QColor(200, 30, 30), Qt::SolidLine, true);
    for (QLineSeries *series : {d->zero, d->real, d->imaginary}) {
        series->attachAxis(d->frequency);
        series->attachAxis(d->percent);
    }
    for (QLegendMarker *marker : d->chart->legend()->markers(d->zero))
        marker->setVisible(false);
    d->view = new QChartView(d->chart, this);
    d->view->setRenderHint(QPainter::Antialiasing);
    connect(d->chart, &QChart::plotAreaChanged, this, [this] { showTicks(); });
    setResiduals({}, {});
}

ResidualChart::~ResidualChart() = default;

void ResidualChart::setResiduals(const QList<QPointF> &real, const QList<QPointF> &imaginary) {
    d->realPoints = Finite(real);
    d->imaginaryPoints = Finite(imaginary);
    double low = HUGE_VAL, high = 0.0, largest = 0.0;
    for (const QList<QPointF> *points : {&d->realPoints, &d->imaginaryPoints})
        for (const QPointF &p : *points) {
            low = std::min(low, p.x());
            high = std::max(high, p.x());
            largest = std::max(largest, std::fabs(p.y()));
        }
    if (high > 0.0) {
        d->lowHz = low;
        d->highHz = high > low ? high : low * 10.0;
    } else {
        d->lowHz = 100.0;
        d->highHz = 100000.0;
    }
    d->span = PercentSpan(largest);
    d->real->replace(Logarithmic(d->realPoints));
    d->imaginary->replace(Logarithmic(d->imaginaryPoints));
    d->zero->replace({QPointF(std::log10(d->lowHz), 0.0), QPointF(std::log10(d->highHz), 0.0)});
    d->percent->setRange(-d->span, d->span);
    showTicks();
}

QList<QPointF> ResidualChart::realPoints() const {
    return d->realPoints;
}

QList<QPointF> ResidualChart::imaginaryPoints() const {
    return d->imaginaryPoints;
}

double ResidualChart::percentSpan() const {
    return d->span;
}

void ResidualChart::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    d->view->setGeometry(rect());
}

// Ticks at 1, 2, 5 of each decade (or every step of a narrow span) labelled with prefixes.
void ResidualChart::showTicks() {
    for (const QString &old : d->frequency->categoriesLabels())
        d->frequency->remove(old);
    const double low = std::log10(d->lowHz), high = std::log10(d->highHz);
    d->frequency->setRange(low, high);
    d->frequency->setStartValue(low);
    const int most = std::max(2, static_cast<int>(d->chart->plotArea().width()) / LabelRoomX);
    for (const Sweep::FrequencyTick &tick : Sweep::LogFrequencyTicks(d->lowHz, d->highHz, most))
        d->frequency->append(tick.label, std::log10(tick.hz));
}

} // namespace Residuals
