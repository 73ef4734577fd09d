#include "ui/chart/nyquist_chart.h"

#include "sweep/plot_scale.h"
#include "ui/chart/equal_scale.h"
#include "ui/chart/tick_axis.h"
#include "ui/chart/view_chart_look.h"

#include <algorithm>
#include <cmath>

namespace Chart {

struct NyquistChart::Parts {
    QChart *chart = nullptr; // owned by the view
    QChartView *view = nullptr;
    QCategoryAxis *r = nullptr;
    QCategoryAxis *x = nullptr;
    QList<Curve> curves;
    bool fitting = false; // the ranges set move the plot area, which asks for a fit again
};

NyquistChart::NyquistChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
    d->chart = NewViewChart();
    d->r = NewTickAxis();
    d->x = NewTickAxis();
    StyleAxis(d->r, QStringLiteral("R, Ом"), font());
    StyleAxis(d->x, QStringLiteral("−X, Ом"), font());
    d->chart->addAxis(d->r, Qt::AlignBottom);
    d->chart->addAxis(d->x, Qt::AlignLeft);
    d->view = new QChartView(d->chart, this);
    d->view->setRenderHint(QPainter::Antialiasing);
    connect(d->chart, &QChart::plotAreaChanged, this, [this] { fit(); });
    fit();
}

NyquistChart::~NyquistChart() = default;

void NyquistChart::setCurves(const QList<Curve> &curves) {
    d->chart->removeAllSeries();
    d->curves = curves;
    for (int k = 0; k < curves.size(); ++k)
        AddCurve(d->chart, curves[k], d->r, d->x, k == 0 ? 2.0 : 1.0);
    fit();
}

QList<Curve> NyquistChart::curves() const {
    return d->curves;
}

Range NyquistChart::axisRange(Axis axis) const {
    const QValueAxis *a = axis == Axis::Left ? d->x : d->r;
    return {a->min(), a->max()};
}

QRectF NyquistChart::plotArea() const {
    return d->chart->plotArea();
}

void NyquistChart::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    d->view->setGeometry(rect());
}

void NyquistChart::fit() {
    if (d->fitting) return;
    d->fitting = true;
    const std::optional<Span> span = SpanOf(d->curves, false, false);
    const Span shown = span ? *span : Span{{0.0, 1.0}, {0.0, 1.0}};
    const auto [r, x] = EqualScaleRanges(shown.x, shown.y, d->chart->plotArea().size());
    // The same round step on both axes, as their scale is one, in a unit with a prefix that
    // suits the largest value.
    const QRectF plot = d->chart->plotArea();
    const Sweep::UnitScale unit = Sweep::OhmsScale(
        std::max({std::fabs(r.min), std::fabs(r.max), std::fabs(x.min), std::fabs(x.max)}));
    d->r->setTitleText(QStringLiteral("R, ") + unit.unit);
    d->x->setTitleText(QStringLiteral("−X, ") + unit.unit);
    const double step =
        Sweep::RoundStep((r.max - r.min) / unit.factor, plot.width() > plot.height() ? 8 : 6);
    d->r->setRange(r.min, r.max);
    d->x->setRange(x.min, x.max);
    for (QCategoryAxis *axis : {d->r, d->x}) {
        std::vector<Sweep::AxisTick> ticks =
            Sweep::TicksAtStep(axis->min() / unit.factor, axis->max() / unit.factor, step);
        for (Sweep::AxisTick &tick : ticks)
            tick.value *= unit.factor;
        ShowTicks(axis, ticks);
    }
    d->fitting = false;
}

} // namespace Chart
