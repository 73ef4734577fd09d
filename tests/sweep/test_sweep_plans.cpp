// Point plans (log, list file, the meter's list), the readings of a run (resonance, extremes,
// nearest point), a held reference and deviations from it, and the log axis' ticks.
#include "link/capabilities.h"
#include "link/models.h"
#include "sweep/frequency_ticks.h"
#include "sweep/reference_trace.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_reading.h"
#include "sweep/sweep_store.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using Plan = std::vector<std::int32_t>;
using Values = std::vector<double>;

Q_DECLARE_METATYPE(Plan)
Q_DECLARE_METATYPE(Values)

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

Sweep::ListFile ReadList(const QByteArray &text) {
    QByteArray bytes = text;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return Sweep::ReadFrequencyList(buffer);
}

// Reactance of a series R-L-C at f.
double SeriesX(double f, double l, double c) {
    const double w = 2.0 * M_PI * f;
    return w * l - 1.0 / (w * c);
}

// A store holding a finished run of n points at the given frequencies, parameter k of point i
// being k * 1000 + frequency / 1000.
void FillStore(const Plan &frequencies) {
    Main::ResetSweepState();
    Main::SweepPoints = static_cast<int>(frequencies.size());
    for (int i = 0; i < Main::SweepPoints; ++i) {
        Main::SweepFrequencies[i] = static_cast<float>(frequencies[static_cast<std::size_t>(i)]);
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            Main::SweepSamples[k][i] =
                static_cast<float>(k * 1000 + frequencies[static_cast<std::size_t>(i)] / 1000);
    }
    Main::SweepIndex = Main::SweepPoints - 1; // ended
}

} // namespace

