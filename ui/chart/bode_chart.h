// The Bode view: |Z| on a log axis (left, solid) and θ in degrees (right, dashed) against the
// frequency on a log axis (both ticked at 1, 2, 5 of each decade, or every step of a narrow one),
// for the current sweep and the overlaid ones, each pair in its colour and named once in the
// legend.
#pragma once

#include "ui/chart/curve.h"
#include "ui/chart/sweep_chart.h"

#include <QWidget>

#include <memory>

namespace Chart {

class BodeChart : public QWidget {
    Q_OBJECT

public:
    explicit BodeChart(QWidget *parent = nullptr);
    ~BodeChart() override;

    // magnitude[k] and phase[k] belong to one sweep: (Hz, ohms) and (Hz, degrees). Points at
    // no positive frequency or magnitude are left out of the log axes.
    void setCurves(const QList<Curve> &magnitude, const QList<Curve> &phase);
    QList<Curve> magnitudeCurves() const;
    QList<Curve> phaseCurves() const;
    // Bottom: Hz, Left: |Z|, Right: θ.
    Range axisRange(Axis axis) const;
    bool isLogAxis(Axis axis) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Parts;
    std::unique_ptr<Parts> d;
    void fit();
    void showTicks();
};

} // namespace Chart
