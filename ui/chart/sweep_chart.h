// The sweep chart: a bottom axis, a value axis on the left and one on the right, one line series
// on each, a dimmed reference behind each, a dashed fitted curve over each, up to four markers
// and the places where the line to the meter came back. A thin adapter over Qt Charts, which
// nothing else includes.
#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QWidget>

class QLineSeries;
class QPainter;
class QPen;

#include <functional>
#include <memory>

namespace Chart {

enum class Axis { Bottom, Left, Right };

struct Range {
    double min = 0.0;
    double max = 0.0;
};

// A marker's place on the x axis and each series' value there (between two points: interpolated
// along the drawn line).
struct MarkerSpot {
    double x = 0.0;
    double y[2] = {};
    bool has[2] = {};
};

// The text of a marker; `first` is the first marker for the others (for their differences),
// null for the first itself.
using MarkerText = std::function<QString(const MarkerSpot &spot, const MarkerSpot *first)>;

struct Overlay;

class SweepChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int SeriesCount = 2; // series 0 on the left axis, series 1 on the right
    static constexpr int MarkerLimit = 4;
    static constexpr int OverlayLimit = 8;

    explicit SweepChart(QWidget *parent = nullptr);
    ~SweepChart() override;

    void setSeriesColor(int series, const QColor &color);
    void clearSeries(int series);
    // All points of a series at once, in one update. Points with a value that is not finite
    // are left out, and on a log axis points at x <= 0 too.
    void replacePoints(int series, const QList<QPointF> &points);
    void setSeriesActive(int series, bool active = true);
    bool isSeriesActive(int series) const;
    QList<QPointF> points(int series) const;
    // The held curve drawn dimmed behind a series, on the series' axis.
    void setReferencePoints(int series, const QList<QPointF> &points);
    // A fitted curve drawn dashed over a series, on the series' axis; the axes do not follow it.
    void setFittedPoints(int series, const QList<QPointF> &points);
    QList<QPointF> fittedPoints(int series) const;

    // Sorting limits: dashed lines across a series' points at low and high on its axis (NaN for
    // a side without a limit), and the points outside them drawn red. None by default; the
    // value axis takes them in with the points (unless zoomed).
    void setLimits(int series, double low, double high);
    void clearLimits(int series);
    QList<double> limits(int series) const; // the sides drawn
    QList<QPointF> outsidePoints(int series) const;

    // Other sweeps laid over the graph: each a thin line in its own colour on each series' axis
    // (behind the series), named in a legend at the plot's top right (in grey when it has no
    // point here). None by default; the axes take them in with the points. Beyond OverlayLimit
    // the rest are left out.
    void setOverlays(const QList<Overlay> &overlays);
    QList<Overlay> overlays() const; // as drawn: their finite points
    QString overlayLegend() const;   // the names shown, one line each

    void setAxisTitle(Axis axis, const QString &title);
    QString axisTitle(Axis axis) const;
    // The unit of a value axis, written under its title in the title's colour ("нФ", "кОм");
    // none by default. The bottom axis' title carries its own.
    void setAxisUnit(Axis axis, const QString &unit);
    QString axisUnit(Axis axis) const;
    Range axisRange(Axis axis) const;

    // A logarithmic x axis ticked at 1, 2, 5 of every decade with frequency labels; x values are
    // frequencies of hzPerUnit hertz each (1000 for an axis in kHz).
    void setLogAxis(bool on, double hzPerUnit = 1.0);
    bool isLogAxis() const;
    QStringList bottomLabels() const;
    // A log value axis for a series: its points, reference, fitted curve, limits and overlays
    // placed by the logarithm of their value, ticked at 1, 2, 5 of every decade; values at or
    // below zero are not drawn. Off by default.
    void setValueLog(int series, bool on);
    bool isValueLog(int series) const;
    // The points of a series as drawn, back in the given units (on log axes: the positive ones).
    QList<QPointF> drawnPoints(int series) const;
    // The labels of a value axis (series 0 left, 1 right), bottom to top.
    QStringList valueLabels(int series) const;
    // Whether the grid of a series' value axis is drawn: one grid only, the left axis' unless
    // only the right one has points.
    bool isGridShown(int series) const;
    // The legend of the traces drawn, one line each ("— Измерение", "— Опорная", "— Подбор" and
    // the overlays' names); empty while fewer than two are drawn.
    QString traceLegend() const;

    // Unless the user has zoomed in, the axes follow the points with a small margin.
    void fitToPoints();
    // x from low to high stays on the bottom axis with the points (a run's whole span while its
    // points come); NaN for none, the default.
    void setXSpan(double low, double high);
    bool isZoomed() const;
    // The plot area in this widget's coordinates.
    QRectF plotArea() const;

    // Markers, in the order placed. A click places one at the nearest point, a drag moves it
    // from point to point, a double click on it removes it.
    bool addMarker(double x); // false when all are placed
    void clearMarkers();
    QList<double> markers() const;
    QList<MarkerSpot> markerSpots() const;
    QString markerLegend() const; // the texts shown in the plot, one line per marker
    void setMarkerText(MarkerText text);
    // The x of the shown point nearest to pos along the x axis, or NaN.
    double nearestPointX(const QPoint &pos) const;

    // Where the line to the meter was lost and came back: a thin dashed line across the plot at
    // each x (the first point of a new connection), in a colour of its own, named by the text
    // in a small label beside it and in the tooltip. None by default.
    void setBreaks(const QList<double> &xs);
    QList<double> breaks() const;
    void setBreakText(const QString &text);

    // The tooltip for the mouse at pos (widget coordinates): x and value of the nearest shown
    // point within a few pixels, then the break's text on a break's line; else empty.
    QString toolTipAt(const QPoint &pos) const;

    // The chart painted into target for print: laid out at size (the painter scales it to
    // target), on a light ground with dark text and lines, then put back as it was before the
    // screen is repainted (sweep_chart_print.cpp).
    void renderForPrint(QPainter *painter, const QRectF &target, const QSize &size);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class View;
    struct Parts;
    std::unique_ptr<Parts> d;

    // Construction, step by step (sweep_chart.cpp).
    void buildChart();
    void buildAxes();
    QLineSeries *addSeries(int side, const QPen &pen);
    void buildSeries();
    void followAxisRanges();
    void buildMarkers();
    void buildLimits();
    void showLimits(int series);

    QList<QPointF> shownPoints(const QList<QPointF> &given, int series) const;
    double shownY(double y, int series) const; // y as the series' axis holds it (NaN: no place)
    double givenY(double y, int series) const; // back from the axis
    void updateValueTicks(int series);
    void showGrid();
    void showPoints(int series);
    void layOutTitles();
    void layOutMarkers();
    void updateMargins();
    void updateLogTicks();
    double shownX(double x) const; // x as the axis holds it
    int markerAt(const QPoint &pos) const;
    void moveMarker(int marker, double x);
    void removeMarker(int marker);
    void layOutBreaks();
    bool nearBreak(const QPointF &chartPos) const;
    void buildOverlays();
    void showOverlays();
    void layOutOverlayLegend();
    QList<int> tracesDrawn() const; // 0 the run, 1 its reference, 2 the fitted curve
    void layOutAt(const QSize &size);
};

struct Overlay {
    QString name;
    QColor colour;
    QList<QPointF> points[SweepChart::SeriesCount]; // on each series' axis, in its unit
};

} // namespace Chart
