// The measuring session without a window, against simulated and scripted meters: what a tick
// reports and copies, following the meter's frequency, a failed read, the search and its
// retries for damaged identity replies, a sweep run on the wire, and the one message path.
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_store.h"
#include "tests/core/session_fixture.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace TestCore;
using TestPeer::Request;
using TestPeer::ScriptedMeter;

namespace {

const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

// A simulated meter on COM1 and a session that has found it.
struct Bench : CleanState {
    explicit Bench(int modelRow = 2) : meter(modelRow, Capacitor), host(meter, TestPeer::Timing()) {
        if (!host.start()) qFatal("no pseudo-terminal");
        Device::MapPort(1, host.slavePath());
        session.SetMessageSink(&sink);
    }
    ~Bench() { ResetProgramState(); } // while the meter's terminal still exists
    Sim::Instrument meter;
    Sim::PtyHost host;
    Core::Session session;
    RecordingSink sink{&session};
};

// A peer whose first `damaged` identity replies come back with a wrong mark.
Sim::Responder DamagedIdentity(ScriptedMeter &meter, std::shared_ptr<int> damaged) {
    Sim::Responder good = meter.responder();
    return [good, damaged](const QByteArray &request) {
        if (std::uint8_t(request.at(1)) == 0x40 && *damaged > 0) {
            --*damaged;
            return QByteArray("\x55\x40KT44\0", 7);
        }
        return good(request);
    };
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void tickReportsAndCopiesOnce() {
        Bench b;
        QVERIFY(SearchUntilFound(b.session).found);
        QVERIFY(b.session.Polling());
        b.session.tmr.stop(); // ticks by hand from here
        QSignalSpy accepted(&b.session, &Core::Session::frameAccepted);
        QSignalSpy synchronised(&b.session, &Core::Session::synchronised);
        b.host.takeRequests();

        Core::TickResult first = TickWithFrame(b.session);
        QVERIFY(first.accepted && first.synchronised && first.followed && first.portOpen);
        QVERIFY(!first.sweepPointStored && !first.silence.silent);
        QCOMPARE(synchronised.count(), 1);
        QCOMPARE(Main::CurrentFrequency, 1000);
        QVERIFY(Main::CycleStarted && b.session.Polling()); // the tick enables the timer again
        b.session.tmr.stop();
        QCOMPARE(TestPeer::TakeRequests(b.host, 1).first(), TestPeer::Poll);

        const Core::TickResult second = TickWithFrame(b.session);
        QVERIFY(second.accepted && !second.synchronised);
        QCOMPARE(synchronised.count(), 1);
        QVERIFY(accepted.count() >= 2);
    }

    void synchronisationCopiesBias_data() {
        QTest::addColumn<int>("reported");
        QTest::addColumn<int>("bias");
        QTest::addColumn<int>("step");
        QTest::newRow("0 keeps the step") << 0 << 0 << 3;
        QTest::newRow("1000") << 1000 << 1000 << 0;
        QTest::newRow("1600") << 1600 << 1600 << 1;
        QTest::newRow("45000 limited") << 45000 << 40000 << 10;
    }
    void synchronisationCopiesBias() {
        QFETCH(int, reported);
        QFETCH(int, bias);
        QFETCH(int, step);
        ResetProgramState();
        ScriptedMeter meter;
        meter.biasUnits = reported / 10;
        meter.status = 0x80; // a fixed range
        Sim::PtyHost host(meter.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        Device::MapPort(1, host.slavePath());
        Core::Session session;
        QSignalSpy autoRange(&session, &Core::Session::autoRangeChanged);
        QVERIFY(SearchUntilFound(session).found);
        session.tmr.stop();
        Main::BiasStep = 3;
        Main::BiasSetting = 700;
        Main::AutoRange = true;
        host.takeRequests();
        QVERIFY(TickWithFrame(session).synchronised);
        QCOMPARE(Main::BiasSetting, bias);
        QCOMPARE(Main::BiasStep, step);
        QVERIFY(!Main::AutoRange);
        QCOMPARE(autoRange.count(), 1);
        QCOMPARE(autoRange.first().first().toBool(), false);
        // Copying sends nothing: the only request is the poll.
        for (const QByteArray &request : TestPeer::TakeRequests(host, 1))
            QCOMPARE(request, TestPeer::Poll);
        ResetProgramState();
    }

    void followsMeterFrequencyWithinWindow_data() {
        QTest::addColumn<int>("reported");
        QTest::addColumn<int>("adopted");
        QTest::addColumn<bool>("followed");
        QTest::newRow("inside") << 75000 << 75000 << true;
        QTest::newRow("low end") << 50000 << 50000 << true;
        QTest::newRow("high end") << 100000 << 100000 << true;
        QTest::newRow("below") << 49999 << 60000 << false;
        QTest::newRow("above") << 100001 << 60000 << false;
    }
    void followsMeterFrequencyWithinWindow() {
        QFETCH(int, reported);
        QFETCH(int, adopted);
        QFETCH(bool, followed);
        Bench b;
        QVERIFY(SearchUntilFound(b.session).found);
        b.session.tmr.stop();
        QVERIFY(TickWithFrame(b.session).synchronised);
        Main::FrequencyLow = 50000;
        Main::FrequencyHigh = 100000;
        Main::CurrentFrequency = 60000;
        Device::SetFrequency(reported); // behind the program's back
        const Core::TickResult result = TickWithFrame(b.session);
        QCOMPARE(result.followed, followed);
        QCOMPARE(Main::CurrentFrequency, adopted);
    }

    void failedReadChangesNothing() {
        Bench b;
        QVERIFY(SearchUntilFound(b.session).found);
        b.session.tmr.stop();
        QVERIFY(TickWithFrame(b.session).accepted);
        const int frequency = Main::CurrentFrequency;
        QSignalSpy accepted(&b.session, &Core::Session::frameAccepted);
        b.host.setFault(Sim::Fault::Silence);
        const Core::TickResult result = b.session.Tick();
        QVERIFY(!result.accepted && !result.followed && !result.recorded);
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(Main::CurrentFrequency, frequency);
        QVERIFY(b.session.Polling()); // the cycle has no error state: it tries again
        // Silent after a second without a frame; the deadline is generous, never measured.
        QTRY_VERIFY_WITH_TIMEOUT(b.session.Tick().silence.silent, 8000);
    }

    // The window asks each port once; the command line asks a damaged reply again.
    void searchRetriesDamagedIdentity_data() {
        QTest::addColumn<int>("tries");
        QTest::addColumn<bool>("found");
        QTest::newRow("one try") << 1 << false;
        QTest::newRow("two tries") << 2 << true;
        QTest::newRow("three tries") << 3 << true;
    }
    void searchRetriesDamagedIdentity() {
        QFETCH(int, tries);
        QFETCH(bool, found);
        ResetProgramState();
        ScriptedMeter meter;
        Sim::PtyHost host(DamagedIdentity(meter, std::make_shared<int>(1)), TestPeer::Timing());
        QVERIFY(host.start());
        Device::MapPort(2, host.slavePath());
        Core::Session session;
        const Core::SearchResult result = session.Search(tries);
        QCOMPARE(result.found, found);
        QCOMPARE(session.Polling(), found);
        if (found) QCOMPARE(result.port, 2u);
        const int identities = TestPeer::TakeRequests(host, found ? 2 : 1).count();
        QCOMPARE(identities, found ? 2 : 1);
        ResetProgramState();
    }

    // Every front end searches with the same retries: two damaged replies still find the meter.
    void defaultSearchAsksADamagedReplyAgain() {
        ResetProgramState();
        ScriptedMeter meter;
        Sim::PtyHost host(DamagedIdentity(meter, std::make_shared<int>(2)), TestPeer::Timing());
        QVERIFY(host.start());
        Device::MapPort(2, host.slavePath());
        Core::Session session;
        const Core::SearchResult result = session.Search();
        QVERIFY(result.found);
        QCOMPARE(result.port, 2u);
        QCOMPARE(TestPeer::TakeRequests(host, 3).count(), 3);
        ResetProgramState();
    }

    // A port that stays silent is no meter: one identity request, whatever the retry count.
    void silentPortIsAskedOnce() {
        ResetProgramState();
        ScriptedMeter meter;
        Sim::Responder good = meter.responder();
        Sim::PtyHost host(
            [good](const QByteArray &request) {
                return std::uint8_t(request.at(1)) == 0x40 ? QByteArray() : good(request);
            },
            TestPeer::Timing());
        QVERIFY(host.start());
        Device::MapPort(15, host.slavePath());
        Core::Session session;
        QVERIFY(!session.Search(3).found);
        QCOMPARE(Device::PortNumber, 15); // the last port tried stays open
        session.Tick();
        session.tmr.stop();
        const QList<QByteArray> requests = TestPeer::TakeRequests(host, 2);
        QCOMPARE(requests, (QList<QByteArray>{Request(0x40), TestPeer::Poll}));
        ResetProgramState();
    }

    // START's order on the wire, the point frequencies from the plan's own list, one point per
    // accepted frame, the next point's frequency after each, the last sent once more.
    void sweepRunFromPlannedFrequencies() {
        Bench b;
        QVERIFY(SearchUntilFound(b.session).found);
        b.session.tmr.stop();
        QVERIFY(TickWithFrame(b.session).accepted);
        b.host.takeRequests();
        QSignalSpy started(&b.session, &Core::Session::sweepStarted);
        Core::SweepPlan plan;
        plan.low = 1000;
        plan.high = 4000;
        plan.points = 3;
        plan.frequencies = {1000, 4000, 2000};
        QVERIFY(b.session.StartSweep(plan));
        QCOMPARE(started.count(), 1);
        QVERIFY(Main::SweepRunning && !Main::AutoParams && b.session.Polling());
        b.session.tmr.stop();
        QCOMPARE(Main::SweepFrequencies[1], 4000.0f);
        QCOMPARE(TestPeer::TakeRequests(b.host, 2),
                 (QList<QByteArray>{Request(17), Request(0x43, 1000, 4)}));

        const std::uint32_t sent[] = {4000, 2000, 2000};
        for (int point = 0; point < 3; ++point) {
            // Ticks past lost frames, as polling does.
            Core::TickResult result;
            const QDeadlineTimer deadline(TickDeadlineMs);
            while (!result.sweepPointStored && !deadline.hasExpired())
                result = b.session.Tick();
            QVERIFY2(result.sweepPointStored, qPrintable(QString::number(point)));
            QCOMPARE(result.sweepFinished, point == 2);
            b.session.tmr.stop();
            const QList<QByteArray> requests = TestPeer::TakeRequests(b.host, 1, true);
            QCOMPARE(requests.value(0), Request(0x43, sent[point], 4));
        }
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Main::SweepIndex, 2);
    }

    void sweepBoundsRefusedWithMessage_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::newRow("low below 25") << 24 << 1000;
        QTest::newRow("low above 10 MHz") << 10000001 << 10000001;
        QTest::newRow("high below low") << 2000 << 1999;
        QTest::newRow("high above 10 MHz") << 25 << 10000001;
    }
    void sweepBoundsRefusedWithMessage() {
        QFETCH(int, low);
        QFETCH(int, high);
        Bench b;
        b.session.StartPolling();
        b.host.takeRequests();
        Core::SweepPlan plan;
        plan.low = low;
        plan.high = high;
        QVERIFY(!b.session.StartSweep(plan));
        QCOMPARE(b.sink.messages, QStringList{QStringLiteral("Неверное значение")});
        QVERIFY(!Main::SweepRunning);
        QVERIFY(b.session.Polling()); // polling goes on as it was
    }

