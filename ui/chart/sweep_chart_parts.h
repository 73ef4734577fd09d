// What the pieces of the sweep chart share: its look, the parts it is built of and the view that
// takes the mouse. Private to the chart's target; the one place besides its sources that names Qt
// Charts.
#pragma once

#include "ui/chart/sweep_chart.h"
#include "ui/chart/tick_axis.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

namespace Chart {

inline const QColor Silver(192, 192, 192);
inline const QColor Orange(255, 128, 0);
inline const QColor Fuchsia(255, 0, 255);
inline const QColor Lime(0, 255, 0);
inline const QColor Teal(0, 128, 128);
inline const QColor Olive(128, 128, 64);
inline const QColor DarkGrey(64, 64, 64);
inline const QColor Yellow(255, 255, 0); // the breaks of the line to the meter

// The chart's margins, as shares of its size.
constexpr double MarginTop = 0.15;
constexpr double MarginBottom = 0.05;
constexpr double MarginSide = 0.01;
constexpr int TitleGap = 4;           // pixels between a side title and the axis labels
constexpr double ValuePadding = 0.05; // share of the span left free above and below the points
constexpr double XPadding = 0.01;
constexpr int HoverReach = 8;    // pixels within which the mouse names a point
constexpr int MarkerReach = 5;   // pixels within which a press takes hold of a marker
constexpr int LogLabelRoom = 60; // pixels per label on a log axis
constexpr int LogValueRoom = 24; // pixels per label on a log value axis
constexpr int LogLabelGap = 6;   // pixels at least between two labels of a log value axis
constexpr int TicksX = 10;
constexpr int TicksY = 8;
constexpr int OverlayLimit = SweepChart::OverlayLimit;
// Each series' colour, also its title's, its reference's (dimmed) and its marker dots'.
inline const QColor SeriesColour[SweepChart::SeriesCount] = {Fuchsia, Lime};

// sweep_chart_markers.cpp
QString DefaultMarkerText(const MarkerSpot &spot, const MarkerSpot *first);

struct SweepChart::Parts {
    QChart *chart = nullptr; // owned by the view
    View *view = nullptr;    // child widget
    QCategoryAxis *bottom = nullptr;
    QCategoryAxis *logBottom = nullptr; // in place of bottom on a log axis
    // Each holds its series' values, or their log10 where logValue.
    QCategoryAxis *side[SeriesCount] = {};
    bool logValue[SeriesCount] = {};
    QLineSeries *series[SeriesCount] = {};
    QLineSeries *reference[SeriesCount] = {};
    QList<QPointF> raw[SeriesCount];          // the finite points as given
    QList<QPointF> referenceRaw[SeriesCount]; // likewise
    QLineSeries *fitCurve[SeriesCount] = {};
    QList<QPointF> fitCurveRaw[SeriesCount]; // likewise
    // Sorting limits across a series (NaN: no such side) and its points outside them.
    QLineSeries *limitLine[SeriesCount][2] = {};
    QScatterSeries *outside[SeriesCount] = {};
    double limit[SeriesCount][2] = {{NAN, NAN}, {NAN, NAN}};
    bool limited[SeriesCount] = {};
    QGraphicsSimpleTextItem *sideTitle[SeriesCount] = {};
    QGraphicsSimpleTextItem *sideUnit[SeriesCount] = {};    // under the title
    Range fitted[SeriesCount] = {{-1.0, 1.0}, {-1.0, 1.0}}; // kept while a series is empty
    bool zoomed = false;
    bool logAxis = false;
    double hzPerUnit = 1.0;
    Range span{std::nan(""), std::nan("")}; // x the bottom axis takes in besides the points

    QList<double> markers; // x of each, in the order placed
    struct MarkerItems {
        QGraphicsLineItem *line = nullptr;
        QGraphicsSimpleTextItem *number = nullptr;
        QGraphicsEllipseItem *dot[SeriesCount] = {};
    };
    MarkerItems markerItems[MarkerLimit];
    QGraphicsRectItem *legendBox = nullptr;
    QGraphicsSimpleTextItem *legend = nullptr;
    MarkerText markerText = DefaultMarkerText;

    QList<double> breaks; // x of each
    struct BreakItems {
        QGraphicsLineItem *line = nullptr;
        QGraphicsSimpleTextItem *label = nullptr;
    };
    QList<BreakItems> breakItems; // made as breaks come, hidden when fewer are left
    QString breakText;

    // Overlays: all their series made at the start, behind the references, hidden when unused.
    QList<Overlay> overlays; // finite points, as given
    QLineSeries *overlaySeries[OverlayLimit][SeriesCount] = {};
    // The span of the overlays' shown points on each series' axes, kept for the axes to follow.
    struct Bounds {
        bool any = false;
        double xLow = 0.0, xHigh = 0.0, yLow = 0.0, yHigh = 0.0;
    };
    Bounds overlayBounds[SeriesCount];
    // One legend of the traces drawn (the run, its reference, the fitted curve, the overlays),
    // shown when there are two or more.
    QGraphicsRectItem *overlayBox = nullptr;
    QGraphicsSimpleTextItem *traceNames[3] = {}; // the run, the reference, the fitted curve
    QGraphicsSimpleTextItem *overlayNames[OverlayLimit] = {};

    QValueAxis *shownBottom() const { return logAxis ? logBottom : bottom; }
};

// Qt's chart view with the mouse behaviour of the sweep chart (sweep_chart_view.cpp).
class SweepChart::View : public QChartView {
public:
    View(QChart *chart, SweepChart *owner);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    SweepChart *m_owner;
    int m_dragged = -1; // the marker the left button holds
    int m_placed = -1;  // the marker the last click placed, while a double click may follow
    QElapsedTimer m_sincePlaced;
    QPoint m_pressedAt;
    QPoint m_placedAt;
    bool m_afterDouble = false;
};

} // namespace Chart
