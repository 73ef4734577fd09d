// The window's "Лог. Y": off at first, the box puts the value axis on a log scale and back; on
// the log axis a point at or below zero is not drawn and the status bar says how many were left
// out. The run's points are written into the store, as a finished run leaves them.
#include "sweep/sweep_store.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/main_state.h"

#include <QCheckBox>
#include <QLabel>
#include <QtTest>

using namespace TestWindow;

namespace {

// Five points of a finished frequency run; the first parameter dips below zero at two of them.
void StoreRun() {
    const float first[] = {100.0f, 200.0f, -50.0f, 400.0f, 0.0f};
    Main::SweepRunning = false;
    Main::SweepPoints = 5;
    Main::SweepIndex = 4;
    for (int k = 0; k < 5; ++k) {
        Main::SweepFrequencies[k] = 1000 * (k + 1);
        Main::SweepStatuses[k] = 0;
        Main::SweepSamples[Main::Param1Index][k] = first[k];
        Main::SweepSamples[Main::Param2Index][k] = 10.0f * float(k + 1);
    }
}

bool AllPositive(const QList<QPointF> &points) {
    for (const QPointF &p : points)
        if (!(p.y() > 0.0)) return false;
    return true;
}

} // namespace

class TestLogValues : public QObject {
    Q_OBJECT

private slots:
    void logAxisAndBack();
};

void TestLogValues::logAxisAndBack() {
    Fixture f;
    Main::Tb_tok &w = f.Start(); // no meter: the graph alone
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    Find<QCheckBox>(w, "ChBoGraph")->click();
    Find<QCheckBox>(w, "ChBoF")->setChecked(true);
    auto *chart = Find<Chart::SweepChart>(w, "grafik");
    auto *logY = Find<QCheckBox>(w, "ChBoLogY");
    // The designed pair R and Q: both magnitudes.
    QCOMPARE(Main::Param1Index, 2);
    QCOMPARE(Main::Param2Index, 9);
    StoreRun();
    w.RedrawGraph();
    QVERIFY(!logY->isChecked());
    QVERIFY(logY->isEnabled());
    QVERIFY(!chart->isValueLog(0));
    QCOMPARE(chart->drawnPoints(0).size(), 5);
    const auto leftOut = [&w] { return w.findChild<QLabel *>(QStringLiteral("LaLogLeftOut")); };
    QVERIFY(!leftOut() || !leftOut()->isVisible());

    logY->click();
    QVERIFY(chart->isValueLog(0));
    QVERIFY(chart->isValueLog(1));
    const QList<QPointF> drawn = chart->drawnPoints(0);
    QCOMPARE(drawn.size(), 3);
    QVERIFY(AllPositive(drawn));
    QCOMPARE(drawn.last().y(), 400.0); // R is held in milliohms: the unit under the title
    QCOMPARE(chart->axisUnit(Chart::Axis::Left), QStringLiteral("мОм"));
    QVERIFY(chart->axisRange(Chart::Axis::Left).min > 0.0);
    // Once the panel is laid out, the axis has room for every step of the decade.
    QTRY_VERIFY2_WITH_TIMEOUT(chart->valueLabels(0).contains(QStringLiteral("200")),
                              qPrintable(chart->valueLabels(0).join(' ')), 20000);
    QVERIFY(leftOut() && leftOut()->isVisible());
    QCOMPARE(leftOut()->text(), QStringLiteral("Лог. Y: не показано точек ≤ 0: 2"));

    logY->click();
    QVERIFY(!chart->isValueLog(0));
    QCOMPARE(chart->drawnPoints(0).size(), 5);
    QVERIFY(!leftOut()->isVisible());
}

QTEST_MAIN(TestLogValues)
#include "test_log_values.moc"
