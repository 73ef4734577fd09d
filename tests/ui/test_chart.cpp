// The sweep chart: series updates, axes that follow the points, zoom by a dragged rectangle and
// a double click, the right mouse button left alone, the tooltip of the point under the mouse, and
// the marks where the line to the meter came back.
#include "ui/chart/sweep_chart.h"

#include <QGraphicsView>
#include <QToolTip>
#include <QtTest>

#include <cmath>
#include <limits>

using Chart::Axis;
using Chart::SweepChart;

namespace {

QList<QPointF> Line(std::initializer_list<double> ys, double x0 = 1.0) {
    QList<QPointF> points;
    double x = x0;
    for (double y : ys)
        points.append(QPointF(x++, y));
    return points;
}

// The chart at its designed size, laid out.
struct Shown {
    SweepChart chart;
    Shown() {
        chart.resize(811, 605);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
    }
};

QPoint Position(SweepChart &chart, const QPointF &value, int series) {
    // The plot area maps the axis ranges linearly; series 1 uses the right axis.
    const QRectF plot = chart.plotArea();
    const Chart::Range x = chart.axisRange(Axis::Bottom);
    const Chart::Range y = chart.axisRange(series == 0 ? Axis::Left : Axis::Right);
    const double px = plot.left() + (value.x() - x.min) / (x.max - x.min) * plot.width();
    const double py = plot.bottom() - (value.y() - y.min) / (y.max - y.min) * plot.height();
    return QPointF(px, py).toPoint();
}

// How many pixels of the chart inside area have this colour.
int ColouredPixels(SweepChart &chart, const QColor &colour, const QRect &area) {
    const QImage image = chart.grab().toImage();
    int count = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            if (image.pixelColor(x, y) == colour) ++count;
    return count;
}

// The column of x in the plot, on a linear or a log axis, a pixel either side and top to bottom.
QRect ColumnAt(SweepChart &chart, double x) {
    const QRectF plot = chart.plotArea();
    const Chart::Range r = chart.axisRange(Axis::Bottom);
    const double share = chart.isLogAxis()
                             ? (std::log10(x) - std::log10(r.min)) / std::log10(r.max / r.min)
                             : (x - r.min) / (r.max - r.min);
    const int px = qRound(plot.left() + share * plot.width());
    return QRect(px - 1, qRound(plot.top()) + 1, 3, qRound(plot.height()) - 2);
}

// How many pixels inside area are yellow, however the line's edge is blended.
int YellowPixels(SweepChart &chart, const QRect &area) {
    const QImage image = chart.grab().toImage();
    int count = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right());
             ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() > 150 && c.blue() < 100) ++count;
        }
    return count;
}

// A drag with the left button across area, as a user zooms.
void Drag(QWidget *viewport, const QRectF &area) {
    const QPoint from = area.topLeft().toPoint(), to = area.bottomRight().toPoint();
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, (from + to) / 2);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT

