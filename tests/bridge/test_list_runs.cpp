// A client's list run on the measuring core through the bridge, against a simulated meter: the
// core runs it, stops it when asked (a client that goes asks), puts the program's frequency
// window back however it ends, and signals each of these; its refusals reach the client as the
// error codes of the queue.
#include "bridge/session_instrument.h"
#include "remote/client.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_store.h"
#include "tests/bridge/scpi_bench.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestCore;

namespace {

const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

// The simulated meter holds the capacitor.
struct Bench : ScpiBench {
    Bench() : ScpiBench(Capacitor) {}
};

// The status field of each point of a list's FETC? answer (four fields a point).
QList<QByteArray> PointStatuses(const QByteArray &answer) {
    const QList<QByteArray> fields = answer.trimmed().split(',');
    QList<QByteArray> statuses;
    for (int i = 2; i < fields.size(); i += 4)
        statuses << fields[i];
    return statuses;
}

} // namespace

class TestListRuns : public QObject {
    Q_OBJECT

private slots:
    // The client that started the run goes while it runs: the core stops, says so, and the
    // frequency window and the box ChBoF are what they were before the run.
    void clientGoneStopsItsRun() {
        Bench b;
        QVERIFY(b.found());
        const std::int32_t low = Main::FrequencyLow;
        const std::int32_t high = Main::FrequencyHigh;
        const bool frequencySweep = b.session.FrequencySweep();
        QSignalSpy stopped(&b.session, &Core::Session::sweepStopped);
        QSignalSpy ended(&b.session, &Core::Session::listRunEnded);
        {
            Remote::Client client(b.remote);
            QCOMPARE(Send(client, "DISP:PAGE LIST;:LIST:FREQ 1000,2000,3000;:INIT;:SYST:ERR?"),
                     QByteArray("0,\"No error\"\n"));
            QVERIFY(Main::SweepRunning);
            QVERIFY(b.session.ListRunGoing());
            QCOMPARE(Main::FrequencyLow, 1000);
            QCOMPARE(Main::FrequencyHigh, 3000);
            QCOMPARE(stopped.count(), 0);
        }
        QVERIFY(!Main::SweepRunning);
        QVERIFY(!b.session.ListRunGoing());
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(Main::FrequencyLow, low);
        QCOMPARE(Main::FrequencyHigh, high);
        QCOMPARE(b.session.FrequencySweep(), frequencySweep);
        QVERIFY(!b.remote.listState().running);
    }

