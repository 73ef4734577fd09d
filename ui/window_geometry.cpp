// The window's and the graph panel's places at a given size.
#include "ui/window_geometry.h"

#include <algorithm>

namespace Main {

namespace {

// The designed places, in the panel at its designed size.
constexpr QPoint SidePanelOrigin(384, 32);
constexpr QMargins SidePanelRoom(0, 0, 24, 29); // right and below, at the designed window size
constexpr QRect DesignedSwept(650, 0, 120, 65);
constexpr QRect DesignedChart(8, 80, 811, 605);
constexpr QRect DesignedMarker(38, 58, 751, 25);
constexpr int SpacingRight = 642;   // the right edge of "Шаг частоты"
constexpr int GroupRowStep = 68;    // from one row of groups to the next
constexpr int ChartRight = 6;       // from the chart to the panel's right edge
constexpr int ChartBelow = 4;       // from the chart to the panel's bottom
constexpr int MarkerSides = 60;     // the track bar is this much narrower than the chart
constexpr int CompactContent = 390; // the designed heights and width of the left part
constexpr int KeysContent = 605;
constexpr int CompactWidth = 390;

} // namespace

GraphPanelPlaces GraphPanelLayout(QSize panel) {
    GraphPanelPlaces places;
    places.swept = DesignedSwept;
    int chartTop = DesignedChart.top();
    if (panel.width() < DesignedSwept.right() + 1 + ChartRight + 2) {
        // One row does not hold the three groups: "Развёртка" goes below "Шаг частоты".
        places.swept.moveTopLeft(QPoint(SpacingRight - DesignedSwept.width(), GroupRowStep));
        chartTop += GroupRowStep;
    }
    places.chart = QRect(DesignedChart.left(), chartTop,
                         std::max(1, panel.width() - DesignedChart.left() - ChartRight),
                         std::max(1, panel.height() - chartTop - ChartBelow));
    places.marker = DesignedMarker;
    places.marker.setWidth(std::max(1, places.chart.width() - MarkerSides));
    return places;
}

QRect SidePanelPlace(QSize central) {
    const int width = central.width() - SidePanelOrigin.x() - SidePanelRoom.right();
    const int height = central.height() - SidePanelOrigin.y() - SidePanelRoom.bottom();
    return QRect(SidePanelOrigin, QSize(std::max(width, LeastGraphPanel.width()),
                                        std::max(height, LeastGraphPanel.height())));
}

QSize LeastWindowSize(bool keys, bool sidePanel, int bars) {
    int width = CompactWidth;
    int height = bars + (keys ? KeysContent : CompactContent);
    if (sidePanel) {
        width = SidePanelOrigin.x() + LeastGraphPanel.width() + ChartRight;
        // The status bar is below the central widget; the tool bar is inside it.
        height = std::max(height, bars + SidePanelOrigin.y() + LeastGraphPanel.height());
    }
    return QSize(width, height);
}

QRect FitOnScreen(const QRect &wanted, const QMargins &frame, const QRect &available, QSize least) {
    const QSize room = available.size().shrunkBy(frame);
    QSize size = wanted.size().boundedTo(room).expandedTo(least);
    QRect outer(wanted.topLeft() - QPoint(frame.left(), frame.top()), size.grownBy(frame));
    // Left and up as far as needed for the frame to end on the screen, never past its start.
    outer.moveRight(std::min(outer.right(), available.right()));
    outer.moveBottom(std::min(outer.bottom(), available.bottom()));
    outer.moveLeft(std::max(outer.left(), available.left()));
    outer.moveTop(std::max(outer.top(), available.top()));
    return QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), size);
}

} // namespace Main
