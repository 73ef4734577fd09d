// The Nyquist view: −X against R of the current sweep and the overlaid ones, one scale on both
// axes so that a semicircle is drawn round, each curve in its colour and named in the legend.
#pragma once

#include "ui/chart/curve.h"
#include "ui/chart/sweep_chart.h"

#include <QWidget>

#include <memory>

namespace Chart {

class NyquistChart : public QWidget {
    Q_OBJECT

public:
    explicit NyquistChart(QWidget *parent = nullptr);
    ~NyquistChart() override;

    // Points are (R, −X) in ohms; the axes follow all of them at one scale.
    void setCurves(const QList<Curve> &curves);
    QList<Curve> curves() const;
    // Bottom: R, Left: −X.
    Range axisRange(Axis axis) const;
    QRectF plotArea() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Parts;
    std::unique_ptr<Parts> d;
    void fit();
};

} // namespace Chart
