// Sorting parts: the plan's verdicts at and around every kind of limit, one count per part from
// the readings of a fixture that parts go in and out of, and the plan's file.
#include "sorting/part_detector.h"
#include "sorting/plan_file.h"
#include "sorting/sort_log.h"
#include "sorting/sort_plan.h"

#include <QBuffer>
#include <QtTest>

#include <cmath>
#include <random>

using namespace Sort;

Q_DECLARE_METATYPE(Sort::Plan)

namespace {

// 100 nF: bin 1 ±1 %, bin 2 ±5 %, bin 3 −20 … +10 %; D at most 0.01.
Plan NestedPlan(bool aux = false) {
    Plan plan;
    plan.mode = Mode::PercentTolerance;
    plan.nominal = 100e-9;
    plan.bins = {{-1.0, 1.0}, {-5.0, 5.0}, {-20.0, 10.0}};
    plan.secondaryLimits.high = 0.01;
    plan.auxBin = aux;
    return plan;
}

Plan SequentialPlan() {
    Plan plan;
    plan.mode = Mode::Sequential;
    plan.boundaries = {90.0, 95.0, 105.0, 110.0};
    return plan;
}

Plan AbsolutePlan() {
    Plan plan;
    plan.primary = 2; // R
    plan.mode = Mode::AbsoluteTolerance;
    plan.nominal = 100.0;
    plan.bins = {{-0.5, 0.5}, {std::nullopt, 2.0}};
    return plan;
}

} // namespace

