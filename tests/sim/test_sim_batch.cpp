// Tests of a batch of parts in the simulated meter: its text form, the values drawn, the
// sequence of parts and open contacts by position and by request, and the meter that reads it
// in-process, over the line and as impedix-sim.
#include "sim/batch.h"
#include "sim/batch_plan.h"
#include "sim/instrument.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"
#include "tests/sim/wire.h"

#include <QProcess>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <numeric>

using namespace TestWire;
using namespace std::chrono_literals;

namespace {

bool near(double actual, double expected, double relative = 1e-5) {
    return std::abs(actual - expected) <= relative * std::abs(expected);
}

Sim::BatchPlan plan(const QString &text) {
    QString error;
    const std::optional<Sim::BatchPlan> p = Sim::parseBatchPlan(text, &error);
    if (!p) qWarning("%s", qPrintable(error));
    return p.value_or(Sim::BatchPlan{});
}

// What the meter reads of the 1 kHz series part with C (or open terminals, 1e12 Ohm), worked
// out here from the drawn values rather than from the batch's own slots.
double expectedOhms(const QList<double> &values, qint64 position, qint64 sit, qint64 gap,
                    qint64 bounce) {
    const qint64 k = position / (sit + gap), within = position % (sit + gap);
    if (k >= values.size() || within >= sit) return Sim::OpenCircuitOhms;
    Sim::Component part = Sim::parseComponent(QStringLiteral("R=0.5")).value();
    part.capacitance = values[int(k)] * (within < bounce ? 0.7 : 1.0);
    return Sim::impedanceAt(part, 1000.0).magnitude;
}

} // namespace

