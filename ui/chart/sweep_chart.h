// The sweep chart: a bottom axis, a value axis on the left and one on the right, and one line
// series on each. A thin adapter over Qt Charts, which nothing else includes.
#pragma once

#include <QList>
#include <QPointF>
#include <QWidget>

#include <memory>

namespace Chart {

enum class Axis { Bottom, Left, Right };

struct Range {
    double min = 0.0;
    double max = 0.0;
};

class SweepChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int SeriesCount = 2; // series 0 on the left axis, series 1 on the right

    explicit SweepChart(QWidget *parent = nullptr);
    ~SweepChart() override;

    void setSeriesColor(int series, const QColor &color);
    void clearSeries(int series);
    void addPoint(int series, double x, double y);
    // All points of a series at once, in one update. Points with a value that is not finite
    // are left out.
    void replacePoints(int series, const QList<QPointF> &points);
    void setSeriesActive(int series, bool active = true);
    bool isSeriesActive(int series) const;
    QList<QPointF> points(int series) const;

    void setAxisTitle(Axis axis, const QString &title);
    QString axisTitle(Axis axis) const;
    Range axisRange(Axis axis) const;

    // Unless the user has zoomed in, the axes follow the points with a small margin.
    void fitToPoints();
    bool isZoomed() const;
    // Zooms into a rectangle of the plot, in this widget's coordinates (what a drag does).
    void zoomTo(const QRectF &area);
    // The plot area in this widget's coordinates.
    QRectF plotArea() const;

    // The tooltip for the mouse at pos (widget coordinates): x and value of the nearest shown
    // point within a few pixels, else empty.
    QString toolTipAt(const QPoint &pos) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class View;
    struct Parts;
    std::unique_ptr<Parts> d;

    void layOutTitles();
    void updateMargins();
};

} // namespace Chart