class TestSorting : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data() {
        QTest::addColumn<Plan>("plan");
        QTest::addColumn<double>("primary");
        QTest::addColumn<double>("secondary");
        QTest::addColumn<bool>("measured");
        QTest::addColumn<int>("code");
        const double nan = std::nan("");
        QTest::newRow("centre") << NestedPlan() << 100e-9 << 0.001 << true << 1;
        QTest::newRow("on bin 1's high limit") << NestedPlan() << 101e-9 << 0.0 << true << 1;
        QTest::newRow("on bin 1's low limit") << NestedPlan() << 99e-9 << 0.0 << true << 1;
        QTest::newRow("just past bin 1") << NestedPlan() << 101.001e-9 << 0.0 << true << 2;
        QTest::newRow("asymmetric bin 3, low side") << NestedPlan() << 81e-9 << 0.0 << true << 3;
        QTest::newRow("asymmetric bin 3, high side") << NestedPlan() << 111e-9 << 0.0 << true << 0;
        QTest::newRow("out") << NestedPlan() << 50e-9 << 0.0 << true << 0;
        QTest::newRow("secondary on its limit") << NestedPlan() << 100e-9 << 0.01 << true << 1;
        QTest::newRow("secondary fail, aux off") << NestedPlan() << 100e-9 << 0.02 << true << 0;
        QTest::newRow("secondary fail, aux on") << NestedPlan(true) << 100e-9 << 0.02 << true << 10;
        QTest::newRow("primary out before secondary")
            << NestedPlan(true) << 50e-9 << 0.02 << true << 0;
        QTest::newRow("undefined primary") << NestedPlan() << nan << 0.0 << true << 0;
        QTest::newRow("undefined secondary") << NestedPlan(true) << 100e-9 << nan << true << 10;
        QTest::newRow("no measurement") << NestedPlan() << 100e-9 << 0.0 << false << -1;
        QTest::newRow("empty plan") << Plan{} << 100e-9 << 0.0 << true << -1;
        Plan secondaryOnly;
        secondaryOnly.secondaryLimits.low = 50.0;
        QTest::newRow("no bins, secondary passes") << secondaryOnly << 1.0 << 60.0 << true << 1;
        QTest::newRow("no bins, secondary fails") << secondaryOnly << 1.0 << 40.0 << true << 0;
        QTest::newRow("sequential, first bin") << SequentialPlan() << 92.0 << 0.0 << true << 1;
        QTest::newRow("sequential, shared boundary to the lower bin")
            << SequentialPlan() << 95.0 << 0.0 << true << 1;
        QTest::newRow("sequential, last") << SequentialPlan() << 110.0 << 0.0 << true << 3;
        QTest::newRow("sequential, below") << SequentialPlan() << 89.9 << 0.0 << true << 0;
        QTest::newRow("absolute") << AbsolutePlan() << 100.4 << 0.0 << true << 1;
        QTest::newRow("absolute, open low side") << AbsolutePlan() << 1.0 << 0.0 << true << 2;
        QTest::newRow("absolute, above") << AbsolutePlan() << 102.5 << 0.0 << true << 0;
    }
    void verdicts() {
        QFETCH(Plan, plan);
        QFETCH(double, primary);
        QFETCH(double, secondary);
        QFETCH(bool, measured);
        QFETCH(int, code);
        QCOMPARE(Judge(plan, primary, secondary, measured).code(plan.auxBin), code);
    }

    // Counts and yield: what counted, what did not.
    void counts() {
        Counts counts;
        QCOMPARE(counts.yield(), 0.0);
        const Plan plan = NestedPlan();
        for (double c : {100e-9, 100.5e-9, 103e-9, 50e-9})
            counts.add(Judge(plan, c, 0.0, true));
        counts.add(Judge(plan, 100e-9, 0.5, true));
        counts.add(Judge(plan, 100e-9, 0.0, false)); // no verdict: not a part
        QCOMPARE(counts.bins[0], 2);
        QCOMPARE(counts.bins[1], 1);
        QCOMPARE(counts.out, 1);
        QCOMPARE(counts.secondaryFail, 1);
        QCOMPARE(counts.total(), 5);
        QCOMPARE(counts.yield(), 0.6);
    }

    void badPlans() {
        Plan plan = NestedPlan();
        plan.bins.resize(10, Limits{-1.0, 1.0});
        QCOMPARE(CheckPlan(plan)->kind, PlanProblem::Kind::TooManyBins);
        plan = NestedPlan();
        plan.bins[1] = {5.0, -5.0};
        QCOMPARE(CheckPlan(plan)->bin, 2);
        plan = NestedPlan();
        plan.nominal = 0.0;
        QCOMPARE(CheckPlan(plan)->kind, PlanProblem::Kind::NoNominal);
        plan = SequentialPlan();
        plan.boundaries = {1.0, 3.0, 2.0};
        QCOMPARE(CheckPlan(plan)->kind, PlanProblem::Kind::NotAscending);
        QVERIFY(!CheckPlan(NestedPlan()));
    }

    // A batch as a fixture gives it: open readings (overloads) between parts, each part's |Z|
    // settling over a few polls and noisy after, some readings left out (another frequency). Every
    // part is counted once, however long it sits; a part pulled out while settling is none.
    void batchCountsEveryPartOnce() {
        PartDetector detector;
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 2e-4);
        std::uniform_int_distribution<int> sitting(3, 40);
        int sorted = 0;
        const auto feed = [&](Contact contact, double magnitude) {
            if (detector.Feed(contact, magnitude)) ++sorted;
        };
        for (int part = 0; part < 200; ++part) {
            for (int poll = 0; poll < 3; ++poll)
                feed(detector.Classify(true, false, 0.0), 0.0);
            const double z = 1000.0 * (1.0 + part * 0.001);
            feed(Contact::Part, z * 1.3); // contact still bouncing
            feed(Contact::Part, z * 1.05);
            const int polls = sitting(random);
            for (int poll = 0; poll < polls; ++poll) {
                feed(Contact::Part, z * (1.0 + noise(random)));
                if (poll % 7 == 3) feed(Contact::Ignore, 0.0);
            }
            if (part % 50 == 0) feed(Contact::Open, 0.0); // one open reading: still the same part
            feed(Contact::Part, z);
        }
        QCOMPARE(sorted, 200);
        // Pulled out before it settled, then a part bounced in and out: nothing counted.
        detector.Reset();
        feed(Contact::Part, 1000.0);
        feed(Contact::Open, 0.0);
        feed(Contact::Part, 1000.0);
        feed(Contact::Part, 1000.0);
        feed(Contact::Open, 0.0);
        QCOMPARE(sorted, 200);
        QCOMPARE(detector.state(), PartDetector::State::Empty);
    }

    void classification() {
        const PartDetector detector;
        QCOMPARE(detector.Classify(true, false, 0.0), Contact::Open);
        QCOMPARE(detector.Classify(false, true, 2e7), Contact::Open);
        QCOMPARE(detector.Classify(false, true, 5e6), Contact::Part);
        QCOMPARE(detector.Classify(false, false, 5e6), Contact::Ignore);
    }

    void planFileRoundTrip() {
        DetectorSettings detector;
        detector.openOhms = 5e6;
        detector.stablePolls = 4;
        Plan plan = NestedPlan(true);
        plan.bins[2].low.reset();
        const PlanFile read = ReadPlanText(WritePlanText(plan, detector));
        QVERIFY2(read.ok(), qPrintable(read.reason));
        QCOMPARE(read.plan.bins.size(), std::size_t(3));
        QVERIFY(!read.plan.bins[2].low);
        QCOMPARE(*read.plan.bins[2].high, 10.0);
        QCOMPARE(read.plan.nominal, 100e-9);
        QVERIFY(read.plan.auxBin);
        QCOMPARE(*read.plan.secondaryLimits.high, 0.01);
        QCOMPARE(read.detector.openOhms, 5e6);
        QCOMPARE(read.detector.stablePolls, 4);
        QCOMPARE(read.detector.stableTolerance, detector.stableTolerance);
        QCOMPARE(*ParseSiNumber(QStringLiteral("100n")), 100e-9); // the nearest double
        QCOMPARE(*ParseSiNumber(QStringLiteral("33u")), 33e-6);
        QVERIFY(!ParseSiNumber(QStringLiteral("1e3k")));
        const PlanFile sequential = ReadPlanText("mode = seq\nboundaries = 90, 95k, 1M\n");
        QVERIFY(sequential.ok());
        QCOMPARE(sequential.plan.boundaries, (std::vector<double>{90.0, 95e3, 1e6}));
    }

    void badPlanFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("no equals") << QByteArray("primary C\n") << 1;
        QTest::newRow("unknown key") << QByteArray("# plan\n\nnominl = 1\n") << 3;
        QTest::newRow("bad number") << QByteArray("nominal = 10x\n") << 1;
        QTest::newRow("unknown quantity") << QByteArray("primary = W\n") << 1;
        QTest::newRow("limits without comma") << QByteArray("bin1 = 1\n") << 1;
        QTest::newRow("bin skipped") << QByteArray("nominal = 1\nbin2 = -1, 1\n") << 0;
        QTest::newRow("low above high") << QByteArray("nominal = 1\nbin1 = 1, -1\n") << 0;
        QTest::newRow("binary") << QByteArray("\x01\x02=\xff\n", 5) << 1;
    }
    void badPlanFiles() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        const PlanFile read = ReadPlanText(text);
        QVERIFY(!read.ok());
        QCOMPARE(read.line, line);
    }

    void logRows() {
        const Plan plan = NestedPlan(true);
        Reading reading;
        reading.magnitude = 1591.55;
        reading.phase = -1.5;
        reading.frequencyHz = 1000;
        reading.measured = true;
        LogEntry entry;
        entry.time = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
        entry.reading = reading;
        entry.verdict = JudgeReading(plan, reading);
        entry.connection = 2;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(WriteLogCsv(buffer, plan, {entry}));
        const QList<QByteArray> rows = buffer.data().split('\n');
        QVERIFY(rows[0].startsWith("time,part,C (F),D,verdict,bin,"));
        QVERIFY2(rows[1].startsWith("1970-01-01T00:00:00.000Z,1,"), rows[1].constData());
        QVERIFY2(rows[1].contains(",secondary fail,10,contact,"), rows[1].constData());
    }
};

QTEST_GUILESS_MAIN(TestSorting)
#include "test_sorting.moc"