    // The line lost and back (the meter power-cycled) during a client's run: the client's error
    // queue says so once, every point is at its planned frequency, and SWE:STAT? gives each
    // point's status and the connection it came on.
    void reconnectionToldToTheClient() {
        ResetProgramState();
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("meter"));
        Sim::Instrument meter(2, Capacitor);
        Sim::PtyHost host(meter, TestPeer::Timing());
        QVERIFY(host.start() && PointLink(link, host.slavePath()));
        Device::MapPort(1, link);
        Core::Session session;
        Bridge::SessionInstrument remote{session};
        Remote::Client client(remote);
        QVERIFY(SearchUntilFound(session).found);
        session.tmr.stop();
        QCOMPARE(Send(client, "DISP:PAGE LIST;:LIST:FREQ 1000,2000,3000,4000;:INIT;:SYST:ERR?"),
                 QByteArray("0,\"No error\"\n"));
        const QDeadlineTimer deadline(TickDeadlineMs);
        while (Main::SweepIndex < 2 && !deadline.hasExpired())
            session.Tick();
        QVERIFY(PointLink(link, dir.filePath(QStringLiteral("gone"))));
        host.setFault(Sim::Fault::HangUp, 1);
        while (Device::PortNumber != 0 && !deadline.hasExpired())
            session.Tick();
        session.tmr.stop();
        QCOMPARE(Device::PortNumber, 0);
        meter.respond(TestPeer::Request(71)); // INIT: the meter's power-on settings
        host.clearFault();
        QVERIFY(host.start() && PointLink(link, host.slavePath()));
        while (Device::PortNumber == 0 && !deadline.hasExpired()) {
            session.TryReopenPort();
            QTest::qWait(50);
        }
        session.tmr.stop();
        while (Main::SweepRunning && !deadline.hasExpired())
            session.Tick();
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Send(client, "SYST:ERR?"),
                 QByteArray("301,\"Meter reconnected; readings of a new connection\"\n"));
        QCOMPARE(Send(client, "SYST:ERR?"), QByteArray("0,\"No error\"\n"));
        QCOMPARE(Send(client, "SWE:STAT?"), QByteArray("0,1,0,1,0,2,0,2\n"));
        const Remote::ListState list = remote.listState();
        for (int i = 0; i < 4; ++i)
            QCOMPARE(list.points[i].reading.frequency, 1000.0 * (i + 1));
    }

    // A run that reaches its last point ends by itself: no stop, the window back, every point
    // measured at its own frequency.
    void runToItsLastPoint() {
        Bench b;
        QVERIFY(b.found());
        const std::int32_t low = Main::FrequencyLow;
        QSignalSpy stopped(&b.session, &Core::Session::sweepStopped);
        QSignalSpy ended(&b.session, &Core::Session::listRunEnded);
        std::uint64_t run = 0;
        QCOMPARE(b.remote.startList({1000, 2000}, run), 0);
        QCOMPARE(run, std::uint64_t(1));
        for (int tick = 0; tick < 200 && Main::SweepRunning; ++tick)
            b.session.Tick();
        QVERIFY(!Main::SweepRunning);
        QVERIFY(!b.session.ListRunGoing());
        QCOMPARE(stopped.count(), 0);
        QCOMPARE(ended.count(), 1);
        QCOMPARE(Main::FrequencyLow, low);
        const Remote::ListState list = b.remote.listState();
        QVERIFY(!list.running);
        QCOMPARE(list.points.size(), 2);
        QVERIFY(list.points[0].measured && list.points[1].measured);
        QCOMPARE(list.points[0].reading.frequency, 1000.0);
        QCOMPARE(list.points[1].reading.frequency, 2000.0);
    }

    // The window's START over a client's run ends the client's run; the window's goes on.
    void windowRunReplacesTheList() {
        Bench b;
        QVERIFY(b.found());
        QSignalSpy ended(&b.session, &Core::Session::listRunEnded);
        std::uint64_t run = 0;
        QCOMPARE(b.remote.startList({1000, 2000, 3000}, run), 0);
        Core::SweepPlan plan;
        plan.low = 5000;
        plan.high = 6000;
        plan.points = 4;
        QVERIFY(b.session.StartSweep(plan));
        QVERIFY(Main::SweepRunning);
        QVERIFY(!b.session.ListRunGoing());
        QCOMPARE(ended.count(), 1);
        QVERIFY(!b.remote.listState().running);
        QCOMPARE(b.remote.startList({1000}, run), int(Remote::InitIgnored));
    }

    // A bias list run whole: the core's run at the frequency set, a point from a frame at each
    // bias; BIAS:VOLT? follows the run and the meter has the bias from before afterwards.
    void biasListPutsTheBiasBack() {
        Bench b;
        QVERIFY(b.found());
        QVERIFY(TickWithFrame(b.session).accepted); // the frequency the run is held at
        Remote::Client client(b.remote);
        QCOMPARE(Send(client, "BIAS:VOLT 2;STAT ON;:SYST:ERR?"), NoError);
        QCOMPARE(b.meter.state().biasMillivolts, 2000);
        QCOMPARE(Send(client, "DISP:PAGE LIST;:LIST:BIAS:VOLT 0.5,1,1.5;:INIT;:SYST:ERR?"),
                 NoError);
        QVERIFY(b.session.QuantityRunGoing());
        QCOMPARE(Send(client, "BIAS:VOLT?;STAT?"), QByteArray("+5.00000E-01;1\n"));
        QVERIFY(TickUntil(b.session, [] { return !Main::SweepRunning; }));
        QCOMPARE(b.meter.state().biasMillivolts, 2000);
        QCOMPARE(PointStatuses(Send(client, "FETC?")), (QList<QByteArray>{"+0", "+0", "+0"}));
        QCOMPARE(Send(client, "BIAS:VOLT?;STAT?;:SWE:QUAN?"), QByteArray("+2.00000E+00;1;BIAS\n"));
        const QList<QByteArray> table = Send(client, "SWE:DATA?").trimmed().split(',');
        QCOMPARE(table.size(), 3 * 16);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(table[16 * i + 15].toDouble(), 0.5 * (i + 1));
    }

    // A level list: each point measured at its level, and the level set before back afterwards.
    void levelListPutsTheLevelBack() {
        Bench b;
        QVERIFY(b.found());
        QVERIFY(TickWithFrame(b.session).accepted);
        Remote::Client client(b.remote);
        QCOMPARE(Send(client, "VOLT 0.5;:DISP:PAGE LIST;:LIST:VOLT 0.1,0.01;:INIT;:SYST:ERR?"),
                 NoError);
        QCOMPARE(b.meter.state().levelMillivolts, 100);
        QCOMPARE(Send(client, "VOLT 1;:SYST:ERR?"), QByteArray("-221,\"Settings conflict\"\n"));
        QVERIFY(TickUntil(b.session, [] { return !Main::SweepRunning; }));
        QCOMPARE(b.meter.state().levelMillivolts, 500);
        QCOMPARE(Send(client, "VOLT?;:SWE:QUAN?"), QByteArray("+5.00000E-01;VOLT\n"));
        QCOMPARE(PointStatuses(Send(client, "FETC?")), (QList<QByteArray>{"+0", "+0"}));
    }

    // ABOR in the middle of a bias run puts the meter's bias back at once.
    void abortPutsTheBiasBack() {
        Bench b;
        QVERIFY(b.found());
        QVERIFY(TickWithFrame(b.session).accepted); // the frequency the run is held at
        Remote::Client client(b.remote);
        QCOMPARE(Send(client, "DISP:PAGE LIST;:LIST:BIAS:VOLT 1,2,3,4;:INIT;:SYST:ERR?"), NoError);
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex >= 1; }));
        QVERIFY(Main::SweepRunning);
        QCOMPARE(b.meter.state().biasMillivolts, 2000);
        Send(client, "ABOR");
        QVERIFY(!Main::SweepRunning);
        QVERIFY(!b.session.QuantityRunGoing());
        QVERIFY(!b.remote.listState().running);
        QCOMPARE(b.meter.state().biasMillivolts, 0);
        QCOMPARE(PointStatuses(Send(client, "FETC?")), (QList<QByteArray>{"+0", "-1", "-1", "-1"}));
        QCOMPARE(Send(client, "SYST:ERR?"), QByteArray("-230,\"Data stale\"\n"));
    }

    // Step by step the bias of a step stays until the pass's last step is taken, or until the
    // client that stepped goes; an external bias source refuses a bias list either way.
    void stepsHoldTheBiasUntilTheLast() {
        Bench b;
        QVERIFY(b.found());
        QVERIFY(TickWithFrame(b.session).accepted); // the frequency the run is held at
        Remote::Client client(b.remote);
        const auto stepped = [&b] { return !b.remote.listState().running; };
        QCOMPARE(Send(client, "DISP:PAGE LIST;:LIST:MODE STEP;:LIST:BIAS:VOLT 1.5,3;:INIT;"
                              ":SYST:ERR?"),
                 NoError);
        QVERIFY(TickUntil(b.session, stepped));
        QCOMPARE(b.meter.state().biasMillivolts, 1500);
        QCOMPARE(Send(client, "BIAS:VOLT?"), QByteArray("+1.50000E+00\n"));
        Send(client, "INIT");
        QVERIFY(TickUntil(b.session, stepped));
        QCOMPARE(b.meter.state().biasMillivolts, 0);
        QCOMPARE(PointStatuses(Send(client, "FETC?")), (QList<QByteArray>{"+0", "+0"}));
        {
            Remote::Client other(b.remote);
            Send(other, "DISP:PAGE LIST;:LIST:MODE STEP;:LIST:BIAS:VOLT 2.5,3;:INIT");
            QVERIFY(TickUntil(b.session, stepped));
            QCOMPARE(b.meter.state().biasMillivolts, 2500);
        }
        QCOMPARE(b.meter.state().biasMillivolts, 0);
        QCOMPARE(Send(client, "BIAS:SOUR EXT;:INIT;:LIST:MODE SEQ;:INIT;:SYST:ERR?;ERR?;ERR?"),
                 QByteArray("-221,\"Settings conflict\";-221,\"Settings conflict\";") + NoError);
        QVERIFY(!Main::SweepRunning);
    }

    // The line lost during a bias run: the bias cannot go back, and every client is told so.
    void lostLineLeavesTheBias() {
        ResetProgramState();
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("meter"));
        Sim::Instrument meter(2, Capacitor);
        Sim::PtyHost host(meter, TestPeer::Timing());
        QVERIFY(host.start() && PointLink(link, host.slavePath()));
        Device::MapPort(1, link);
        Core::Session session;
        Bridge::SessionInstrument remote{session};
        Remote::Client client(remote);
        QVERIFY(SearchUntilFound(session).found);
        session.tmr.stop();
        QVERIFY(TickWithFrame(session).accepted);
        QCOMPARE(Send(client, "DISP:PAGE LIST;:LIST:BIAS:VOLT 1,2,3;:INIT;:SYST:ERR?"), NoError);
        QVERIFY(TickUntil(session, [] { return Main::SweepIndex >= 1; }));
        QVERIFY(PointLink(link, dir.filePath(QStringLiteral("gone"))));
        host.setFault(Sim::Fault::HangUp, 1);
        QVERIFY(TickUntil(session, [] { return Device::PortNumber == 0; }));
        session.tmr.stop();
        Remote::Client other(remote);
        Send(client, "ABOR");
        QVERIFY(!session.QuantityRunGoing());
        const QByteArray told = "303,\"Bias not set back; line lost\"";
        QCOMPARE(Send(client, "SYST:ERR?;ERR?"), told + ';' + NoError);
        QCOMPARE(Send(other, "SYST:ERR?"), told + '\n');
        ResetProgramState();
    }

    // What the core refuses, with the bound it names, and the code a client is given for it.
    void clientFrequencyIsTheModels();
    void refusals() {
        Bench b;
        using R = Core::Session::ListRefusal;
        Core::Session::ListRunAnswer answer = b.session.StartListRun({1000});
        QCOMPARE(answer.refused, R::NoMeter);
        std::uint64_t run = 0;
        QCOMPARE(b.remote.startList({1000}, run), int(Remote::HardwareError));
        QVERIFY(b.found());
        QCOMPARE(b.session.StartListRun({}).refused, R::NoPoints);
        answer = b.session.StartListRun(QVector<std::int32_t>(Main::SweepCapacity + 1, 1000));
        QCOMPARE(answer.refused, R::TooManyPoints);
        QCOMPARE(answer.bound, Main::SweepCapacity);
        answer = b.session.StartListRun({1000, 10});
        QCOMPARE(answer.refused, R::BelowBounds);
        QCOMPARE(answer.bound, Main::SweepLowestHz);
        QCOMPARE(b.remote.startList({1000, 10}, run), int(Remote::DataOutOfRange));
        answer = b.session.StartListRun({20000000});
        QCOMPARE(answer.refused, R::AboveBounds);
        QCOMPARE(answer.bound, Main::SweepHighestHz);
        QCOMPARE(b.remote.startList({}, run), int(Remote::SettingsConflict));
        QCOMPARE(b.remote.listState().run, std::uint64_t(0)); // nothing refused was numbered
        QVERIFY(!Main::SweepRunning);
        QVERIFY(b.session.StartListRun({1000}).accepted());
        QCOMPARE(b.session.StartListRun({1000}).refused, R::RunGoing);
        QCOMPARE(b.remote.startList({1000}, run), int(Remote::InitIgnored));
    }
};

// A client's FREQ is bounded by the model, not by the window's sweep fields (50 to 100 kHz at
// the window's start-up): the meter is asked for exactly what the client set.
void TestListRuns::clientFrequencyIsTheModels() {
    Bench b;
    QVERIFY(b.found());
    Main::FrequencyLow = 50000;
    Main::FrequencyHigh = 100000;
    Remote::Client client(b.remote);
    QCOMPARE(Send(client, "FREQ 10KHZ;:SYST:ERR?"), NoError);
    QCOMPARE(Main::CurrentFrequency, 10000);
    QVERIFY(TickUntil(b.session, [&] { return b.meter.state().frequencyHz == 10000; }));
    QCOMPARE(Send(client, "FREQ 20MHZ;:SYST:ERR?"), QByteArray("-222,\"Data out of range\"\n"));
    QCOMPARE(Main::CurrentFrequency, 10000);
}

QTEST_MAIN(TestListRuns)
#include "test_list_runs.moc"
