// Sorting in the core, over a batch of parts that the simulated meter puts into its contacts and
// takes out again, with a bouncing contact at each: every part gets one verdict, the one worked
// out by hand from its value, and nothing else is counted.
#include "sim/batch.h"
#include "sim/batch_plan.h"
#include "tests/core/meter_bench.h"

#include <QSignalSpy>

#include <cmath>
#include <memory>

using namespace TestCore;

namespace {

constexpr int Parts = 30;

// C around 100 nF: bin 1 within ±1 %, bin 2 within ±2 %, bin 3 within ±5 %.
Sort::Plan NestedPlan() {
    Sort::Plan plan;
    plan.primary = Device::ParC;
    plan.mode = Sort::Mode::PercentTolerance;
    plan.nominal = 100e-9;
    plan.bins = {{-1.0, 1.0}, {-2.0, 2.0}, {-5.0, 5.0}};
    return plan;
}

// The bin of a part of c farads, by hand; -1 where single precision cannot decide it.
int BinByHand(double c) {
    const double deviation = std::abs(c / 100e-9 - 1.0) * 100.0;
    for (double limit : {1.0, 2.0, 5.0})
        if (std::abs(deviation - limit) < 1e-3) return -1;
    return deviation <= 1.0 ? 1 : deviation <= 2.0 ? 2 : deviation <= 5.0 ? 3 : 0;
}

} // namespace

class TestSortingSession : public QObject {
    Q_OBJECT

private slots:
    void batchGetsOneVerdictPerPart() {
        Bench b;
        QString why;
        const std::optional<Sim::BatchPlan> batch = Sim::parseBatchPlan(
            QStringLiteral("C=100n,R=0.5;count=%1;spread=3%;sit=10r;gap=5r;bounce=2r;seed=11")
                .arg(Parts),
            &why);
        QVERIFY2(batch, qPrintable(why));
        QVERIFY(b.Find());
        b.session.SetCircuit(true);
        b.session.SetSortPlan(NestedPlan(), Sort::DetectorSettings{});
        b.session.SetSorting(true);
        b.meter.setBatch(std::make_shared<Sim::Batch>(*batch));
        QSignalSpy sorted(&b.session, &Core::Session::partSorted);
        // The batch is over once its last part has gone: then the contacts stay open.
        // A reply lost on a busy machine costs a part one of its readings: each sits long enough
        // to settle and each gap to read open although some are lost.
        const QDeadlineTimer deadline(60000); // for the whole batch, never a measured time
        while (sorted.count() < Parts && !deadline.hasExpired())
            b.session.Tick();
        for (int tick = 0; tick < 30; ++tick)
            b.session.Tick();
        b.session.tmr.stop();

        const QList<double> values = b.meter.batchValues();
        QCOMPARE(sorted.count(), Parts);
        QCOMPARE(b.session.SortCounts().total(), Parts);
        int decided = 0;
        for (int i = 0; i < Parts; ++i) {
            const auto entry = sorted.at(i).first().value<Sort::LogEntry>();
            QVERIFY(!entry.onDemand);
            const int expected = BinByHand(values.at(i));
            if (expected < 0) continue;
            ++decided;
            QVERIFY2(entry.verdict.code(false) == expected,
                     qPrintable(QStringLiteral("part %1: %2 F in bin %3")
                                    .arg(i)
                                    .arg(values.at(i))
                                    .arg(entry.verdict.code(false))));
        }
        QVERIFY(decided > Parts / 2);
        QCOMPARE(int(b.session.SortLog().size()), Parts);
    }

    // On demand: the reading present now, counted once, and not again by contact.
    void onDemandSortsThePartInTheContacts() {
        Bench b;
        QVERIFY(b.Find());
        b.session.SetCircuit(true);
        b.session.SetSortPlan(NestedPlan(), Sort::DetectorSettings{});
        QCOMPARE(b.session.SortNow().code(false), 1); // the bench's 100 nF, comparator off
        b.session.SetSorting(true);
        for (int tick = 0; tick < 10; ++tick)
            QVERIFY(TickWithFrame(b.session).accepted);
        QCOMPARE(b.session.SortCounts().total(), 2); // by hand, then by contact once
        QVERIFY(b.session.SortNow().passed());
        for (int tick = 0; tick < 10; ++tick)
            QVERIFY(TickWithFrame(b.session).accepted);
        QCOMPARE(b.session.SortCounts().total(), 3);
        b.session.ClearSortCounts();
        QCOMPARE(b.session.SortCounts().total(), 0);
        QVERIFY(b.session.SortLog().empty());
    }
};

QTEST_GUILESS_MAIN(TestSortingSession)
#include "test_sorting_session.moc"
