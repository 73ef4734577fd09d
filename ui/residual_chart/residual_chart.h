// A fit's relative residuals against frequency: the real and imaginary parts in percent on a
// linear axis symmetric about zero, the frequency on a log axis.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>

#include <memory>

namespace Residuals {

class ResidualChart : public QWidget {
    Q_OBJECT

public:
    explicit ResidualChart(QWidget *parent = nullptr);
    ~ResidualChart() override;

    // Points (Hz, %) of the real and the imaginary part; points at no positive finite frequency
    // or no finite value are left out.
    void setResiduals(const QList<QPointF> &real, const QList<QPointF> &imaginary);
    QList<QPointF> realPoints() const;
    QList<QPointF> imaginaryPoints() const;
    // The value axis' half span in percent.
    double percentSpan() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Parts;
    std::unique_ptr<Parts> d;
    void showTicks();
};

// The value axis' half span for the largest |residual| (percent): the next 1, 2 or 5 of its
// decade, at least 0.1.
double PercentSpan(double largest);

} // namespace Residuals