class TestSweepPlans : public QObject {
    Q_OBJECT

private slots:
    void logPlan_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("points");
        QTest::addColumn<Plan>("expected");
        QTest::newRow("two points") << 25 << 10000000 << 2 << Plan{25, 10000000};
        QTest::newRow("Fmin = Fmax") << 1000 << 1000 << 4 << Plan{1000, 1000, 1000, 1000};
        QTest::newRow("decade in 4") << 100 << 1000 << 4 << Plan{100, 215, 464, 1000};
        // Neighbours that round to the same hertz are all kept.
        QTest::newRow("duplicates") << 25 << 27 << 6 << Plan{25, 25, 26, 26, 27, 27};
        QTest::newRow("three decades") << 25 << 25000 << 4 << Plan{25, 250, 2500, 25000};
    }
    void logPlan() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, points);
        QFETCH(Plan, expected);
        QCOMPARE(Sweep::LogPlan(low, high, points), expected);
    }

    // A decade in 256 points: rising, never by more than the step's share, ending on Fmax.
    void logPlanOfOneDecadeIn256() {
        const Plan plan = Sweep::LogPlan(1000, 10000, 256);
        QCOMPARE(int(plan.size()), 256);
        QCOMPARE(plan.front(), 1000);
        QCOMPARE(plan.back(), 10000);
        QCOMPARE(plan[128], std::int32_t(std::lround(1000 * std::pow(10.0, 128.0 / 255.0))));
        for (std::size_t i = 1; i < plan.size(); ++i)
            QVERIFY(plan[i] > plan[i - 1] && plan[i] - plan[i - 1] <= 10000 * 0.0095);
        const Plan full = Sweep::LogPlan(25, 10000000, 256);
        QCOMPARE(full.back(), 10000000);
        QCOMPARE(full[255 / 2], std::int32_t(std::lround(25 * std::pow(400000.0, 127.0 / 255.0))));
    }

    // The planner's points: linear stays the designed fill, log rounds, a list is its length.
    void plannedFrequencies() {
        const Device::Capabilities any = Device::AnyModelCapabilities();
        Sweep::Request linear;
        linear.start = 25;
        linear.stop = 10000000;
        linear.points = 256;
        const Plan full = Sweep::PlanRun(linear, any).points;
        QCOMPARE(full[253], 9921569);
        QCOMPARE(full[255], 10000000);
        Sweep::Request log;
        log.spacing = Sweep::Spacing::Log;
        log.start = 100;
        log.stop = 10000;
        log.points = 5;
        QCOMPARE(Sweep::PlanRun(log, any).points, (Plan{100, 316, 1000, 3162, 10000}));
        Sweep::Request list;
        list.spacing = Sweep::Spacing::List;
        list.list = {700, 300, 300};
        QCOMPARE(Sweep::PlanRun(list, any).points, (Plan{700, 300, 300}));
    }

    void meterList() {
        QCOMPARE(Sweep::MeterListPlan(100, 1000).front(), 100);
        QCOMPARE(Sweep::MeterListPlan(100, 1000).back(), 1000);
        const Plan all = Sweep::MeterListPlan(1, 100000000);
        QCOMPARE(all, Plan(Device::FrequencyList.begin(), Device::FrequencyList.end()));
        QVERIFY(Sweep::MeterListPlan(101, 119).empty());
        for (std::int32_t f : Sweep::MeterListPlan(1000, 100000))
            QVERIFY(f >= 1000 && f <= 100000);
    }

    void listFile_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Plan>("expected");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("problem");
        QTest::newRow("comments and blanks")
            << QByteArray("# capacitor run\n100\n\n  1000  # one kilohertz\r\n10000\n")
            << Plan{100, 1000, 10000} << 0 << QString();
        QTest::newRow("duplicates kept, order kept")
            << QByteArray("5000\n100\n100") << Plan{5000, 100, 100} << 0 << QString();
        QTest::newRow("bounds inclusive")
            << QByteArray("25\n10000000\n") << Plan{25, 10000000} << 0 << QString();
        QTest::newRow("below") << QByteArray("100\n24\n") << Plan{} << 2
                               << QStringLiteral("строка 2: частота вне 25 … 10000000 Гц");
        QTest::newRow("above") << QByteArray("#\n100\n10000001\n") << Plan{} << 3
                               << QStringLiteral("строка 3: частота вне 25 … 10000000 Гц");
        QTest::newRow("not whole") << QByteArray("100\n1.5e3\n") << Plan{} << 2
                                   << QStringLiteral("строка 2: не целое число герц");
        QTest::newRow("two on a line") << QByteArray("100 200\n") << Plan{} << 1
                                       << QStringLiteral("строка 1: не целое число герц");
        QTest::newRow("empty") << QByteArray() << Plan{} << 0
                               << QStringLiteral("меньше двух частот");
        QTest::newRow("comments only")
            << QByteArray("# 100\n#\n") << Plan{} << 0 << QStringLiteral("меньше двух частот");
        QTest::newRow("one") << QByteArray("100\n") << Plan{} << 0
                             << QStringLiteral("меньше двух частот");
        QByteArray full, over;
        for (int i = 0; i < 256; ++i)
            full += QByteArray::number(100 + i) + "\n";
        over = "# header\n" + full + "9999\n";
        Plan fullPlan;
        for (int i = 0; i < 256; ++i)
            fullPlan.push_back(100 + i);
        QTest::newRow("256") << full << fullPlan << 0 << QString();
        QTest::newRow("257") << over << Plan{} << 258
                             << QStringLiteral("строка 258: больше 256 частот");
    }
    void listFile() {
        QFETCH(QByteArray, text);
        QFETCH(Plan, expected);
        QFETCH(int, line);
        QFETCH(QString, problem);
        const Sweep::ListFile list = ReadList(text);
        QCOMPARE(list.ok(), problem.isEmpty());
        QCOMPARE(Sweep::ListFileProblem(list), problem.isEmpty() ? QString() : problem);
        QCOMPARE(list.line, line);
        if (list.ok()) QCOMPARE(list.frequencies, expected);
    }

    // Only regular files of a sane size are read.
    void listFileOnDisk() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("100\n200\n");
        file.close();
        QCOMPARE(Sweep::ReadFrequencyListFile(path).frequencies, (Plan{100, 200}));
        QVERIFY(!Sweep::ReadFrequencyListFile(dir.path()).ok());
        QVERIFY(!Sweep::ReadFrequencyListFile(dir.filePath(QStringLiteral("none"))).ok());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(Sweep::ListFileLargest + 1, '#'));
        file.close();
        QCOMPARE(Sweep::ListFileProblem(Sweep::ReadFrequencyListFile(path)),
                 QStringLiteral("файл слишком велик"));
    }

    void resonance_data() {
        QTest::addColumn<Values>("f");
        QTest::addColumn<Values>("x");
        QTest::addColumn<double>("expected"); // NaN: none
        QTest::addColumn<int>("before");
        QTest::newRow("no change") << Values{1, 2, 3} << Values{-3, -2, -1} << NaN << -1;
        QTest::newRow("at the first point") << Values{1, 2, 3} << Values{0, 2, 3} << 1.0 << 0;
        QTest::newRow("at the last point") << Values{1, 2, 3} << Values{-2, -1, 0} << 3.0 << 2;
        QTest::newRow("change into the last")
            << Values{10, 100, 1000} << Values{-2, -1, 1} << std::sqrt(100.0 * 1000.0) << 1;
        QTest::newRow("change out of the first")
            << Values{10, 100, 1000} << Values{-1, 3, 4} << std::pow(10.0, 1.25) << 0;
        QTest::newRow("inductive to capacitive")
            << Values{10, 100} << Values{1, -1} << std::sqrt(1000.0) << 0;
        QTest::newRow("only the first change")
            << Values{1, 10, 100, 1000} << Values{-1, 1, 1, -1} << std::sqrt(10.0) << 0;
        QTest::newRow("not across a gap") << Values{1, 10, 100} << Values{-1, NaN, 1} << NaN << -1;
        QTest::newRow("one point") << Values{1} << Values{-1} << NaN << -1;
        QTest::newRow("none") << Values{} << Values{} << NaN << -1;
    }
    void resonance() {
        QFETCH(Values, f);
        QFETCH(Values, x);
        QFETCH(double, expected);
        QFETCH(int, before);
        const auto found = Sweep::FindResonance(f.data(), x.data(), int(f.size()));
        QCOMPARE(found.has_value(), !std::isnan(expected));
        if (!found) return;
        QVERIFY2(std::fabs(found->frequency - expected) <= expected * 1e-12,
                 qPrintable(QString::number(found->frequency, 'g', 12)));
        QCOMPARE(found->before, before);
    }

    // A series R-L-C over the full band in 256 log points: the resonance within 0.1 %.
    void resonanceOfASeriesCircuit() {
        const double l = 10e-6, c = 200e-12;
        const double f0 = 1.0 / (2.0 * M_PI * std::sqrt(l * c));
        const Plan plan = Sweep::LogPlan(25, 10000000, 256);
        Values f(plan.begin(), plan.end()), x;
        for (double hz : f)
            x.push_back(SeriesX(hz, l, c));
        const auto found = Sweep::FindResonance(f.data(), x.data(), int(f.size()));
        QVERIFY(found);
        QVERIFY2(std::fabs(found->frequency / f0 - 1.0) < 1e-3,
                 qPrintable(QString::number(found->frequency)));
        QVERIFY(f[std::size_t(found->before)] < f0 && f[std::size_t(found->before) + 1] > f0);
    }

    void extremesAndNearest() {
        const Values v{3, NaN, -2, 7, -2, 7};
        const Sweep::Extremes e = Sweep::FindExtremes(v.data(), int(v.size()));
        QCOMPARE(e.lowest, 2);
        QCOMPARE(e.highest, 3);
        const Values gaps{NaN, NaN};
        QCOMPARE(Sweep::FindExtremes(gaps.data(), 2).lowest, -1);
        const Values xs{1, 2, NaN, 4, 8};
        QCOMPARE(Sweep::NearestPoint(xs.data(), 5, 2.9), 1);
        QCOMPARE(Sweep::NearestPoint(xs.data(), 5, 3.1), 3);
        QCOMPARE(Sweep::NearestPoint(xs.data(), 5, 100.0), 4);
        QCOMPARE(Sweep::NearestPoint(xs.data(), 5, -100.0), 0);
        QCOMPARE(Sweep::NearestPoint(gaps.data(), 2, 0.0), -1);
    }

    // The held reference keeps every parameter of the taken points, sorted by frequency.
    void holdReference() {
        FillStore({3000, 1000, 2000});
        const Sweep::ReferenceTrace held = Sweep::HoldReference();
        QCOMPARE(held.frequencies, (Values{1000, 2000, 3000}));
        QCOMPARE(held.values[0], (Values{1, 2, 3}));
        QCOMPARE(held.values[10], (Values{10001, 10002, 10003}));
        Main::SweepStatuses[2] = 5; // 2000 Hz was given up: no part of a reference
        QCOMPARE(Sweep::HoldReference().frequencies, (Values{1000, 3000}));
        Main::SweepStatuses[2] = 0;
        Main::SweepRunning = true; // a run going: only the points before SweepIndex
        Main::SweepIndex = 2;
        QCOMPARE(Sweep::HoldReference().frequencies, (Values{1000, 3000}));
        Main::ResetSweepState(); // nothing taken since the start-up
        QVERIFY(Sweep::HoldReference().empty());
    }

    // Linear in log f between the points around a frequency; nothing outside the span.
    void deviations_data() {
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("measured");
        QTest::addColumn<double>("delta"); // NaN: no value
        QTest::addColumn<double>("percent");
        // The reference: parameter 0 is 1, 2, 4 at 1, 10, 100 kHz.
        QTest::newRow("on a point") << 10000.0 << 2.5 << 0.5 << 25.0;
        QTest::newRow("half a decade") << std::sqrt(10.0) * 1000.0 << 1.5 << 0.0 << 0.0;
        QTest::newRow("lowest end") << 1000.0 << 0.0 << -1.0 << -100.0;
        QTest::newRow("highest end") << 100000.0 << 5.0 << 1.0 << 25.0;
        QTest::newRow("below the span") << 999.0 << 1.0 << NaN << NaN;
        QTest::newRow("above the span") << 100001.0 << 1.0 << NaN << NaN;
        QTest::newRow("measured not finite") << 10000.0 << NaN << NaN << NaN;
    }
    void deviations() {
        QFETCH(double, hz);
        QFETCH(double, measured);
        QFETCH(double, delta);
        QFETCH(double, percent);
        Sweep::ReferenceTrace ref;
        ref.frequencies = {1000, 10000, 100000};
        ref.values[0] = {1, 2, 4};
        const auto d = Sweep::DeviationAt(ref, 0, hz, measured);
        QCOMPARE(d.has_value(), !std::isnan(delta));
        if (!d) return;
        QVERIFY2(std::fabs(d->delta - delta) < 1e-12, qPrintable(QString::number(d->delta)));
        QVERIFY2(std::fabs(d->percent - percent) < 1e-9, qPrintable(QString::number(d->percent)));
    }

    // A reference of another span and spacing: values only where the spans overlap, and a
    // reference of zero gives a delta but no percentage.
    void deviationAgainstAnotherSpan() {
        FillStore({100, 1000, 10000}); // parameter 5: 5000 + f/1000 → 5000, 5001, 5010
        const Sweep::ReferenceTrace held = Sweep::HoldReference();
        const Plan run = Sweep::LogPlan(25, 100000, 7);
        int compared = 0;
        for (std::int32_t f : run) {
            const auto d = Sweep::DeviationAt(held, 5, f, 5000.0);
            QCOMPARE(d.has_value(), f >= 100 && f <= 10000);
            if (d) ++compared;
        }
        QVERIFY(compared >= 2);
        Sweep::ReferenceTrace zero;
        zero.frequencies = {100, 200};
        zero.values[8] = {0, 0};
        const auto d = Sweep::DeviationAt(zero, 8, 150, 0.25);
        QVERIFY(d && d->delta == 0.25 && std::isnan(d->percent));
        QVERIFY(!Sweep::ReferenceAt(zero, 11, 150)); // no such parameter
    }

    void logTicks_data() {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("full band")
            << 25.0 << 1e7
            << QStringList{"50 Hz",   "100 Hz", "200 Hz", "500 Hz", "1 kHz",   "2 kHz",
                           "5 kHz",   "10 kHz", "20 kHz", "50 kHz", "100 kHz", "200 kHz",
                           "500 kHz", "1 MHz",  "2 MHz",  "5 MHz",  "10 MHz"};
        QTest::newRow("ends on ticks")
            << 100.0 << 1000.0 << QStringList{"100 Hz", "200 Hz", "500 Hz", "1 kHz"};
        QTest::newRow("narrow: every step")
            << 3000.0 << 6000.0 << QStringList{"3 kHz", "4 kHz", "5 kHz", "6 kHz"};
        QTest::newRow("nothing to tick") << 0.0 << 100.0 << QStringList{};
        QTest::newRow("crowded: decades")
            << 25.0 << 1e7
            << QStringList{"100 Hz", "1 kHz", "10 kHz", "100 kHz", "1 MHz", "10 MHz"};
    }
    void logTicks() {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QStringList, labels);
        QStringList got;
        double previous = 0.0;
        const int most = QByteArray(QTest::currentDataTag()).startsWith("crowded") ? 16 : 1000;
        for (const Sweep::FrequencyTick &t : Sweep::LogFrequencyTicks(low, high, most)) {
            got << t.label;
            QVERIFY(t.hz > previous && t.hz >= low && t.hz <= high);
            previous = t.hz;
        }
        QCOMPARE(got, labels);
    }

    void frequencyText() {
        QCOMPARE(Sweep::FrequencyText(25), QStringLiteral("25 Hz"));
        QCOMPARE(Sweep::FrequencyText(3600000), QStringLiteral("3.6 MHz"));
        QCOMPARE(Sweep::FrequencyText(1234567), QStringLiteral("1.235 MHz"));
        QCOMPARE(Sweep::FrequencyText(999), QStringLiteral("999 Hz"));
        QCOMPARE(Sweep::FrequencyText(-2500), QStringLiteral("-2.5 kHz"));
    }
};

QTEST_GUILESS_MAIN(TestSweepPlans)
#include "test_sweep_plans.moc"
