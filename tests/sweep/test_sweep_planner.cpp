// The models' capabilities, the single checks and the one planner of a run: each spacing and
// swept quantity, and each refusal with the bound it broke.
#include "link/capabilities.h"
#include "link/refusal.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_store.h"

#include <QtTest>

using Points = std::vector<std::int32_t>;
using Device::Refusal;
using Subject = Refusal::Subject;
using Bound = Refusal::Bound;

namespace {

constexpr int KT41 = 0, KT44 = 2, KT45 = 3, Any = -1;

Device::Capabilities Model(int row) {
    return row == Any ? Device::AnyModelCapabilities() : Device::CapabilitiesOf(row);
}

struct Case {
    int model;
    Sweep::Quantity quantity;
    Sweep::Spacing spacing;
    std::int32_t start, stop;
    int points;
    Points list;
    Points expected; // when accepted
    std::optional<Refusal> refusal;
};

Refusal Refused(Subject subject, Bound bound, double value, double limit, int index = -1) {
    return Refusal{subject, bound, value, limit, index};
}

QString Describe(const std::optional<Refusal> &r) {
    if (!r) return QStringLiteral("accepted");
    return QStringLiteral("subject %1 bound %2 value %3 limit %4 index %5")
        .arg(int(r->subject))
        .arg(int(r->bound))
        .arg(r->value)
        .arg(r->limit)
        .arg(r->index);
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestSweepPlanner : public QObject {
    Q_OBJECT

private slots:
    // The first model takes its bias in 100 mV steps; the KT-45 starts at 50 kHz; a run stays
    // within 25 Hz … 10 MHz whatever the model's window; the union takes the finest step.
    void capabilitiesPerModel() {
        const Device::Capabilities kt41 = Model(KT41), kt45 = Model(KT45), any = Model(Any);
        QCOMPARE(kt41.biasStepMillivolts, 100);
        QCOMPARE(Model(KT44).biasStepMillivolts, 10);
        QCOMPARE(kt41.highestHz, 1000000);
        QCOMPARE(kt41.sweepHighestHz, 1000000);
        QCOMPARE(kt45.lowestHz, 50000);
        QCOMPARE(kt45.highestHz, 30000000);
        QCOMPARE(kt45.sweepLowestHz, 50000);
        QCOMPARE(kt45.sweepHighestHz, 10000000);
        QCOMPARE(any.lowestHz, 25);
        QCOMPARE(any.highestHz, 30000000);
        QCOMPARE(any.sweepLowestHz, 25);
        QCOMPARE(any.sweepHighestHz, 10000000);
        QCOMPARE(any.biasStepMillivolts, 10);
        QCOMPARE(Model(Device::ModelCount).biasStepMillivolts, 10); // an unknown identity
        for (const Device::Capabilities &m : {kt41, kt45, any}) {
            QCOMPARE(m.highestBiasMillivolts, 40000);
            QCOMPARE(m.levelsMillivolts.front(), 1000);
            QCOMPARE(m.levelsMillivolts.back(), 5);
            QCOMPARE(m.rangeOhms.front(), 1e7);
            QCOMPARE(m.rangeOhms.back(), 1.0);
        }
    }

    void singleChecks() {
        const Device::Capabilities kt41 = Model(KT41), kt44 = Model(KT44);
        QVERIFY(!Device::CheckFrequency(kt41, 1000000));
        QCOMPARE(Describe(Device::CheckFrequency(kt41, 1000001)),
                 Describe(Refused(Subject::Frequency, Bound::High, 1000001, 1000000)));
        QCOMPARE(Describe(Device::CheckFrequency(Model(KT45), 49999)),
                 Describe(Refused(Subject::Frequency, Bound::Low, 49999, 50000)));
        QVERIFY(!Device::CheckBias(kt41, 1600));
        QCOMPARE(Describe(Device::CheckBias(kt41, 1650)),
                 Describe(Refused(Subject::Bias, Bound::Step, 1650, 100)));
        QVERIFY(!Device::CheckBias(kt44, 1650));
        QCOMPARE(Describe(Device::CheckBias(kt44, 40010)),
                 Describe(Refused(Subject::Bias, Bound::High, 40010, 40000)));
        QCOMPARE(Describe(Device::CheckBias(kt44, -10)),
                 Describe(Refused(Subject::Bias, Bound::Low, -10, 0)));
        QVERIFY(!Device::CheckLevel(kt44, 50));
        QCOMPARE(Describe(Device::CheckLevel(kt44, 300)),
                 Describe(Refused(Subject::Level, Bound::NotListed, 300, 0)));
        QCOMPARE(Device::RangeIndexOf(kt44, 1e7).value_or(-1), 0);
        QCOMPARE(Device::RangeIndexOf(kt44, 1000.0000001).value_or(-1), 4);
        QCOMPARE(Device::RangeIndexOf(kt44, 1.0).value_or(-1), 7);
        QVERIFY(!Device::RangeIndexOf(kt44, 500.0));
        QCOMPARE(Describe(Device::CheckRange(kt44, 500.0)),
                 Describe(Refused(Subject::Range, Bound::NotListed, 500, 0)));
    }

    void planner_data() {
        using Q = Sweep::Quantity;
        using S = Sweep::Spacing;
        const Q F = Q::Frequency, B = Q::Bias, L = Q::Level;
        QTest::addColumn<Case>("c");
        // Frequency: the designed linear fill, log, a list, samples at one frequency.
        QTest::newRow("linear halves")
            << Case{Any, F, S::Linear, 1000, 2000, 3, {}, {1000, 1500, 2000}, {}};
        QTest::newRow("linear truncated") << Case{
            Any, F, S::Linear, 1000, 100000, 5, {}, {1000, 25750, 50500, 75250, 100000}, {}};
        QTest::newRow("linear in single precision")
            << Case{Any, F, S::Linear, 25, 100, 4, {}, {25, 50, 75, 100}, {}};
        QTest::newRow("log") << Case{
            Any, F, S::Log, 1000, 100000, 5, {}, {1000, 3162, 10000, 31623, 100000}, {}};
        QTest::newRow("samples") << Case{Any, F,  S::Linear,          1000, 1000,
                                         3,   {}, {1000, 1000, 1000}, {}};
        QTest::newRow("list in its order")
            << Case{Any, F, S::List, 0, 0, 0, {700, 300, 300}, {700, 300, 300}, {}};
        // Frequency refusals, each with the bound it broke.
        QTest::newRow("start below 25")
            << Case{Any, F,    S::Linear,
                    24,  1000, 10,
                    {},  {},   Refused(Subject::SweepStart, Bound::Low, 24, 25)};
        QTest::newRow("start above 10 MHz") << Case{
            Any,      F,        S::Log,
            10000001, 10000001, 10,
            {},       {},       Refused(Subject::SweepStart, Bound::High, 10000001, 10000000)};
        QTest::newRow("stop below start")
            << Case{Any,  F,   S::Linear,
                    1000, 999, 10,
                    {},   {},  Refused(Subject::SweepStop, Bound::Low, 999, 1000)};
        QTest::newRow("stop above 10 MHz")
            << Case{KT45,  F,        S::Linear,
                    50000, 10000001, 10,
                    {},    {},       Refused(Subject::SweepStop, Bound::High, 10000001, 10000000)};
        QTest::newRow("below the KT-45")
            << Case{KT45,  F,      S::Linear,
                    49999, 100000, 10,
                    {},    {},     Refused(Subject::SweepStart, Bound::Low, 49999, 50000)};
        QTest::newRow("above the KT-41")
            << Case{KT41, F,       S::Log,
                    25,   1000001, 10,
                    {},   {},      Refused(Subject::SweepStop, Bound::High, 1000001, 1000000)};
        QTest::newRow("one point")
            << Case{Any, F,    S::Linear,
                    25,  1000, 1,
                    {},  {},   Refused(Subject::SweepPoints, Bound::Low, 1, 2)};
        QTest::newRow("257 points")
            << Case{Any, F,    S::Log,
                    25,  1000, 257,
                    {},  {},   Refused(Subject::SweepPoints, Bound::High, 257, 256)};
        QTest::newRow("list entry below")
            << Case{Any,
                    F,
                    S::List,
                    0,
                    0,
                    0,
                    {100, 24, 1},
                    {},
                    Refused(Subject::SweepList, Bound::Low, 24, 25, 1)};
        QTest::newRow("list entry beyond the KT-41")
            << Case{KT41,      F,  S::List,
                    0,         0,  0,
                    {2000000}, {}, Refused(Subject::SweepList, Bound::High, 2000000, 1000000, 0)};
        QTest::newRow("list of one") << Case{
            Any, F, S::List, 0, 0, 0, {100}, {}, Refused(Subject::SweepPoints, Bound::Low, 1, 2)};
        // Bias: rounded to the model's step, either way round, refused beyond the source.
        QTest::newRow("bias KT-41 in 100 mV")
            << Case{KT41, B, S::Linear, 0, 1000, 4, {}, {0, 300, 700, 1000}, {}};
        QTest::newRow("bias KT-44 in 10 mV")
            << Case{KT44, B, S::Linear, 0, 1000, 4, {}, {0, 330, 670, 1000}, {}};
        QTest::newRow("bias down")
            << Case{KT44, B, S::Linear, 40000, 0, 3, {}, {40000, 20000, 0}, {}};
        QTest::newRow("bias log") << Case{KT44, B, S::Log, 100, 10000, 3, {}, {100, 1000, 10000},
                                          {}};
        QTest::newRow("bias list rounded")
            << Case{KT41, B, S::List, 0, 0, 0, {1650, 40040, 0}, {1700, 40000, 0}, {}};
        QTest::newRow("bias list rounded beyond the top")
            << Case{KT41,
                    B,
                    S::List,
                    0,
                    0,
                    0,
                    {100, 40060},
                    {},
                    Refused(Subject::SweepList, Bound::High, 40060, 40000, 1)};
        QTest::newRow("bias stop above 40 V")
            << Case{KT44, B,     S::Linear,
                    0,    40001, 5,
                    {},   {},    Refused(Subject::SweepStop, Bound::High, 40001, 40000)};
        QTest::newRow("bias start negative")
            << Case{KT44, B,    S::Linear,
                    -10,  1000, 5,
                    {},   {},   Refused(Subject::SweepStart, Bound::Low, -10, 0)};
        QTest::newRow("bias log from 0") << Case{
            KT44, B, S::Log, 0, 1000, 5, {}, {}, Refused(Subject::SweepSpacing, Bound::Low, 0, 1)};
        QTest::newRow("bias one point")
            << Case{KT44, B,    S::Linear,
                    0,    1000, 1,
                    {},   {},   Refused(Subject::SweepPoints, Bound::Low, 1, 2)};
        // Levels: any of the six in the order given, nothing else.
        QTest::newRow("levels") << Case{KT44,          L, S::List, 0, 0, 0, {5, 1000, 50},
                                        {5, 1000, 50}, {}};
        QTest::newRow("level not one of them")
            << Case{KT44,     L,  S::List,
                    0,        0,  0,
                    {5, 300}, {}, Refused(Subject::SweepList, Bound::NotListed, 300, 0, 1)};
        QTest::newRow("levels spaced") << Case{
            KT44, L,    S::Linear,
            5,    1000, 3,
            {},   {},   Refused(Subject::SweepSpacing, Bound::NotListed, int(S::Linear), 0)};
    }
    void planner() {
        QFETCH(Case, c);
        Sweep::Request request;
        request.quantity = c.quantity;
        request.spacing = c.spacing;
        request.start = c.start;
        request.stop = c.stop;
        request.points = c.points;
        request.list = c.list;
        const Sweep::Plan plan = Sweep::PlanRun(request, Model(c.model));
        QCOMPARE(Describe(plan.refusal), Describe(c.refusal));
        QCOMPARE(plan.ok(), !c.refusal);
        QCOMPARE(plan.points, c.refusal ? Points{} : c.expected);
    }

    // Linear is the designed fill of the store, point for point, over the whole band.
    void linearIsTheStoresFill() {
        for (const auto &[low, high, n] :
             {std::tuple{25, 10000000, 256}, {1000, 1001, 256}, {7, 7, 2}, {999, 100003, 97}}) {
            Main::ResetSweepState();
            Main::SweepPoints = n;
            Main::FillSweepFrequencies(low, high);
            Sweep::Request request;
            request.start = low;
            request.stop = high;
            request.points = n;
            Device::Capabilities any = Model(Any);
            any.sweepLowestHz = 1; // 7 Hz: the fill's arithmetic, not its bounds
            const Sweep::Plan plan = Sweep::PlanRun(request, any);
            QVERIFY(plan.ok());
            for (int i = 0; i < n; ++i)
                QCOMPARE(float(plan.points[std::size_t(i)]), Main::SweepFrequencies[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TestSweepPlanner)
#include "test_sweep_planner.moc"
