// The sweep store without a window: point frequencies, the clamping of N, storing and advancing
// a run, the statistics, their labelled texts and the plotted values.
#include "link/decoding.h"
#include "link/device_state.h"
#include "sweep/connection_breaks.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace Main;

namespace {

struct Run {
    std::int32_t low, high;
    int points;
    std::vector<std::int32_t> expected; // every point, or the last ones when `tail`
    bool tail;
};

struct Statistic {
    int index;
    float value;
    bool series;
    const char *text;
    float factor;
};

std::vector<std::int32_t> Frequencies() {
    return std::vector<std::int32_t>(SweepFrequencies, SweepFrequencies + SweepPoints);
}

QString Text(const Device::Line &line) {
    return QString::fromLatin1(line);
}

constexpr float Inf = std::numeric_limits<float>::infinity();

} // namespace

Q_DECLARE_METATYPE(Run)
Q_DECLARE_METATYPE(Statistic)

class TestSweep : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetSweepState(); }

    void pointFrequencies_data() {
        QTest::addColumn<Run>("run");
        QTest::newRow("50 to 100 kHz in 10")
            << Run{50000,
                   100000,
                   10,
                   {50000, 55555, 61111, 66666, 72222, 77777, 83333, 88888, 94444, 100000},
                   false};
        QTest::newRow("1 to 2 kHz in 3") << Run{1000, 2000, 3, {1000, 1500, 2000}, false};
        QTest::newRow("25 Hz to 1 kHz in 7")
            << Run{25, 1000, 7, {25, 187, 350, 512, 675, 837, 1000}, false};
        QTest::newRow("full band in 251 ends one below") << Run{25, 10000000, 251, {9999999}, true};
        QTest::newRow("full band in 256")
            << Run{25, 10000000, 256, {9921569, 9960784, 10000000}, true};
        QTest::newRow("Fmin = Fmax") << Run{4000, 4000, 5, {4000, 4000, 4000, 4000, 4000}, false};
        QTest::newRow("two points") << Run{25, 10000000, 2, {25, 10000000}, false};
    }
    void pointFrequencies() {
        QFETCH(Run, run);
        SweepPoints = run.points;
        FillSweepFrequencies(run.low, run.high);
        std::vector<std::int32_t> got = Frequencies();
        QCOMPARE(got.front(), run.low);
        if (run.tail) got.erase(got.begin(), got.end() - long(run.expected.size()));
        QCOMPARE(got, run.expected);
        // Nothing beyond the run is touched.
        QCOMPARE(SweepFrequencies[run.points % SweepCapacity], run.points == 256 ? 25.0f : 0.0f);
    }

    // A point beyond the upper bound is the bound, and ends the caller's loop at the last slot.
    void overshootEndsTheLoop() {
        int i = 5;
        QCOMPARE(SweepPointFrequency(i, 1000, 2000, 3), 2000);
        QCOMPARE(i, 2);
        // Bounds too large for single precision round the step up past the upper bound.
        i = 1;
        QCOMPARE(SweepPointFrequency(i, 0, 1000000033, 2), 1000000033);
        QCOMPARE(i, 1);
        i = 1;
        QCOMPARE(SweepPointFrequency(i, 1000, 2000, 3), 1500);
        QCOMPARE(i, 1);
    }

    void clampsN() {
        QCOMPARE(ClampSweepPoints(1), 2);
        QCOMPARE(ClampSweepPoints(-7), 2);
        QCOMPARE(ClampSweepPoints(2), 2);
        QCOMPARE(ClampSweepPoints(256), 256);
        QCOMPARE(ClampSweepPoints(1000), 256);
        SweepPoints = ClampSweepPoints(1000);
        FillSweepFrequencies(25, 10000000);
        QCOMPARE(SweepFrequencies[255], 10000000.0f);
    }

    // A run stores parameters 0..10 per point and ends by itself after its last point.
    void storesAndEnds() {
        SweepPoints = 3;
        SweepRunning = true;
        float values[Device::ParameterValueCount];
        for (int n = 0; n < 3; ++n) {
            for (int k = 0; k < 18; ++k)
                values[k] = float(100 * n + k);
            StoreSweepSample(values, 1000 + n, n != 1);
            QCOMPARE(AdvanceSweep(), n < 2);
        }
        QVERIFY(!SweepRunning);
        QCOMPARE(SweepIndex, 2);
        QCOMPARE(SweepSamples[0][0], 0.0f);
        QCOMPARE(SweepSamples[10][1], 110.0f);
        QCOMPARE(SweepSamples[4][2], 204.0f);
        QCOMPARE(SweepSamples[0][3], 0.0f); // beyond the run
        // The frame's own |Z| and angle, the reported frequency and the circuit, per point.
        QCOMPARE(SweepMagnitudes[1], 114.0f);
        QCOMPARE(SweepPhases[2], 215.0f);
        QCOMPARE(SweepReportedFrequencies[2], 1002);
        QVERIFY(SweepSeriesCircuits[0] && !SweepSeriesCircuits[1] && SweepSeriesCircuits[2]);

        // Left to the link's state, the frame's frequency and circuit are the link's.
        ResetSweepState();
        Device::FrequencyHz = 120;
        Device::SeriesCircuit = 0;
        StoreSweepSample(values);
        QCOMPARE(SweepReportedFrequencies[0], 120);
        QVERIFY(!SweepSeriesCircuits[0]);
        Device::ResetState();
    }

    // Taken points: none at start-up, those before the index during a run, all once it ended,
    // none again when the next run starts, even if the earlier run was longer.
    void takenPoints() {
        const float values[Device::ParameterValueCount] = {};
        QCOMPARE(TakenSweepPoints(), 0);
        SweepPoints = 3;
        SweepRunning = true;
        QCOMPARE(TakenSweepPoints(), 0);
        for (int n = 1; n <= 3; ++n) {
            StoreSweepSample(values);
            AdvanceSweep();
            QCOMPARE(TakenSweepPoints(), n);
        }
        QVERIFY(!SweepRunning);
        SweepPoints = 2; // START of a shorter run
        SweepIndex = 0;
        SweepRunning = true;
        QCOMPARE(TakenSweepPoints(), 0);
        StoreSweepSample(values);
        AdvanceSweep();
        QCOMPARE(TakenSweepPoints(), 1);
        StoreSweepSample(values);
        AdvanceSweep();
        QCOMPARE(TakenSweepPoints(), 2);

        SweepVariables full;
        full.SweepPoints = SweepCapacity;
        full.SweepIndex = SweepCapacity - 1;
        QCOMPARE(TakenSweepPoints(full), SweepCapacity);
    }

    void statistics() {
        const float row[] = {3.0f, -1.0f, 7.0f, 2.0f, 100.0f};
        const SweepStatistic all = ComputeSweepStatistic(row, 3);
        QCOMPARE(all.minimum, -1.0f);
        QCOMPARE(all.maximum, 7.0f);
        QCOMPARE(all.mean, 2.75f);
        const SweepStatistic first = ComputeSweepStatistic(row, 0);
        QCOMPARE(first.minimum, 3.0f);
        QCOMPARE(first.mean, 3.0f);
        QCOMPARE(first.maximum, 3.0f);
        const float negative[] = {-5.0f, -2.0f, -9.0f};
        QCOMPARE(ComputeSweepStatistic(negative, 2).minimum, -9.0f);
        QCOMPARE(ComputeSweepStatistic(negative, 2).maximum, -2.0f);
        // The sum is single precision: each 1 added to 2^24 is lost.
        const float big[] = {16777216.0f, 1.0f, 1.0f};
        QVERIFY(ComputeSweepStatistic(big, 2).mean == 5592405.5f); // QCOMPARE would be fuzzy
    }

    void formatStatistic_data() {
        QTest::addColumn<Statistic>("c");
        QTest::newRow("mean of 5000 pF") << Statistic{0, 5000.0f, true, "Cs  5.000000 nF", 1000.0f};
        QTest::newRow("D") << Statistic{8, 0.012345f, true, "D   0.012345 ", 1.0f};
        QTest::newRow("12000 pF") << Statistic{0, 12000.0f, true, "Cs  12.00000 nF", 1000.0f};
        QTest::newRow("1000 keeps the prefix")
            << Statistic{0, 1000.0f, true, "Cs  1000.000 pF", 1.0f};
        QTest::newRow("just above 1000 steps up")
            << Statistic{0, 1000.0001f, true, "Cs  1.000000 nF", 1000.0f};
        QTest::newRow("parallel") << Statistic{0, 5000.0f, false, "Cp  5.000000 nF", 1000.0f};
        QTest::newRow("negative reactance")
            << Statistic{5, -123456.0f, true, "Xs -123.4560 OM", 1000.0f};
        QTest::newRow("phase, no circuit letter")
            << Statistic{10, -45.5f, true, "F  -45.50000 deg", 1.0f};
        QTest::newRow("Q") << Statistic{9, 534.4543f, false, "Q   534.4543 ", 1.0f};
        QTest::newRow("up to G") << Statistic{2, 5e12f, true, "Rs  5.000000 GOm", 1e12f};
        QTest::newRow("beyond G") << Statistic{8, 1e30f, true, "D  OWERLOAD G", 1e9f};
        QTest::newRow("infinity") << Statistic{0, Inf, true, "Cs OWERLOAD GF", 1e21f};
        QTest::newRow("minus infinity") << Statistic{0, -Inf, true, "Cs OWERLOAD GF", 1e21f};
        QTest::newRow("not a number")
            << Statistic{0, std::numeric_limits<float>::quiet_NaN(), true, "Cs  nan  pF", 1.0f};
    }
    void formatStatistic() {
        QFETCH(Statistic, c);
        Device::Line line;
        std::memset(line, 'x', sizeof line);
        const float factor = FormatStatistic(c.index, c.value, c.series, line);
        QCOMPARE(Text(line), QString::fromLatin1(c.text));
        QCOMPARE(factor, c.factor);
    }

    // Each label takes its own prefix; the curve is in the unit of the mean; the points not yet
    // taken are plotted but left out of the statistics.
    void summary() {
        SweepPoints = 6;
        SweepIndex = 3;
        const float capacitance[] = {1000.0f, 2000.0f, 12000.0f, 5000.0f, 7e6f, -3.0f};
        const float dissipation[] = {0.01f, 0.02f, 0.03f, 0.02f, 9.0f, 9.0f};
        for (int k = 0; k < 6; ++k) {
            SweepSamples[0][k] = capacitance[k];
            SweepSamples[8][k] = dissipation[k];
        }
        SweepSummary s;
        SummariseSweep(0, 8, true, s);
        QCOMPARE(Text(s.minimum[0]), QStringLiteral("Cs  1000.000 pF"));
        QCOMPARE(Text(s.mean[0]), QStringLiteral("Cs  5.000000 nF"));
        QCOMPARE(Text(s.maximum[0]), QStringLiteral("Cs  12.00000 nF"));
        QCOMPARE(Text(s.minimum[1]), QStringLiteral("D   0.010000 "));
        QCOMPARE(Text(s.maximum[1]), QStringLiteral("D   0.030000 "));
        QCOMPARE(s.factor[0], 1000.0f);
        QCOMPARE(s.factor[1], 1.0f);
        QCOMPARE(s.title[0], 'C');
        QCOMPARE(s.title[1], 'D');
        const float plotted[] = {1.0f, 2.0f, 12.0f, 5.0f, 7000.0f, -0.003f};
        for (int k = 0; k < 6; ++k) {
            QCOMPARE(PlotValues1[k], plotted[k]);
            QCOMPARE(PlotValues2[k], dissipation[k]);
        }
        QCOMPARE(PlotValues1[6], 0.0f); // beyond the run: not written
    }

    void pointX() {
        SweepFrequencies[2] = 55555.0f;
        QCOMPARE(SweepPointX(2, true), 55.555);
        QCOMPARE(SweepPointX(2, false), 3.0);
    }

    // The first taken point of each new connection; points not yet taken (slots a running sweep
    // has not reached, still on the connection START gave them) make none.
    void connectionBreaks_data() {
        QTest::addColumn<QList<int>>("connections");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<int>>("breaks");
        QTest::newRow("one connection") << QList<int>{4, 4, 4, 4, 4} << false << 4 << QList<int>{};
        QTest::newRow("lost twice") << QList<int>{1, 1, 2, 2, 3} << false << 4 << QList<int>{2, 4};
        QTest::newRow("lost at the first point")
            << QList<int>{1, 2, 2} << false << 2 << QList<int>{1};
        QTest::newRow("going, the new one not yet taken")
            << QList<int>{1, 1, 2, 1, 1} << true << 2 << QList<int>{};
        QTest::newRow("going, taken on the new one")
            << QList<int>{1, 1, 2, 1, 1} << true << 3 << QList<int>{2};
        QTest::newRow("nothing taken") << QList<int>{1, 2, 3} << true << 0 << QList<int>{};
    }
    void connectionBreaks() {
        QFETCH(QList<int>, connections);
        QFETCH(bool, running);
        QFETCH(int, index);
        QFETCH(QList<int>, breaks);
        SweepVariables store;
        store.SweepPoints = static_cast<int>(connections.size());
        store.SweepRunning = running;
        store.SweepIndex = index;
        for (int i = 0; i < connections.size(); ++i)
            store.SweepConnections[i] = static_cast<std::uint32_t>(connections[i]);
        QCOMPARE(Sweep::ConnectionBreaks(store), breaks);
    }

    void resetRestoresStartValues() {
        SweepRunning = true;
        SweepPoints = 77;
        SweepIndex = 5;
        SweepSamples[10][255] = 1.0f;
        PlotValues2[3] = 2.0f;
        ResetSweepState();
        QVERIFY(!SweepRunning);
        QCOMPARE(SweepPoints, 10);
        QCOMPARE(SweepIndex, 0);
        QCOMPARE(SweepSamples[10][255], 0.0f);
        QCOMPARE(PlotValues2[3], 0.0f);
    }
};

QTEST_APPLESS_MAIN(TestSweep)
#include "test_sweep.moc"
