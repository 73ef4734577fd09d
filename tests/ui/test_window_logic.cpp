// The window's plain arithmetic: how many points a run's graph draws and its progress text, the
// texts of a point count or a frequency not taken as typed, the places of the graph panel and the
// window at a size, and a run's points derived again in the other circuit.
#include "link/decoding.h"
#include "sweep/sweep_circuit.h"
#include "sweep/sweep_store.h"
#include "ui/run_text.h"
#include "ui/window_geometry.h"

#include <QtTest>

#include <cmath>

namespace {

// A store of n points: taken up to index (running) or finished, with statuses as given.
Main::SweepVariables Store(int n, int index, bool running) {
    Main::SweepVariables store;
    store.SweepPoints = n;
    store.SweepIndex = index;
    store.SweepRunning = running;
    return store;
}

Main::SweepVariables Stopped(int n, int taken) {
    Main::SweepVariables store = Store(n, taken, false);
    for (int i = taken; i < n; ++i)
        store.SweepStatuses[i] = -1;
    return store;
}

} // namespace

Q_DECLARE_METATYPE(Main::SweepVariables)

class TestWindowLogic : public QObject {
    Q_OBJECT

private slots:
    void drawnAndProgress_data() {
        QTest::addColumn<Main::SweepVariables>("store");
        QTest::addColumn<bool>("inHand");
        QTest::addColumn<int>("drawn");
        QTest::addColumn<QString>("progress");
        QTest::newRow("start-up") << Store(10, 0, false) << false << 10 << QString();
        QTest::newRow("first point stored") << Store(10, 0, true) << true << 1 << "0 / 10";
        QTest::newRow("between points") << Store(10, 4, true) << false << 4 << "4 / 10";
        QTest::newRow("point in hand") << Store(10, 4, true) << true << 5 << "4 / 10";
        QTest::newRow("last point stored") << Store(10, 9, true) << true << 10 << "9 / 10";
        QTest::newRow("finished") << Store(10, 9, false) << false << 10 << "10 / 10";
        QTest::newRow("stopped at 3") << Stopped(10, 3) << false << 3 << "3 / 10";
        QTest::newRow("stopped at 0: all marked") << Stopped(10, 0) << false << 10 << QString();
        QTest::newRow("full store") << Store(256, 255, false) << false << 256 << "256 / 256";
    }
    void drawnAndProgress() {
        QFETCH(Main::SweepVariables, store);
        QFETCH(bool, inHand);
        QFETCH(int, drawn);
        QFETCH(QString, progress);
        QCOMPARE(Main::DrawnSweepPoints(store, inHand), drawn);
        QCOMPARE(Main::RunProgressText(store), progress);
    }

    void textsOfWhatIsNotTaken() {
        QCOMPARE(Main::PointCountProblem(2), QString());
        QCOMPARE(Main::PointCountProblem(256), QString());
        QCOMPARE(Main::PointCountProblem(1), QString()); // made 2, as designed
        QCOMPARE(Main::PointCountProblem(257), QStringLiteral("Число точек: от 2 до 256"));
        QCOMPARE(Main::PointCountProblem(1000), QStringLiteral("Число точек: от 2 до 256"));
        QCOMPARE(Main::BoundedFrequencyText(60000, 60000, 50000, 100000), QString());
        QCOMPARE(Main::BoundedFrequencyText(1000, 50000, 50000, 100000),
                 QStringLiteral("Частота вне 50000…100000 Гц: установлена 50000 Гц"));
        QCOMPARE(Main::BoundedFrequencyText(200000, 100000, 50000, 100000),
                 QStringLiteral("Частота вне 50000…100000 Гц: установлена 100000 Гц"));
    }

    void graphPanelPlaces_data() {
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<QRect>("swept");
        QTest::addColumn<QRect>("chart");
        QTest::addColumn<int>("markerWidth");
        QTest::newRow("designed") << QSize(825, 689) << QRect(650, 0, 120, 65)
                                  << QRect(8, 80, 811, 605) << 751;
        QTest::newRow("wider and taller")
            << QSize(1500, 900) << QRect(650, 0, 120, 65) << QRect(8, 80, 1486, 816) << 1426;
        QTest::newRow("one row just fits")
            << QSize(778, 500) << QRect(650, 0, 120, 65) << QRect(8, 80, 764, 416) << 704;
        QTest::newRow("two rows") << QSize(777, 500) << QRect(522, 68, 120, 65)
                                  << QRect(8, 148, 763, 348) << 703;
        QTest::newRow("least") << Main::LeastGraphPanel << QRect(522, 68, 120, 65)
                               << QRect(8, 148, 632, 256) << 572;
    }
    void graphPanelPlaces() {
        QFETCH(QSize, panel);
        QFETCH(QRect, swept);
        QFETCH(QRect, chart);
        QFETCH(int, markerWidth);
        const Main::GraphPanelPlaces places = Main::GraphPanelLayout(panel);
        QCOMPARE(places.swept, swept);
        QCOMPARE(places.chart, chart);
        QCOMPARE(places.marker, QRect(38, 58, markerWidth, 25));
        // Nothing leaves the panel, and the groups never overlap the chart.
        QVERIFY(QRect(QPoint(), panel).contains(places.chart));
        QVERIFY(QRect(QPoint(), panel).contains(places.swept));
        QVERIFY(!places.swept.intersects(places.chart));
        QVERIFY(!places.swept.intersects(QRect(392, 0, 250, 65))); // "Шаг частоты"
    }