    // Every message, from a tick or from a handler, is shown with polling paused.
    void messagesPausePolling() {
        Bench b;
        b.session.StartPolling();
        QVERIFY(!b.session.StartRecording(QStringLiteral("/nonexistent/dir/impedix.csv")));
        b.session.Tell(QStringLiteral("text"));
        QCOMPARE(b.sink.messages.size(), 2);
        QVERIFY(b.sink.messages.first().startsWith(QStringLiteral("Запись не начата")));
        QCOMPARE(b.sink.pollingDuringMessage, (QList<bool>{false, false}));
        QVERIFY(b.session.Polling());

        b.session.PausePolling();
        b.session.Tell(QStringLiteral("text"));
        QVERIFY(!b.session.Polling()); // a paused session stays paused
    }

    // Another front end waits while a tick or a message is under way, and hears when it is over.
    void busyInsideTicksAndMessages() {
        Bench b;
        QVERIFY(SearchUntilFound(b.session).found);
        b.session.tmr.stop();
        QList<bool> busyInTick;
        connect(&b.session, &Core::Session::ticked, this, [&] { busyInTick << b.session.Busy(); });
        QSignalSpy idle(&b.session, &Core::Session::idle);
        QVERIFY(!b.session.Busy());
        QVERIFY(TickWithFrame(b.session).accepted);
        QVERIFY(!busyInTick.isEmpty() && !busyInTick.contains(false));
        QCOMPARE(idle.count(), busyInTick.size()); // once at the end of each tick
        QVERIFY(!b.session.Busy());
        b.session.Tell(QStringLiteral("text"));
        QCOMPARE(b.sink.busyDuringMessage, QList<bool>{true});
        QCOMPARE(idle.count(), busyInTick.size() + 1);
        QVERIFY(!b.session.Busy());
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
