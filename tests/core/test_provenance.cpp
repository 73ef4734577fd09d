// Where readings come from, without a window: a meter that vanishes mid-run and returns (the same
// one power-cycled, or another model) at the same path behind a symbolic link, a meter that
// answers late, and frames no meter can give. Every stored point and every recorded row must be a
// reading at the conditions asked for, and each carries the connection it came on.
#include "export/csv.h"
#include "link/measurement.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"
#include "tests/core/meter_bench.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(Device::FrameFacts)
Q_DECLARE_METATYPE(Device::RequestedConditions)

using namespace TestCore;

namespace {

bool RunUntilDone(Core::Session &session) {
    const bool done = TickUntil(session, [] { return !Main::SweepRunning; });
    session.tmr.stop();
    return done;
}

// Point i was taken at its planned frequency.
bool AtPlannedFrequency(int i) {
    return Main::SweepReportedFrequencies[i] ==
           static_cast<std::int32_t>(Main::SweepFrequencies[i]);
}

Core::SweepPlan LinearPlan(std::int32_t low, std::int32_t high, int points) {
    Core::SweepPlan plan;
    plan.low = low;
    plan.high = high;
    plan.points = points;
    plan.frequencySweep = true;
    return plan;
}

int DataRows(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return static_cast<int>(file.readAll().count('\n')) - 1; // less the header
}

} // namespace

