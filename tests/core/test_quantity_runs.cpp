// Runs over the DC bias and the test level, without a window: each point at its own setting,
// never a frame of the previous step, and the bias and level back to what they were before
// however the run ends, or said plainly when the line is gone.
#include "link/capabilities.h"
#include "link/commands.h"
#include "sweep/sweep_store.h"
#include "tests/core/meter_bench.h"

#include <QSignalSpy>

#include <cmath>

using namespace TestCore;

namespace {

Sweep::Request BiasRun(std::int32_t from, std::int32_t to, int points) {
    Sweep::Request request;
    request.quantity = Sweep::Quantity::Bias;
    request.start = from;
    request.stop = to;
    request.points = points;
    return request;
}

Sweep::Request ListRun(Sweep::Quantity quantity, std::vector<std::int32_t> values) {
    Sweep::Request request;
    request.quantity = quantity;
    request.spacing = Sweep::Spacing::List;
    request.list = std::move(values);
    return request;
}

bool RunUntilDone(Core::Session &session) {
    const bool done = TickUntil(session, [] { return !Main::SweepRunning; });
    session.tmr.stop();
    return done;
}

// The values of the requests with this command byte, in the order the meter received them.
QList<int> SentValues(Sim::PtyHost &host, std::uint8_t command) {
    QList<int> values;
    for (const QByteArray &request : host.takeRequests())
        if (request.size() >= 4 && std::uint8_t(request.at(1)) == command)
            values << qFromBigEndian<quint16>(request.constData() + 2);
    return values;
}

} // namespace

class TestQuantityRuns : public QObject {
    Q_OBJECT

private slots:
    // A 41-point run 0…40 V over a part whose capacitance falls with the bias: each point is
    // taken at its own bias, the frame saying so, and follows the part's law; afterwards the meter
    // is back at the bias it had before, and that is the last bias command it received.
    void biasRunFollowsThePartAndPutsTheBiasBack() {
        Bench b;
        b.meter.setComponent(*Sim::parseComponent(QStringLiteral("C=100n,R=3,V0=12")));
        QVERIFY(b.Find());
        QVERIFY(b.session.SetBias(1500));
        b.host.takeRequests();
        QVERIFY(b.session.StartQuantityRun(BiasRun(0, 40000, 41)).accepted());
        b.session.tmr.stop();
        QVERIFY(RunUntilDone(b.session));
        for (int i = 0; i < 41; ++i) {
            QCOMPARE(Main::SweepSettings[i], 1000 * i);
            QCOMPARE(Main::SweepReportedBiases[i], 1000 * i);
            QCOMPARE(Main::SweepStatuses[i], 0);
            QCOMPARE(Main::PlannedAxisValue(Main::SweepState, i), double(i));
            const double law = Sim::capacitanceAt(100e-9, 12.0, std::nullopt, i, 1.0);
            const double reactance =
                double(Main::SweepMagnitudes[i]) * std::sin(double(Main::SweepPhases[i]));
            const double measured =
                -1.0 / (2.0 * M_PI * Main::SweepReportedFrequencies[i] * reactance);
            QVERIFY2(std::abs(measured / law - 1.0) < 0.005,
                     qPrintable(QStringLiteral("%1 V: %2 F").arg(i).arg(measured)));
        }
        QCOMPARE(b.meter.state().biasMillivolts, 1500);
        QCOMPARE(SentValues(b.host, Device::Command::BiasVoltage).last(), 150); // 10 mV units
        QCOMPARE(Main::BiasSetting, 1500);
        QVERIFY(!b.session.QuantityRunGoing());
    }