private slots:
    // A flat line, a single x and an ordinary curve all get axes of some size around the points.
    void axesFitThePoints_data() {
        QTest::addColumn<QList<QPointF>>("points");
        QTest::newRow("flat at zero") << Line({0.0, 0.0, 0.0});
        QTest::newRow("flat at 5") << Line({5.0, 5.0});
        QTest::newRow("flat at -2e-12") << Line({-2e-12, -2e-12});
        QTest::newRow("rising") << Line({0.0, 4.0, 10.0});
        QTest::newRow("one frequency") << QList<QPointF>{{50.0, 1.0}, {50.0, 3.0}};
        QTest::newRow("huge") << Line({-3e38, 3e38});
    }
    void axesFitThePoints() {
        QFETCH(QList<QPointF>, points);
        Shown s;
        for (int series = 0; series < SweepChart::SeriesCount; ++series) {
            s.chart.replacePoints(series, points);
            QCOMPARE(s.chart.points(series), points);
            double low = points.first().y(), high = low;
            for (const QPointF &p : points) {
                low = std::min(low, p.y());
                high = std::max(high, p.y());
            }
            const Chart::Range y = s.chart.axisRange(series == 0 ? Axis::Left : Axis::Right);
            QVERIFY2(y.min < low && y.max > high, qPrintable(QString::number(y.min)));
            QVERIFY(std::isfinite(y.min) && std::isfinite(y.max));
            if (high > low) { // a small margin, not a new scale
                QVERIFY(y.max - y.min < 1.2 * (high - low));
            }
        }
        const Chart::Range x = s.chart.axisRange(Axis::Bottom);
        QVERIFY(x.min < points.first().x() && x.max > points.last().x());
    }

    void valuesThatAreNotFiniteAreLeftOut() {
        Shown s;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        s.chart.replacePoints(0, {{1.0, 2.0}, {2.0, nan}, {3.0, inf}, {4.0, 3.0}, {nan, 1.0}});
        QCOMPARE(s.chart.points(0), (QList<QPointF>{{1.0, 2.0}, {4.0, 3.0}}));
        const Chart::Range y = s.chart.axisRange(Axis::Left);
        QVERIFY(y.min < 2.0 && y.max > 3.0 && y.max < 4.0);
        // The line between the two points is drawn in the series' colour, and nothing else is.
        const QPoint a = Position(s.chart, QPointF(1.0, 2.0), 0);
        const QPoint b = Position(s.chart, QPointF(4.0, 3.0), 0);
        const QRect plot = s.chart.plotArea().toRect();
        const QColor fuchsia(255, 0, 255);
        QCOMPARE(ColouredPixels(s.chart, fuchsia, QRect(a, b).normalized().adjusted(-2, -2, 2, 2)),
                 ColouredPixels(s.chart, fuchsia, plot));
        QVERIFY(ColouredPixels(s.chart, fuchsia, plot) > b.x() - a.x() - 4);
        s.chart.clearSeries(0);
        QCOMPARE(ColouredPixels(s.chart, fuchsia, plot), 0);
    }

    void seriesOperations() {
        Shown s;
        s.chart.replacePoints(1, Line({1.0, 2.0, 7.0}));
        QCOMPARE(s.chart.points(1), Line({1.0, 2.0, 7.0}));
        QVERIFY(s.chart.axisRange(Axis::Right).max > 7.0);
        s.chart.clearSeries(1);
        QVERIFY(s.chart.points(1).isEmpty());
        s.chart.setSeriesActive(0, false);
        QVERIFY(!s.chart.isSeriesActive(0));
        s.chart.setSeriesActive(0);
        QVERIFY(s.chart.isSeriesActive(0));
        s.chart.setAxisTitle(Axis::Left, QStringLiteral("C"));
        s.chart.setAxisTitle(Axis::Right, QStringLiteral("D"));
        s.chart.setAxisTitle(Axis::Bottom, QStringLiteral("Отсчеты"));
        QCOMPARE(s.chart.axisTitle(Axis::Left), QStringLiteral("C"));
        QCOMPARE(s.chart.axisTitle(Axis::Right), QStringLiteral("D"));
        QCOMPARE(s.chart.axisTitle(Axis::Bottom), QStringLiteral("Отсчеты"));
        s.chart.replacePoints(7, Line({1.0})); // no such series: nothing happens
        QVERIFY(s.chart.points(7).isEmpty());
    }

    // Dragging a rectangle zooms in and new points leave the zoom alone; the right button does
    // not zoom out; a double click fits the axes to the points again.
    void zoomAndFitAgain() {
        Shown s;
        s.chart.replacePoints(0, Line({0.0, 10.0, 20.0, 30.0, 40.0}));
        const Chart::Range fullX = s.chart.axisRange(Axis::Bottom);
        QWidget *viewport = s.chart.findChild<QGraphicsView *>()->viewport();
        const QRectF plot = s.chart.plotArea();
        const QPoint from = plot.topLeft().toPoint() + QPoint(plot.width() / 4, 10);
        const QPoint to = plot.bottomRight().toPoint() - QPoint(plot.width() / 4, 10);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, (from + to) / 2);
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
        QVERIFY(s.chart.isZoomed());
        const Chart::Range zoomedX = s.chart.axisRange(Axis::Bottom);
        QVERIFY(zoomedX.min > fullX.min && zoomedX.max < fullX.max);

        s.chart.replacePoints(0, Line({0.0, 10.0, 20.0, 30.0, 40.0, 50.0, 60.0}));
        QCOMPARE(s.chart.axisRange(Axis::Bottom).max, zoomedX.max);

        QTest::mousePress(viewport, Qt::RightButton, {}, (from + to) / 2);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, (from + to) / 2);
        QVERIFY(s.chart.isZoomed());
        QCOMPARE(s.chart.axisRange(Axis::Bottom).max, zoomedX.max);

        QTest::mouseDClick(viewport, Qt::LeftButton, {}, (from + to) / 2);
        QVERIFY(!s.chart.isZoomed());
        QVERIFY(s.chart.axisRange(Axis::Bottom).max > 7.0);
        QVERIFY(s.chart.axisRange(Axis::Left).max > 60.0);
    }

    // A series left empty keeps the range it last had, also after a zoom is undone.
    void emptySeriesKeepsItsAxis() {
        Shown s;
        s.chart.replacePoints(1, Line({100.0, 200.0}));
        const Chart::Range fitted = s.chart.axisRange(Axis::Right);
        s.chart.clearSeries(1);
        s.chart.replacePoints(0, Line({1.0, 2.0}));
        QWidget *viewport = s.chart.findChild<QGraphicsView *>()->viewport();
        Drag(viewport, s.chart.plotArea().adjusted(100, 100, -100, -100));
        QVERIFY(s.chart.axisRange(Axis::Right).max < fitted.max);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, s.chart.plotArea().center().toPoint());
        QCOMPARE(s.chart.axisRange(Axis::Right).min, fitted.min);
        QCOMPARE(s.chart.axisRange(Axis::Right).max, fitted.max);
    }

    void tooltipNamesTheNearestPoint() {
        Shown s;
        s.chart.setAxisTitle(Axis::Bottom, QStringLiteral("Частота, kHz"));
        s.chart.setAxisTitle(Axis::Left, QStringLiteral("C"));
        s.chart.setAxisTitle(Axis::Right, QStringLiteral("D"));
        s.chart.replacePoints(0, Line({1.0, 5.0, 2.0}));
        s.chart.replacePoints(1, Line({0.5, 0.125, 0.25})); // highs and lows apart from series 0
        const QPoint at = Position(s.chart, QPointF(2.0, 5.0), 0);
        QCOMPARE(s.chart.toolTipAt(at + QPoint(3, 2)), QStringLiteral("Частота, kHz 2\nC 5"));
        const QPoint right = Position(s.chart, QPointF(1.0, 0.5), 1);
        QCOMPARE(s.chart.toolTipAt(right + QPoint(-2, 3)), QStringLiteral("Частота, kHz 1\nD 0.5"));
        QCOMPARE(s.chart.toolTipAt(at + QPoint(40, 0)), QString());

        // A plain move, no button held (QTest may still count one from an earlier click).
        QWidget *viewport = s.chart.findChild<QGraphicsView *>()->viewport();
        const QPointF near = at + QPoint(3, 2);
        QMouseEvent move(QEvent::MouseMove, near, viewport->mapToGlobal(near), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Частота, kHz 2\nC 5"));
    }

    // A log axis: labels at 1-2-5 of each decade, the points placed by the logarithm of x, and
    // back to the linear axis with the same points.
    void logAxis() {
        Shown s;
        const QList<QPointF> decades{{0.01, 1.0},  {0.1, 2.0},    {1.0, 3.0},    {10.0, 4.0},
                                     {100.0, 5.0}, {1000.0, 6.0}, {10000.0, 7.0}};
        s.chart.replacePoints(0, decades);
        QVERIFY(s.chart.bottomLabels().isEmpty());
        s.chart.setLogAxis(true, 1000.0); // x in kHz
        // Six decades leave no room for 2 and 5 between them.
        QCOMPARE(s.chart.bottomLabels(),
                 (QStringList{"10 Hz", "100 Hz", "1 kHz", "10 kHz", "100 kHz", "1 MHz", "10 MHz"}));
        const QList<QPointF> two{{0.1, 1.0}, {10.0, 2.0}};
        s.chart.replacePoints(1, two);
        s.chart.setSeriesActive(0, false);
        QCOMPARE(s.chart.bottomLabels(),
                 (QStringList{"100 Hz", "200 Hz", "500 Hz", "1 kHz", "2 kHz", "5 kHz", "10 kHz"}));
        s.chart.setSeriesActive(0, true);
        s.chart.clearSeries(1);
        QCOMPARE(s.chart.points(0), decades);
        const QRectF plot = s.chart.plotArea();
        QCOMPARE(s.chart.nearestPointX(plot.center().toPoint()), 10.0); // the middle decade
        s.chart.setLogAxis(false);
        QVERIFY(s.chart.bottomLabels().isEmpty());
        QCOMPARE(s.chart.nearestPointX(plot.center().toPoint()), 1000.0);
        s.chart.setLogAxis(true, 1000.0);
        s.chart.replacePoints(1, {{0.0, 1.0}, {-1.0, 2.0}, {1.0, 3.0}}); // no log of x <= 0
        QCOMPARE(s.chart.markers().size(), 0);
        QVERIFY(s.chart.axisRange(Axis::Bottom).min > 0.0);
    }

    // A click places a marker at the nearest point; the second shows its difference to the
    // first; a drag moves one along the curve; a double click on one removes it and elsewhere
    // fits the axes without leaving a marker behind; there are never more than four.
    void markers() {
        Shown s;
        s.chart.replacePoints(0, Line({1.0, 5.0, 2.0, 4.0, 3.0}));
        s.chart.replacePoints(1, Line({10.0, 20.0, 30.0, 40.0, 50.0}));
        QWidget *viewport = s.chart.findChild<QGraphicsView *>()->viewport();
        const auto at = [&](double x) { return Position(s.chart, QPointF(x, 1.0), 0); };
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at(2.2));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at(3.9));
        QCOMPARE(s.chart.markers(), (QList<double>{2.0, 4.0}));
        QCOMPARE(s.chart.markerLegend(), QStringLiteral("1: 2  5  20\n2: 2  -1  20"));

        QTest::mousePress(viewport, Qt::LeftButton, {}, at(2.0));
        QTest::mouseMove(viewport, at(2.6));
        QTest::mouseMove(viewport, at(3.1));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(3.1));
        QCOMPARE(s.chart.markers(), (QList<double>{3.0, 4.0}));
        QVERIFY(!s.chart.isZoomed());
        QCOMPARE(s.chart.markerLegend(), QStringLiteral("1: 3  2  30\n2: 1  2  10"));

        Drag(viewport, QRectF(Position(s.chart, QPointF(1.2, 4.8), 0), at(4.6)));
        QVERIFY2(s.chart.isZoomed(),
                 qPrintable(QString::number(s.chart.axisRange(Axis::Bottom).max)));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at(4.0));
        QCOMPARE(s.chart.markers(), (QList<double>{3.0}));
        QVERIFY(s.chart.isZoomed()); // a double click on a marker only removes it
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at(1.6));
        QCOMPARE(s.chart.markers(), (QList<double>{3.0}));
        QVERIFY(!s.chart.isZoomed());

        for (double x : {1.0, 2.0, 4.0, 5.0})
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at(x));
        QCOMPARE(s.chart.markers(), (QList<double>{3.0, 1.0, 2.0, 4.0}));
        s.chart.clearMarkers();
        QVERIFY(s.chart.markerLegend().isEmpty());
        // A marker between points reads the drawn line; a hidden series has no value there.
        QVERIFY(s.chart.addMarker(2.5));
        s.chart.setSeriesActive(1, false);
        QCOMPARE(s.chart.markerLegend(), QStringLiteral("1: 2.5  3.5"));
    }

    // A break of the line is a yellow dashed line across the plot at its x, with its text beside
    // it and in the tooltip; it follows a zoom and a log axis. Without breaks nothing yellow is
    // drawn at all. Like the markers it lies under the grid, which hides a third of it where the
    // two meet, so a quarter of its column counts as drawn.
    void connectionBreaks() {
        Shown s;
        s.chart.setBreakText(QStringLiteral("связь восстановлена"));
        s.chart.setAxisTitle(Axis::Bottom, QStringLiteral("F"));
        s.chart.setAxisTitle(Axis::Left, QStringLiteral("C"));
        s.chart.replacePoints(0, Line({1.0, 5.0, 2.0, 4.0, 3.0}));
        const QRect plot = s.chart.plotArea().toRect();
        QCOMPARE(YellowPixels(s.chart, plot), 0);

        s.chart.setBreaks({3.0, std::numeric_limits<double>::quiet_NaN()});
        QCOMPARE(s.chart.breaks(), QList<double>{3.0});
        const QRect line = ColumnAt(s.chart, 3.0);
        QVERIFY2(YellowPixels(s.chart, line) > line.height() / 4,
                 qPrintable(QString::number(YellowPixels(s.chart, line))));
        QCOMPARE(YellowPixels(s.chart, QRect(plot.left(), plot.top(), line.left() - plot.left(),
                                             plot.height())),
                 0);
        const QRect label(line.right(), plot.bottom() - 30, 80, 30);
        QVERIFY(YellowPixels(s.chart, label) > 0);

        // On the line away from any point, on a point beside it, and away from both.
        QCOMPARE(s.chart.toolTipAt(Position(s.chart, QPointF(3.0, 4.5), 0)),
                 QStringLiteral("связь восстановлена"));
        QCOMPARE(s.chart.toolTipAt(Position(s.chart, QPointF(3.0, 2.0), 0)),
                 QStringLiteral("F 3\nC 2\nсвязь восстановлена"));
        QCOMPARE(s.chart.toolTipAt(Position(s.chart, QPointF(2.5, 4.5), 0)), QString());

        // A zoom that keeps x = 3 moves the line with it; one that leaves it out hides it.
        QWidget *viewport = s.chart.findChild<QGraphicsView *>()->viewport();
        const QRectF across(QPointF(Position(s.chart, QPointF(2.5, 0.0), 0).x(), plot.top()),
                            QPointF(Position(s.chart, QPointF(4.5, 0.0), 0).x(), plot.bottom()));
        Drag(viewport, across);
        QVERIFY(s.chart.isZoomed());
        QVERIFY(ColumnAt(s.chart, 3.0).left() < line.left() - 20);
        QVERIFY(YellowPixels(s.chart, ColumnAt(s.chart, 3.0)) > line.height() / 4);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, Position(s.chart, QPointF(4.3, 4.5), 0));
        Drag(viewport, QRectF(Position(s.chart, QPointF(3.5, 4.9), 0),
                              Position(s.chart, QPointF(4.9, 1.1), 0)));
        QVERIFY(s.chart.axisRange(Axis::Bottom).min > 3.0);
        QCOMPARE(YellowPixels(s.chart, plot), 0);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, Position(s.chart, QPointF(4.3, 4.5), 0));
        QVERIFY(!s.chart.isZoomed());
        // More points over the same values: only the x axis changes, and the line moves with it.
        s.chart.replacePoints(0, Line({1.0, 5.0, 2.0, 4.0, 3.0, 3.0, 3.0}));
        QCOMPARE(s.chart.plotArea().toRect(), plot);
        QVERIFY(ColumnAt(s.chart, 3.0).left() < line.left() - 20);
        QVERIFY(YellowPixels(s.chart, ColumnAt(s.chart, 3.0)) > line.height() / 4);

        // On a log axis the line stands at the logarithm of its x.
        s.chart.replacePoints(0,
                              {{0.1, 1.0}, {1.0, 2.0}, {10.0, 3.0}, {100.0, 4.0}, {1000.0, 5.0}});
        s.chart.setBreaks({10.0});
        s.chart.setLogAxis(true, 1000.0);
        const QRect middle = ColumnAt(s.chart, 10.0);
        QVERIFY(qAbs(middle.center().x() - plot.center().x()) < 5);
        QVERIFY(YellowPixels(s.chart, middle) > middle.height() / 4);
        s.chart.setLogAxis(false);
        QVERIFY(ColumnAt(s.chart, 10.0).left() < plot.left() + 20);
        QVERIFY(YellowPixels(s.chart, ColumnAt(s.chart, 10.0)) > middle.height() / 4);

        s.chart.setBreaks({});
        QCOMPARE(YellowPixels(s.chart, plot), 0);
        QCOMPARE(s.chart.toolTipAt(middle.center()), QString());
    }

    // The reference lies behind its series, dimmed, and the axes make room for it.
    void referenceTrace() {
        Shown s;
        s.chart.replacePoints(0, Line({1.0, 2.0, 3.0}));
        s.chart.setReferencePoints(0, Line({2.0, 30.0, 4.0}));
        QVERIFY(s.chart.axisRange(Axis::Left).max > 30.0);
        const QImage image = s.chart.grab().toImage();
        const QPoint peak = Position(s.chart, QPointF(2.0, 30.0), 0);
        bool dimmed = false;
        for (int dy = -2; dy <= 2 && !dimmed; ++dy) {
            const QColor c = image.pixelColor(peak + QPoint(0, dy));
            dimmed = c.red() > 40 && c.red() < 200 && c.green() < 40 && c.blue() > 40;
        }
        QVERIFY(dimmed);
        s.chart.setReferencePoints(0, {});
        QVERIFY(s.chart.axisRange(Axis::Left).max < 30.0);
    }

    // Value labels across zero read "0", never a rounding residue, and each axis' labels share
    // one number of decimals.
    void valueLabelsWithoutNoise() {
        Shown s;
        s.chart.replacePoints(0, Line({-0.35, 0.1, 0.45}));
        s.chart.replacePoints(1, Line({-700.0, 0.0, 1300.0}));
        const QStringList left = s.chart.valueLabels(0);
        QVERIFY(left.contains(QStringLiteral("0")));
        for (const QString &label : left + s.chart.valueLabels(1))
            QVERIFY2(!label.contains(QLatin1Char('e')), qPrintable(label));
        QCOMPARE(left.join(' '), QStringLiteral("-0.2 0 0.2 0.4"));
        QVERIFY(s.chart.valueLabels(1).contains(QStringLiteral("1,000")));
    }

    // One grid: the left axis' while its series has points, else the right one's.
    void oneGrid() {
        Shown s;
        s.chart.replacePoints(0, Line({1.0, 2.0}));
        s.chart.replacePoints(1, Line({5.0, 9.0}));
        QVERIFY(s.chart.isGridShown(0));
        QVERIFY(!s.chart.isGridShown(1));
        s.chart.clearSeries(0);
        QVERIFY(!s.chart.isGridShown(0));
        QVERIFY(s.chart.isGridShown(1));
    }

    // A log value axis: the series, its reference and its fitted curve placed by the logarithm
    // of their values, a value at or below zero not drawn, labels at 1-2-5 of each decade; off
    // again, every point is back.
    void logValueAxis() {
        Shown s;
        const QList<QPointF> points = Line({0.01, 1.0, -1.0, 100.0, 0.0});
        s.chart.replacePoints(0, points);
        s.chart.setReferencePoints(0, Line({0.02, 2.0}));
        s.chart.setFittedPoints(0, Line({0.05, -3.0, 50.0}));
        s.chart.setValueLog(0, true);
        QVERIFY(s.chart.isValueLog(0));
        QVERIFY(!s.chart.isValueLog(1));
        QCOMPARE(s.chart.drawnPoints(0), (QList<QPointF>{{1.0, 0.01}, {2.0, 1.0}, {4.0, 100.0}}));
        QCOMPARE(s.chart.points(0), points); // kept as given
        const Chart::Range range = s.chart.axisRange(Axis::Left);
        QVERIFY(range.min > 0.0 && range.min < 0.01 && range.max > 100.0);
        const QStringList labels = s.chart.valueLabels(0);
        for (const char *label : {"0.01", "0.1", "1", "10", "100"})
            QVERIFY2(labels.contains(QLatin1String(label)), qPrintable(labels.join(' ')));
        s.chart.setValueLog(0, false);
        QCOMPARE(s.chart.drawnPoints(0).size(), points.size());
        QVERIFY(s.chart.axisRange(Axis::Left).min < -1.0);
    }

    // One legend for every trace once two or more are drawn: the run, its reference, the fitted
    // curve and the overlays; none with the run alone.
    void traceLegend() {
        Shown s;
        s.chart.replacePoints(0, Line({1.0, 2.0, 3.0}));
        QVERIFY(s.chart.traceLegend().isEmpty());
        s.chart.setReferencePoints(0, Line({1.5, 2.5}));
        QCOMPARE(s.chart.traceLegend(), QStringLiteral("— Измерение\n— Опорная"));
        s.chart.setFittedPoints(0, Line({1.2, 2.2, 3.2}));
        QCOMPARE(s.chart.traceLegend(), QStringLiteral("— Измерение\n— Опорная\n- - Подбор"));
        s.chart.setReferencePoints(0, {});
        Chart::Overlay overlay;
        overlay.name = QStringLiteral("Катушка");
        overlay.colour = Qt::cyan;
        overlay.points[0] = Line({4.0, 5.0});
        s.chart.setOverlays({overlay});
        QCOMPARE(s.chart.traceLegend(), QStringLiteral("— Измерение\n- - Подбор\n— Катушка"));
        QCOMPARE(s.chart.overlayLegend(), QStringLiteral("— Катушка"));
        s.chart.setFittedPoints(0, {});
        s.chart.setOverlays({});
        QVERIFY(s.chart.traceLegend().isEmpty());
    }
};

QTEST_MAIN(TestChart)
#include "test_chart.moc"