class TestProvenance : public QObject {
    Q_OBJECT

private slots:
    // Power-cycled mid-run: before any of its frames counts, the meter is told the level, the
    // bias and the frequency of the interrupted point again; that point is measured again and
    // every point of the run is at its planned frequency, marked with the connection it came on.
    void returningMeterGetsTheConditionsAndTheRunItsPoint() {
        Bench b;
        QVERIFY(b.Find());
        const std::uint32_t first = b.session.Connection();
        b.session.SetLevel(2); // 100 mV
        QVERIFY(b.session.SetBias(1500));
        QVERIFY(b.session.StartSweep(LinearPlan(10000, 50000, 5)));
        b.session.tmr.stop();
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex == 2; }));
        QVERIFY(b.Lose());
        QSignalSpy reconnected(&b.session, &Core::Session::reconnected);

        QVERIFY(b.ReturnPowerCycled());
        QCOMPARE(reconnected.count(), 1);
        const auto info = reconnected.first().first().value<Core::Reconnection>();
        QVERIFY(info.sameModel);
        QCOMPARE(info.sweepPoint, 2);
        QCOMPARE(info.connection, first + 1);
        const Sim::InstrumentState state = b.meter.state();
        QCOMPARE(state.frequencyHz, 30000);
        QCOMPARE(state.levelMillivolts, 100);
        QCOMPARE(state.biasMillivolts, 1500);
        QVERIFY(!Main::SyncPending);

        QVERIFY(RunUntilDone(b.session));
        for (int i = 0; i < 5; ++i) {
            QVERIFY2(AtPlannedFrequency(i), qPrintable(QString::number(i)));
            QCOMPARE(Main::SweepStatuses[i], 0);
            QCOMPARE(Main::SweepConnections[i], i < 2 ? first : first + 1);
        }
    }

    // The meter that answers at that path is another model: the run it interrupted is over, and
    // the program takes the new meter as a search takes it.
    void anotherModelEndsTheRun() {
        Bench b;
        QVERIFY(b.Find());
        QVERIFY(b.session.StartSweep(LinearPlan(10000, 50000, 5)));
        b.session.tmr.stop();
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex == 1; }));
        QVERIFY(b.Lose());
        Sim::Instrument other(0, Capacitor);
        Sim::PtyHost otherHost(other, TestPeer::Timing());
        QVERIFY(otherHost.start());
        QVERIFY(PointLink(b.link, otherHost.slavePath()));
        QSignalSpy stopped(&b.session, &Core::Session::sweepStopped);
        QSignalSpy reconnected(&b.session, &Core::Session::reconnected);

        QVERIFY(ReopenUntilOpen(b.session));
        b.session.tmr.stop();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(!Main::SweepRunning);
        const auto info = reconnected.first().first().value<Core::Reconnection>();
        QVERIFY(!info.sameModel);
        QVERIFY(info.runEnded);
        QCOMPARE(Device::ModelIndex, 0);
        QVERIFY(Main::SyncPending);
        // The run is over where it was: the points it did not reach are no data, never an
        // earlier run's values.
        QCOMPARE(Main::TakenSweepPoints(), 1);
        QVERIFY(AtPlannedFrequency(0));
        for (int i = 1; i < 5; ++i)
            QCOMPARE(Main::SweepStatuses[i], int(Device::ReadingStatus::NoData));
    }

    // A meter that answers after 75 ms, longer than the link waits for an acknowledgement: the
    // reading of the previous point that it still has ready is never a point of the next.
    void slowMeterNeverRepeatsThePreviousPoint() {
        Bench b;
        QVERIFY(b.Find());
        b.host.setThinkTime(75); // found quickly: the identity's own time-out is shorter
        QVERIFY(b.session.StartSweep(LinearPlan(1000, 10000, 10)));
        b.session.tmr.stop();
        QVERIFY(RunUntilDone(b.session));
        int measured = 0;
        for (int i = 0; i < 10; ++i) {
            if (Main::SweepStatuses[i] != 0) continue;
            ++measured;
            QVERIFY2(AtPlannedFrequency(i), qPrintable(QString::number(i)));
        }
        QVERIFY2(measured >= 9, qPrintable(QString::number(measured)));
    }

    // Frames no meter can give, one kind after another, while recording: none is a row, each
    // is counted by its kind, and a normal frame after them is recorded again.
    void impossibleFramesAreNotRecorded() {
        QTemporaryDir dir;
        ScriptedBench b;
        QVERIFY(b.Find()); // the program takes the meter's 1000 Hz
        TestPeer::ScriptedMeter &scripted = b.scripted;
        Core::Session &session = b.session;
        const QString path = dir.filePath(QStringLiteral("rows.csv"));
        QVERIFY(session.StartRecording(path));
        session.ClearTally();
        using S = Device::ReadingStatus;
        const struct {
            const char *kind;
            std::function<void()> spoil;
            S status;
        } kinds[] = {
            {"bias 0xFFFF", [&] { scripted.biasUnits = 0xFFFF; }, S::BiasBeyondModel},
            {"|Z| 1e30", [&] { scripted.magnitude = 1e30f; }, S::Overload},
            {"theta 3.1", [&] { scripted.phase = 3.1f; }, S::ImpossiblePhase},
        };
        for (const auto &kind : kinds) {
            scripted.biasUnits = 0;
            scripted.magnitude = 1000.0f;
            scripted.phase = -1.5f;
            kind.spoil();
            const Core::TickResult result = TickWithFrame(session);
            QVERIFY2(result.status == kind.status, kind.kind);
            QVERIFY2(!result.recorded, kind.kind);
            QCOMPARE(session.Tally().leftOut.value(Device::StatusCode(kind.status)), 1);
        }
        scripted.biasUnits = 0;
        scripted.magnitude = 1000.0f;
        scripted.phase = -1.5f;
        QVERIFY(TickWithFrame(session).recorded);
        session.StopRecording();
        QCOMPARE(DataRows(path), 1);
        QCOMPARE(session.Tally().counted, 1);
    }

    // A bias the program set that the frame does not report (the meter kept its own): no row,
    // also after the program stops waiting for it; the meter's own keys hand the bias back.
    void biasOtherThanSetIsNotARow() {
        ScriptedBench b;
        QVERIFY(b.Find());
        Core::Session &session = b.session;
        QVERIFY(session.SetBias(2000)); // the script keeps reporting 0 V
        for (int tick = 0; tick < 30; ++tick) {
            const Core::TickResult result = TickWithFrame(session);
            QVERIFY(result.accepted);
            QCOMPARE(result.status, Device::ReadingStatus::OtherBias);
        }
        session.PressKey(5); // a key of the meter's own: it decides the bias now
        QCOMPARE(TickWithFrame(session).status, Device::ReadingStatus::Normal);
    }

    // The pure judgement, one case per kind and per bound.
    void judgement_data() {
        QTest::addColumn<Device::FrameFacts>("frame");
        QTest::addColumn<Device::RequestedConditions>("requested");
        QTest::addColumn<int>("status");
        using S = Device::ReadingStatus;
        Device::RequestedConditions asked;
        asked.frequencyHz = 1000;
        asked.biasSent = true;
        asked.biasMillivolts = 2000;
        const Device::FrameFacts good{1000, 2000, 100.0f, -1.0f};
        const auto with = [&](auto change) {
            Device::FrameFacts f = good;
            change(f);
            return f;
        };
        QTest::newRow("normal") << good << asked << int(S::Normal);
        QTest::newRow("bias one step off")
            << with([](auto &f) { f.biasMillivolts = 2010; }) << asked << int(S::Normal);
        QTest::newRow("bias two steps off")
            << with([](auto &f) { f.biasMillivolts = 2020; }) << asked << int(S::OtherBias);
        Device::RequestedConditions external = asked;
        external.biasSourceSent = true;
        external.biasExternal = true;
        QTest::newRow("external source: its bias")
            << with([](auto &f) { f.biasMillivolts = 0; }) << external << int(S::Normal);
        QTest::newRow("bias at the highest") << with([](auto &f) { f.biasMillivolts = 40000; })
                                             << Device::RequestedConditions{} << int(S::Normal);
        QTest::newRow("bias beyond")
            << with([](auto &f) { f.biasMillivolts = 655350; }) << asked << int(S::BiasBeyondModel);
        QTest::newRow("|Z| at 100 MOhm")
            << with([](auto &f) { f.magnitude = 1e8f; }) << asked << int(S::Normal);
        QTest::newRow("|Z| beyond")
            << with([](auto &f) { f.magnitude = 1.01e8f; }) << asked << int(S::Overload);
        QTest::newRow("|Z| 0: a short")
            << with([](auto &f) { f.magnitude = 0.0f; }) << asked << int(S::Normal);
        QTest::newRow("theta 92 deg")
            << with([](auto &f) { f.phase = 1.6057f; }) << asked << int(S::Normal);
        QTest::newRow("theta -94 deg")
            << with([](auto &f) { f.phase = -1.6406f; }) << asked << int(S::ImpossiblePhase);
        QTest::newRow("another frequency")
            << with([](auto &f) { f.frequencyHz = 999; }) << asked << int(S::OtherFrequency);
        QTest::newRow("nothing asked yet") << with([](auto &f) { f.frequencyHz = 5; })
                                           << Device::RequestedConditions{} << int(S::Normal);
    }
    void judgement() {
        QFETCH(Device::FrameFacts, frame);
        QFETCH(Device::RequestedConditions, requested);
        QFETCH(int, status);
        QCOMPARE(int(Device::JudgeFrame(frame, requested, Device::CapabilitiesOf(KT44))), status);
    }

    // Statistics leave out points that are no measurement.
    void statisticsLeaveOutMarkedPoints() {
        const float row[] = {1.0f, 100.0f, 3.0f};
        const int statuses[] = {0, 5, 0};
        const Main::SweepStatistic s = Main::ComputeSweepStatistic(row, 2, statuses);
        QCOMPARE(s.maximum, 3.0f);
        QCOMPARE(s.mean, 2.0f);
        const int none[] = {5, 5, 5};
        QCOMPARE(Main::ComputeSweepStatistic(row, 2, none).mean, 0.0f);
    }
};

QTEST_GUILESS_MAIN(TestProvenance)
#include "test_provenance.moc"
