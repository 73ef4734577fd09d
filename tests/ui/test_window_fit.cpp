// The window on a small or scaled screen (run once per screen: IMPEDIX_TEST_SCREEN names the
// screen's size in logical pixels, the offscreen platform and QT_SCALE_FACTOR make it): with the
// graph shown the window and its frame lie on the screen and the whole chart inside the window;
// it can be maximised, the chart growing with it, and comes back.
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

using namespace TestWindow;

namespace {

QSize ScreenNamed() {
    const QStringList sides = qEnvironmentVariable("IMPEDIX_TEST_SCREEN").split(QLatin1Char('x'));
    return sides.size() == 2 ? QSize(sides[0].toInt(), sides[1].toInt()) : QSize();
}

// Every widget of the graph panel that is shown lies whole inside the window's own area.
void ChartInside(const Main::Tb_tok &w) {
    auto *chart = Find<Chart::SweepChart>(w, "grafik");
    const QRect inWindow(chart->mapTo(&w, QPoint()), chart->size());
    QVERIFY2(w.rect().contains(inWindow), qPrintable(QStringLiteral("chart %1,%2 %3x%4 in %5x%6")
                                                         .arg(inWindow.x())
                                                         .arg(inWindow.y())
                                                         .arg(inWindow.width())
                                                         .arg(inWindow.height())
                                                         .arg(w.width())
                                                         .arg(w.height())));
    for (const char *name : {"GrBo_Graph", "GrBo_Spacing", "GrBo_Swept", "bgraf", "BuStopSweep"}) {
        auto *control = Find<QWidget>(w, name);
        const QRect at(control->mapTo(&w, QPoint()), control->size());
        QVERIFY2(w.rect().contains(at), name);
        QVERIFY2(!at.intersects(inWindow), name);
    }
}

} // namespace

class TestWindowFit : public QObject {
    Q_OBJECT

private slots:
    void screenIsTheOneNamed() {
        const QSize named = ScreenNamed();
        QVERIFY2(named.isValid(), "IMPEDIX_TEST_SCREEN names no size");
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), named);
    }

    void graphShownFitsTheScreen() {
        Fixture f;
        Main::Tb_tok &w = f.Start();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        Find<QCheckBox>(w, "ChBoGraph")->click();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QTRY_VERIFY_WITH_TIMEOUT(available.contains(w.frameGeometry()), 10000);
        QVERIFY(w.minimumSize() != w.maximumSize()); // it can be resized
        QTRY_VERIFY_WITH_TIMEOUT(Find<QWidget>(w, "PaGraph")->geometry().right() < w.width(),
                                 10000);
        ChartInside(w);
        // As much of the designed size as the screen holds.
        QVERIFY(w.width() == 1233 || w.frameGeometry().width() >= available.width() - 1);

        const QSize before = Find<QWidget>(w, "grafik")->size();
        w.showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(w.isMaximized() && Find<QWidget>(w, "grafik")->width() > 0 &&
                                     w.frameGeometry().width() >= available.width() - 1,
                                 10000);
        QTRY_VERIFY_WITH_TIMEOUT(Find<QWidget>(w, "grafik")->size() != before ||
                                     w.frameGeometry().size() == available.size(),
                                 10000);
        QVERIFY(available.contains(w.frameGeometry()));
        ChartInside(w);
        const QSize grown = Find<QWidget>(w, "grafik")->size();
        QVERIFY(grown.width() >= before.width() && grown.height() >= before.height());
        QVERIFY(grown.width() > w.width() - 384 - 40); // it takes the room beside the left part

        w.showNormal();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isMaximized(), 10000);
        QVERIFY(available.contains(w.frameGeometry()));
        ChartInside(w);
    }
};

QTEST_MAIN(TestWindowFit)
#include "test_window_fit.moc"
