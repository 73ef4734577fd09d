// The bridge against a simulated meter: a setting that would leave the meter as it is sends
// nothing; the last run's table holds that run's points only, whatever the store holds
// afterwards; a run of another front end keeps its conditions against a client's settings.
#include "bridge/session_instrument.h"
#include "remote/client.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_store.h"
#include "tests/bridge/scpi_bench.h"

#include <QtTest>

using namespace TestCore;

namespace {

const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

struct Bench : ScpiBench {
    Bench() : ScpiBench(Capacitor) {}
    // The request frames the meter has taken since the last call; a tick with a frame first, so
    // that every request sent before it has been taken.
    QList<QByteArray> requestsSince() {
        TickWithFrame(session);
        return host.takeRequests();
    }
};

} // namespace

class TestRunOwnership : public QObject {
    Q_OBJECT

private slots:
    void unchangedSettingsSendNothing() {
        Bench b;
        QVERIFY(b.found());
        Remote::Client client(b.remote);
        const QByteArray settings =
            "FREQ 2000;:VOLT 0.5;:BIAS:VOLT 1;STAT ON;:BIAS:SOUR INT;:FUNC:IMP:RANG 100;:APER LONG";
        QCOMPARE(Send(client, settings + ";:SYST:ERR?"), NoError);
        // What a tick asks by itself; a busy machine may need more ticks than one for a frame,
        // so what counts is a request no tick makes.
        b.requestsSince();
        const QList<QByteArray> polls = b.requestsSince();
        QVERIFY(!polls.isEmpty());
        const auto settingsSince = [&] {
            QList<QByteArray> sent = b.requestsSince();
            sent.removeIf([&](const QByteArray &request) { return polls.contains(request); });
            return sent;
        };
        // The same values again, many times: nothing but the tick's own requests.
        for (int i = 0; i < 20; ++i)
            QCOMPARE(Send(client, settings + ";:SYST:ERR?"), NoError);
        QCOMPARE(settingsSince(), QList<QByteArray>());
        // A value that changes is sent.
        QCOMPARE(Send(client, "FREQ 3000;:SYST:ERR?"), NoError);
        QVERIFY(!settingsSince().isEmpty());
        // The range asked for answers at once, before a frame reports it.
        QCOMPARE(Send(client, "FUNC:IMP:RANG 1000;FUNC:IMP:RANG?"), QByteArray("+1.00000E+03\n"));
    }

    // A client's run ends; the window's plan then writes another count into the store. The
    // table is still the run's own; a run stopped early answers its points and says so.
    void sweepTableHoldsOneRun() {
        Bench b;
        QVERIFY(b.found());
        Remote::Client client(b.remote);
        QCOMPARE(Send(client, "LIST:FREQ 1000,2000,3000;:DISP:PAGE LIST;:INIT;:SYST:ERR?"),
                 NoError);
        QVERIFY(TickUntil(b.session, [] { return !Main::SweepRunning; }));
        b.session.SetSweepPoints(10);
        QList<QByteArray> table = Send(client, "SWE:DATA?;:SYST:ERR?").trimmed().split(';');
        QCOMPARE(table.size(), 2);
        QCOMPARE(table[0].split(',').size(), 3 * 15);
        QCOMPARE(table[1] + '\n', NoError);
        QCOMPARE(Send(client, "LIST:FREQ 5000,6000,7000,8000;:INIT;:SYST:ERR?"), NoError);
        QVERIFY(TickUntil(b.session, [] { return Main::SweepIndex >= 1; }));
        Send(client, "ABOR");
        table = Send(client, "SWE:DATA?").trimmed().split(',');
        QVERIFY(table.size() >= 15 && table.size() < 4 * 15 && table.size() % 15 == 0);
        for (int i = 0; i < table.size() / 15; ++i)
            QCOMPARE(table[15 * i].toDouble(), 5000.0 + 1000.0 * i);
        QCOMPARE(Send(client, "SYST:ERR?"), QByteArray("304,\"Sweep run stopped before its last "
                                                       "point; its data are partial\"\n"));
    }

    // A run another front end started: a client's settings are refused and reach no wire, and
    // neither its ABOR nor its *RST ends that run.
    void runOfAnotherFrontEnd() {
        Bench b;
        QVERIFY(b.found());
        Remote::Client client(b.remote);
        QVERIFY(b.session.StartListRun({1000, 2000, 3000, 4000, 5000}).accepted());
        b.requestsSince();
        const int tickAlone = static_cast<int>(b.requestsSince().size());
        QCOMPARE(Send(client, "FREQ 3000;:VOLT 0.1;*RST;:SYST:ERR?;ERR?;ERR?"),
                 QByteArray("-221,\"Settings conflict\";-221,\"Settings conflict\";"
                            "-221,\"Settings conflict\"\n"));
        QVERIFY(Main::SweepRunning);
        QVERIFY(b.requestsSince().size() <= tickAlone + 1); // the run's own next frequency
        QVERIFY(TickUntil(b.session, [] { return !Main::SweepRunning; }));
        QCOMPARE(Send(client, "FREQ 7000;:SYST:ERR?"), NoError);
    }
};

QTEST_GUILESS_MAIN(TestRunOwnership)
#include "test_run_ownership.moc"