    void windowPlaces() {
        const int bars = 47;
        // The designed central area gives the designed panel place; more room, a larger panel.
        QCOMPARE(Main::SidePanelPlace(QSize(1233, 750)), QRect(384, 32, 825, 689));
        QCOMPARE(Main::SidePanelPlace(QSize(1366, 800)), QRect(384, 32, 958, 739));
        QCOMPARE(Main::SidePanelPlace(QSize(100, 100)).size(), Main::LeastGraphPanel);
        QCOMPARE(Main::LeastWindowSize(false, false, bars), QSize(390, 437));
        QCOMPARE(Main::LeastWindowSize(true, false, bars), QSize(390, 652));
        const QSize least = Main::LeastWindowSize(false, true, bars);
        // The least window holds the least panel.
        const QRect panel = Main::SidePanelPlace(least - QSize(0, 19));
        QVERIFY(QRect(QPoint(), least - QSize(0, 19)).contains(panel));
        // A 1600 × 1000 screen at 150 %: 1066 × 666 for the window and its frame.
        QVERIFY(least.width() + 8 <= 1066 && least.height() + 36 <= 666);
    }

    void fitOnScreen_data() {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QMargins>("frame");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("placed");
        const QSize least(1036, 487);
        const QMargins frame(4, 32, 4, 4);
        QTest::newRow("large screen: designed, where wanted")
            << QRect(6, 116, 1233, 769) << frame << QRect(0, 0, 1920, 1200)
            << QRect(6, 116, 1233, 769);
        QTest::newRow("1366 x 768: lower, moved up")
            << QRect(6, 116, 1233, 769) << frame << QRect(0, 0, 1366, 768)
            << QRect(6, 32, 1233, 732);
        QTest::newRow("1366 x 768 with a panel at the top")
            << QRect(6, 116, 1233, 769) << frame << QRect(0, 28, 1366, 740)
            << QRect(6, 60, 1233, 704);
        QTest::newRow("150 % of 1600 x 1000") << QRect(6, 116, 1233, 769) << frame
                                              << QRect(0, 0, 1066, 666) << QRect(4, 32, 1058, 630);
        QTest::newRow("smaller than the least: the least, from the corner")
            << QRect(6, 116, 1233, 769) << frame << QRect(0, 0, 800, 480)
            << QRect(4, 32, 1036, 487);
        QTest::newRow("right of the screen: moved left")
            << QRect(900, 10, 390, 437) << QMargins() << QRect(0, 0, 1024, 768)
            << QRect(634, 10, 390, 437);
    }
    void fitOnScreen() {
        QFETCH(QRect, wanted);
        QFETCH(QMargins, frame);
        QFETCH(QRect, available);
        QFETCH(QRect, placed);
        QCOMPARE(
            Main::FitOnScreen(wanted, frame, available, QSize(1036, 487).boundedTo(wanted.size())),
            placed);
    }

    // Points taken in the series circuit, shown in the parallel one and back: each derived from
    // its raw |Z| and angle as a frame in that circuit would be; untaken points are left alone.
    void derivedInTheOtherCircuit() {
        Main::SweepVariables store = Store(3, 1, false);
        const float magnitude[3] = {1591.5f, 15.9f, 7.0f}; // a capacitor with some loss
        const float phase[3] = {-1.45f, -1.40f, 0.3f};
        const std::int32_t hz[3] = {1000, 100000, 5};
        const auto derived = [&](int k, int i, bool series) {
            Device::ParameterInputs in;
            in.magnitude = magnitude[i];
            in.phase = phase[i];
            Device::FloatPair rx;
            Device::FromPolar(rx, {in.magnitude, in.phase});
            if (!series) Device::ToParallel(rx);
            in.resistance = rx.first;
            in.reactance = rx.second;
            in.frequencyHz = hz[i];
            in.angularFrequency = static_cast<float>(hz[i] * 6.283185307179586);
            in.seriesCircuit = series;
            return Device::DeriveParameter(k, in);
        };
        for (int i = 0; i < 3; ++i) {
            store.SweepMagnitudes[i] = magnitude[i];
            store.SweepPhases[i] = phase[i];
            store.SweepReportedFrequencies[i] = hz[i];
            store.SweepSeriesCircuits[i] = true;
            for (int k = 0; k < Main::SweepParameterCount; ++k)
                store.SweepSamples[k][i] = derived(k, i, true);
        }
        QCOMPARE(Main::DeriveSweepSamples(store, 3, true), 0); // already series: untouched
        QCOMPARE(Main::DeriveSweepSamples(store, 2, false), 2);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(!store.SweepSeriesCircuits[i]);
            for (int k = 0; k < Main::SweepParameterCount; ++k)
                QCOMPARE(store.SweepSamples[k][i], derived(k, i, false));
        }
        QVERIFY(store.SweepSeriesCircuits[2]);
        QCOMPARE(store.SweepSamples[Device::ParC][2], derived(Device::ParC, 2, true));
        // Cs and Cp of a lossy capacitor differ, D and Q swap their ratio, |Z| stays.
        QVERIFY(store.SweepSamples[Device::ParC][0] != derived(Device::ParC, 0, true));
        QCOMPARE(store.SweepSamples[Device::ParZ][0], derived(Device::ParZ, 0, true));
        QCOMPARE(Main::DeriveSweepSamples(store, 2, true), 2);
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            QCOMPARE(store.SweepSamples[k][1], derived(k, 1, true));
    }
};

QTEST_APPLESS_MAIN(TestWindowLogic)
#include "test_window_logic.moc"