    // Adjacent steps of the model's own size: a frame that still reports the previous one is
    // never the next point, however close it lies.
    void aFrameOfThePreviousStepIsNeverAPoint() {
        ScriptedBench b;
        QVERIFY(b.Find());
        b.scripted.biasUnits = 100; // the meter reports 1000 mV until the test moves it
        QVERIFY(
            b.session.StartQuantityRun(ListRun(Sweep::Quantity::Bias, {1000, 1010})).accepted());
        b.session.tmr.stop();
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex == 1; }));
        for (int tick = 0; tick < 10; ++tick)
            QVERIFY(TickWithFrame(b.session).accepted);
        QCOMPARE(Main::SweepIndex, 1); // still waiting for 1010 mV
        b.scripted.biasUnits = 101;
        QVERIFY(RunUntilDone(b.session));
        QCOMPARE(Main::SweepReportedBiases[0], 1000);
        QCOMPARE(Main::SweepReportedBiases[1], 1010);
        QCOMPARE(Main::SweepStatuses[1], 0);
    }

    // Stopped or closed mid-run: the points not reached are no data and the bias is back.
    void stoppedOrClosedMidRunPutsTheBiasBack_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("stop") << false;
        QTest::newRow("close") << true;
    }
    void stoppedOrClosedMidRunPutsTheBiasBack() {
        QFETCH(bool, close);
        Bench b;
        QVERIFY(b.Find());
        QVERIFY(b.session.StartQuantityRun(BiasRun(5000, 40000, 8)).accepted());
        b.session.tmr.stop();
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex == 2; }));
        QVERIFY(b.meter.state().biasMillivolts > 0);
        QSignalSpy stopped(&b.session, &Core::Session::sweepStopped);
        if (close)
            b.session.Close();
        else
            b.session.StopRun();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Main::TakenSweepPoints(), 2);
        QCOMPARE(Main::SweepStatuses[2], int(Device::ReadingStatus::NoData));
        QCOMPARE(b.meter.state().biasMillivolts, 0);
    }

    // The line is gone when the run is stopped: the program says the bias may still be on, and a
    // meter that returns is given the bias from before the run.
    void lostLineSaysTheBiasStaysAndTheReturningMeterGetsItBack() {
        Bench b;
        QVERIFY(b.Find());
        QVERIFY(b.session.SetBias(1500));
        QVERIFY(b.session.StartQuantityRun(BiasRun(10000, 20000, 3)).accepted());
        b.session.tmr.stop();
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex == 1; }));
        QVERIFY(b.Lose());
        QSignalSpy notRestored(&b.session, &Core::Session::biasNotRestored);
        b.session.StopRun();
        QCOMPARE(notRestored.count(), 1);
        // The second point's bias had been sent when the line went: that is what may be on.
        QCOMPARE(notRestored.first().first().value<std::int32_t>(), 15000);
        QVERIFY(b.ReturnPowerCycled());
        QCOMPARE(b.meter.state().biasMillivolts, 1500);
    }

    // Levels in the order given, each point after the settle time, the level from before the
    // run set again at the end.
    void levelRunVisitsTheLevelsInOrderAndPutsTheLevelBack() {
        Bench b;
        QVERIFY(b.Find());
        b.session.SetLevel(1); // 500 mV
        b.host.takeRequests();
        QVERIFY(b.session.StartQuantityRun(ListRun(Sweep::Quantity::Level, {100, 1000, 10}))
                    .accepted());
        b.session.tmr.stop();
        QVERIFY(RunUntilDone(b.session));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(Main::SweepStatuses[i], 0);
        const QList<int> levels = SentValues(b.host, Device::Command::Level);
        QCOMPARE(levels, (QList<int>{100, 1000, 10, 500}));
        QCOMPARE(b.meter.state().levelMillivolts, 500);
    }

    // Each refusal comes before anything is sent.
    void refusals() {
        using R = Core::Session::RunRefusal;
        Bench b;
        QCOMPARE(b.session.StartQuantityRun(BiasRun(0, 1000, 3)).refused, R::NoMeter);
        QVERIFY(b.Find());
        const Core::Session::RunAnswer beyond = b.session.StartQuantityRun(BiasRun(0, 41000, 3));
        QCOMPARE(beyond.refused, R::Planner);
        QVERIFY(beyond.verdict);
        QCOMPARE(beyond.verdict->subject, Device::Refusal::Subject::SweepStop);
        QCOMPARE(beyond.verdict->limit, 40000.0);
        QCOMPARE(b.session.StartQuantityRun(ListRun(Sweep::Quantity::Level, {1000, 200})).refused,
                 R::Planner);
        b.session.SelectBiasSource(true);
        QCOMPARE(b.session.StartQuantityRun(BiasRun(0, 1000, 3)).refused, R::ExternalBias);
        b.session.SelectBiasSource(false);
        QVERIFY(b.session.StartQuantityRun(BiasRun(0, 1000, 3)).accepted());
        QCOMPARE(b.session.StartQuantityRun(BiasRun(0, 1000, 3)).refused, R::RunGoing);
        b.session.StopRun();
        QVERIFY(!Main::SweepRunning);
    }
};

QTEST_GUILESS_MAIN(TestQuantityRuns)
#include "test_quantity_runs.moc"
