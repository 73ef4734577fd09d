// Where the main window and its graph panel put things at a given size: plain arithmetic on
// rectangles, so the window can be resized and still fit a small or scaled screen. The designed
// sizes give the designed places.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace Main {

// The graph panel's designed size, and the least it can be made before its controls overlap.
constexpr QSize DesignedGraphPanel(825, 689);
constexpr QSize LeastGraphPanel(646, 408);

// The window manager's frame before the window is shown and its own is known: room for a title
// bar and thin borders, so that a window opened on a small screen is not taller than it.
constexpr QMargins AssumedWindowFrame(4, 32, 4, 4);

// The places of the graph panel's children that move or grow with it: the group "Развёртка"
// (beside "Шаг частоты", or below it when the panel is too narrow for one row), the chart and
// its track bar (the latter in the chart's coordinates).
struct GraphPanelPlaces {
    QRect swept;
    QRect chart;
    QRect marker;
};
GraphPanelPlaces GraphPanelLayout(QSize panel);

// The place of the side panel (graph or calibration) in the central widget of that size: the
// designed place at the designed size, growing with the window, never below LeastGraphPanel.
QRect SidePanelPlace(QSize central);

// The least size of the window's own area for the panels shown; bars: the tool bar's and
// the status bar's heights together.
QSize LeastWindowSize(bool keys, bool sidePanel, int bars);

// The window's own area at the size wanted (the designed one), made small enough that the
// frame around it (frame: the window manager's margins) fits the screen's available area, but
// not below least; and moved so that the frame lies on the screen where it can. wanted's top
// left is where the window wants to stand.
QRect FitOnScreen(const QRect &wanted, const QMargins &frame, const QRect &available, QSize least);

} // namespace Main