class TestSimBatch : public QObject {
    Q_OBJECT

private slots:
    void planParses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("element");
        QTest::addColumn<bool>("requests");
        QTest::addColumn<QList<qint64>>("sitGapBounce");
        QTest::addColumn<double>("spread");
        QTest::addColumn<uint>("seed");
        const int c = int(Sim::BatchElement::Capacitance), l = int(Sim::BatchElement::Inductance),
                  r = int(Sim::BatchElement::Resistance);
        QTest::newRow("drawn") << "C=100n,R=0.5;count=200;spread=3%;sit=400;gap=200;seed=5" << 200
                               << c << false << QList<qint64>{400, 200, 0} << 3.0 << 5u;
        QTest::newRow("by requests") << " L=10m,R=2 ; count=3; sit=10r; gap=2R; bounce=3r" << 3 << l
                                     << true << QList<qint64>{10, 2, 3} << 0.0 << 1u;
        QTest::newRow("defaults") << "R=100;count=1" << 1 << r << false
                                  << QList<qint64>{400, 200, 0} << 0.0 << 1u;
        QTest::newRow("request defaults") << "R=1k,L=1m;count=1;bounce=1r" << 1 << l << true
                                          << QList<qint64>{10, 5, 1} << 0.0 << 1u;
        QTest::newRow("values") << "C=1n;values=99n, 101n,120n" << 3 << c << false
                                << QList<qint64>{400, 200, 0} << 0.0 << 1u;
        QTest::newRow("any case, ms, no gap") << "COUNT=2;Sit=40ms;gap=0;C=1u;spread=2.5;" << 2 << c
                                              << false << QList<qint64>{40, 0, 0} << 2.5 << 1u;
    }

    void planParses() {
        QFETCH(QString, text);
        QString error;
        const std::optional<Sim::BatchPlan> p = Sim::parseBatchPlan(text, &error);
        QVERIFY2(p, qPrintable(error));
        QTEST(p->count, "count");
        QTEST(int(*Sim::variedElement(p->part)), "element");
        QTEST(p->clock == Sim::BatchClock::Requests, "requests");
        QTEST((QList<qint64>{p->sit, p->gap, p->bounce}), "sitGapBounce");
        QTEST(p->spreadPercent, "spread");
        QTEST(uint(p->seed), "seed");
        QCOMPARE(int(Sim::drawBatchValues(*p).size()), p->count);
    }

    void planErrors_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("empty") << ""
                               << "no part";
        QTest::newRow("settings alone") << "count=5"
                                        << "no part";
        QTest::newRow("no count") << "C=1n"
                                  << "count";
        QTest::newRow("count zero") << "C=1n;count=0"
                                    << "'0'";
        QTest::newRow("count huge") << "C=1n;count=1000001"
                                    << "1000001";
        QTest::newRow("count fraction") << "C=1n;count=2.5"
                                        << "2.5";
        QTest::newRow("nothing to vary") << "count=2;C0=1n"
                                         << "C, L or R";
        QTest::newRow("two parts") << "C=1n;R=1;count=2"
                                   << "R=1";
        QTest::newRow("bad part") << "Q=1;count=2"
                                  << "Q=1";
        QTest::newRow("spread too wide") << "C=1n;count=2;spread=31%"
                                         << "31%";
        QTest::newRow("spread negative") << "C=1n;count=2;spread=-1"
                                         << "-1";
        QTest::newRow("spread around 0") << "C=0;count=2;spread=3"
                                         << "above 0";
        QTest::newRow("value 0") << "C=1n;values=1n,0"
                                 << "'0'";
        QTest::newRow("value missing") << "C=1n;values=1n,,2n"
                                       << "''";
        QTest::newRow("values and count") << "C=1n;values=1n;count=1"
                                          << "leave out";
        QTest::newRow("sit 0") << "C=1n;count=2;sit=0"
                               << "at least 1";
        QTest::newRow("units mixed") << "C=1n;count=2;sit=10r;gap=5"
                                     << "all";
        QTest::newRow("bounce as long as sit") << "C=1n;count=2;sit=5;bounce=5"
                                               << "shorter";
        QTest::newRow("gap negative") << "C=1n;count=2;gap=-1"
                                      << "-1";
        QTest::newRow("gap too long") << "C=1n;count=2;gap=3600001"
                                      << "3600001";
        QTest::newRow("seconds") << "C=1n;count=2;sit=10s"
                                 << "10s";
        QTest::newRow("seed too big") << "C=1n;count=2;seed=4294967296"
                                      << "4294967296";
    }

    void planErrors() {
        QFETCH(QString, text);
        QFETCH(QString, mentions);
        QString error;
        QVERIFY(!Sim::parseBatchPlan(text, &error));
        QVERIFY2(error.startsWith(QLatin1String("batch: ")) && error.contains(mentions),
                 qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }

    void drawnValues() {
        const QList<double> a = Sim::drawBatchValues(plan("C=100n;count=4000;spread=3%;seed=5"));
        QCOMPARE(Sim::drawBatchValues(plan("C=100n;count=4000;spread=3%;seed=5")), a);
        QVERIFY(Sim::drawBatchValues(plan("C=100n;count=4000;spread=3%;seed=6")) != a);
        const double mean = std::accumulate(a.begin(), a.end(), 0.0) / a.size();
        double square = 0.0;
        for (double v : a)
            square += (v - mean) * (v - mean);
        QVERIFY2(near(mean, 100e-9, 0.003), qPrintable(QString::number(mean)));
        QVERIFY(near(std::sqrt(square / a.size()), 3e-9, 0.1));

        for (double v : Sim::drawBatchValues(plan("R=1;count=20000;spread=30")))
            QVERIFY(v > 0.0);
        QCOMPARE(Sim::drawBatchValues(plan("L=2m;count=3")), (QList<double>{2e-3, 2e-3, 2e-3}));
        QCOMPARE(Sim::drawBatchValues(plan("R=1;values=3,1k")), (QList<double>{3.0, 1000.0}));
    }

    // Part k from k * (sit + gap) for sit, bouncing at first; open between and after the last.
    void sequenceByPosition() {
        Sim::Batch batch(plan("C=1n,R=2,L=3u;values=10n,20n,30n;sit=4r;gap=2r;bounce=1r"));
        const struct {
            qint64 position;
            int index;
            bool bouncing;
        } rows[] = {{-1, -1, false},
                    {0, 0, true},
                    {1, 0, false},
                    {3, 0, false},
                    {4, -1, false},
                    {5, -1, false},
                    {6, 1, true},
                    {7, 1, false},
                    {12, 2, true},
                    {15, 2, false},
                    {16, -1, false},
                    {18, -1, false},
                    {1000000000000, -1, false}};
        for (const auto &row : rows) {
            const Sim::BatchSlot slot = batch.at(row.position);
            const QByteArray where = QByteArray::number(row.position);
            QVERIFY2(slot.index == row.index && slot.bouncing == row.bouncing, where);
            QCOMPARE(slot.terminals, row.index < 0 ? Sim::Terminals::Open : Sim::Terminals::Part);
            if (row.index < 0) continue;
            const double c = (row.index + 1) * 10e-9 * (row.bouncing ? Sim::BounceFactor : 1.0);
            QVERIFY2(near(*slot.part.capacitance, c), where);
            QVERIFY2(*slot.part.resistance == 2.0 && *slot.part.inductance == 3e-6, where);
        }
        // Without a gap one part follows the other at once.
        QCOMPARE(Sim::Batch(plan("R=1;values=5,6;sit=3;gap=0")).at(3).part.resistance.value_or(0),
                 6.0);
    }

    // Timed from the first request (not from the batch's making), or counted in requests.
    void sequenceByRequest() {
        const Sim::Batch::Clock::time_point t0 = Sim::Batch::Clock::now() + 1h;
        Sim::Batch timed(plan("R=1;values=5,6;sit=400;gap=200;bounce=30"));
        const struct {
            std::chrono::milliseconds at;
            int index;
            bool bouncing;
        } rows[] = {{0ms, 0, true},    {29ms, 0, true},     {30ms, 0, false},
                    {399ms, 0, false}, {400ms, -1, false},  {600ms, 1, true},
                    {999ms, 1, false}, {1200ms, -1, false}, {100h, -1, false}};
        for (const auto &row : rows) {
            const Sim::BatchSlot slot = timed.next(t0 + row.at);
            QVERIFY2(slot.index == row.index && slot.bouncing == row.bouncing,
                     qPrintable(QString::number(row.at.count())));
        }

        Sim::Batch counted(plan("R=1;values=5,6;sit=2r;gap=1r"));
        QList<int> indexes;
        for (int i = 0; i < 8; ++i)
            indexes << counted.next(t0).index; // one instant: only the requests count
        QCOMPARE(indexes, (QList<int>{0, 0, -1, 1, 1, -1, -1, -1}));
    }

    // Each measurement request reads the part the batch holds at it; other requests do not move
    // the batch, and the batch stays across a power cycle.
    void meterReadsTheBatch() {
        Sim::Instrument meter(Sim::DefaultModelRow);
        QVERIFY(meter.batchValues().isEmpty());
        meter.setBatch(std::make_shared<Sim::Batch>(
            plan("C=100n,R=0.5;count=3;spread=5%;seed=7;sit=3r;gap=2r;bounce=1r")));
        const QList<double> values = meter.batchValues();
        QCOMPARE(int(values.size()), 3);
        QVERIFY(values[0] != values[1] && values[1] != values[2]);

        for (qint64 i = 0; i < 25; ++i) {
            QCOMPARE(meter.respond(Identity).size(), Sim::IdentityReplyLength);
            if (i == 7) meter.powerOn();
            const double ohms = decode(meter.respond(Measure)).magnitude;
            QVERIFY2(near(ohms, expectedOhms(values, i, 3, 2, 1)),
                     qPrintable(QStringLiteral("request %1: %2").arg(i).arg(ohms)));
            const bool open = near(ohms, Sim::OpenCircuitOhms);
            QCOMPARE(meter.terminals(), open ? Sim::Terminals::Open : Sim::Terminals::Part);
        }
    }

    void optionsTakeTheBatch() {
        // The demo's own part gives way to the batch's.
        auto options = Sim::parseOptions({"--dut", "L=1m", "--batch", "C=100n,R=0.5;values=1n,2n",
                                          "--circuit", "parallel", "--noise", "0.01"});
        QVERIFY(options && options->batch);
        QVERIFY(options->batch->part.parallel && options->dut.parallel);
        QVERIFY(!options->batch->part.inductance && !options->dut.inductance);
        QCOMPARE(options->batch->values, (QList<double>{1e-9, 2e-9}));

        const QList<QStringList> refused{{"--batch", "C=1n;count=2", "--terminals", "short"},
                                         {"--batch", "C=1n;count=2", "--control", "/tmp/c"},
                                         {"--batch", "C=1n,C0=1n;count=2"},
                                         {"--batch", "C=1n"}};
        for (const QStringList &arguments : refused) {
            QString error;
            QVERIFY2(!Sim::parseOptions(arguments, &error) && !error.isEmpty(),
                     qPrintable(arguments.join(' ')));
        }
    }

    // Over the line; a meter that comes back in the place of the first goes on with the batch.
    void simulatorServesTheBatch() {
        const auto options =
            Sim::parseOptions({"--batch", "C=100n,R=0.5;count=4;spread=10%;sit=2r;gap=1r"});
        QVERIFY(options);
        Sim::Simulator sim(*options);
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        const QList<double> values = sim.batchValues();
        QCOMPARE(values, Sim::drawBatchValues(*options->batch));

        qint64 i = 0;
        for (int round = 0; round < 2; ++round) {
            Port port(sim.portPath());
            QVERIFY(port.isOpen());
            for (const qint64 last = i + 7; i < last; ++i) {
                const double ohms = decode(port.exchange(Measure, 20)).magnitude;
                QVERIFY2(near(ohms, expectedOhms(values, i, 2, 1, 0)),
                         qPrintable(QString::number(i)));
            }
            sim.vanish();
            QVERIFY2(sim.comeBack(Sim::Return::SecondInstance), qPrintable(sim.errorString()));
        }
        QCOMPARE(sim.batchValues(), values);
    }

    void executable() {
        QProcess sim;
        sim.start(QStringLiteral(IMPEDIX_SIM_PATH), {"--batch", "R=50;values=50,60;sit=1r;gap=1r"});
        QVERIFY(sim.waitForReadyRead(10000));
        Port port(QString::fromLocal8Bit(sim.readLine()).trimmed());
        QVERIFY(port.isOpen());
        QList<float> read;
        for (int i = 0; i < 5; ++i)
            read << decode(port.exchange(Measure, 20)).magnitude;
        QCOMPARE(read, (QList<float>{50, 1e12f, 60, 1e12f, 1e12f}));
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSimBatch)
#include "test_sim_batch.moc"
