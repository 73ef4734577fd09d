#include "ui/chart/nyquist_chart.h"

#include "ui/chart/equal_scale.h"
#include "ui/chart/sweep_chart_parts.h"
#include "ui/chart/view_chart_look.h"

namespace Chart {

struct NyquistChart::Parts {
    QChart *chart = nullptr; // owned by the view
    QChartView *view = nullptr;
    QValueAxis *r = nullptr;
    QValueAxis *x = nullptr;
    QList<Curve> curves;
    bool fitting = false; // the ranges set move the plot area, which asks for a fit again
};

NyquistChart::NyquistChart(QWidget *parent) : QWidget(parent), d(std::make_unique<Parts>()) {
    d->chart = NewViewChart();
    d->r = new QValueAxis;
    d->x = new QValueAxis;
    StyleAxis(d->r, QStringLiteral("R, Ом"), font());
    StyleAxis(d->x, QStringLiteral("−X, Ом"), font());
    for (QValueAxis *axis : {d->r, d->x}) {
        axis->setLabelFormat(LabelFormat);
        axis->setTickAnchor(0.0);
    }
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
    // The same round step on both axes, as their scale is one.
    const QRectF plot = d->chart->plotArea();
    const double step = RoundTickStep(r.min, r.max, plot.width() > plot.height() ? 8 : 6);
    for (QValueAxis *axis : {d->r, d->x})
        ApplyTickStep(axis, 0.0);
    d->r->setRange(r.min, r.max);
    d->x->setRange(x.min, x.max);
    for (QValueAxis *axis : {d->r, d->x})
        ApplyTickStep(axis, step);
    d->fitting = false;
}

} // namespace Chart
