// The sweep chart: series updates, axes that follow the points, zoom by a dragged rectangle and
// a double click, the right mouse button left alone, and the tooltip of the point under the mouse.
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
        s.chart.addPoint(0, 5.0, -inf);
        QCOMPARE(s.chart.points(0).size(), 2);
        const Chart::Range y = s.chart.axisRange(Axis::Left);
        QVERIFY(y.min < 2.0 && y.max > 3.0 && y.max < 4.0);
        QVERIFY(!s.chart.grab().isNull()); // and it draws
    }

    void seriesOperations() {
        Shown s;
        s.chart.replacePoints(1, Line({1.0, 2.0}));
        s.chart.addPoint(1, 3.0, 7.0);
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
        s.chart.zoomTo(s.chart.plotArea().adjusted(100, 100, -100, -100));
        QVERIFY(s.chart.axisRange(Axis::Right).max < fitted.max);
        QWidget *viewport = s.chart.findChild<QGraphicsView *>()->viewport();
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
};

QTEST_MAIN(TestChart)
#include "test_chart.moc"
