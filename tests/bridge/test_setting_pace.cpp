// Settings a client sends faster than the meter is polled: of each kind the first in a poll cycle
// goes at once and only the newest of the rest after the tick; a query answers the value set,
// and FETC? after a setting answers a reading taken under it, not one from before it went out.
#include "bridge/setting_pacer.h"
#include "core/main_state.h"
#include "remote/client.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/bridge/scpi_bench.h"

#include <QtTest>

#include <cmath>

using namespace TestCore;

namespace {

const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

struct Bench : ScpiBench {
    Bench() : ScpiBench(Capacitor) {}
    // The request frames the meter has taken since the last call, after a tick with a frame.
    int requestsSince() {
        TickWithFrame(session);
        return static_cast<int>(host.takeRequests().size());
    }
};

double CapacitorOhms(double hz) {
    const double x = 1.0 / (2.0 * M_PI * hz * 100e-9);
    return std::sqrt(3.0 * 3.0 + x * x);
}

using Pacer = Bridge::SettingPacer;
using A = Pacer::Action;

} // namespace

class TestSettingPace : public QObject {
    Q_OBJECT

private slots:
    // The pacer on plain values: what each offer does, and what goes after the tick.
    void pacerDecides() {
        Pacer pacer;
        QCOMPARE(pacer.offer(Pacer::Frequency, 1000, true), A::Nothing); // the meter has it
        QCOMPARE(pacer.offer(Pacer::Frequency, 2000, false), A::Send);
        QCOMPARE(pacer.sent(), 1u);
        QCOMPARE(pacer.offer(Pacer::Level, 500, false), A::Send); // another kind goes too
        QCOMPARE(pacer.offer(Pacer::Frequency, 2001, false), A::Hold);
        QCOMPARE(pacer.offer(Pacer::Frequency, 2002, false), A::Hold);
        QCOMPARE(pacer.offer(Pacer::Frequency, 2002, false), A::Nothing);
        QCOMPARE(pacer.held(Pacer::Frequency), std::optional<std::int32_t>(2002));
        QCOMPARE(pacer.newest(), pacer.sent() + 1);
        // Back to the value the meter has: nothing is held any more.
        QCOMPARE(pacer.offer(Pacer::Frequency, 2000, true), A::Nothing);
        QVERIFY(!pacer.holding());
        QCOMPARE(pacer.newest(), pacer.sent());
        QCOMPARE(pacer.offer(Pacer::Frequency, 2003, false), A::Hold);
        // Nothing is due until CyclesPerChange ticks have passed since the frequency went.
        for (int cycle = 1; cycle < Pacer::CyclesPerChange; ++cycle) {
            pacer.tick();
            QVERIFY(!pacer.due());
            QVERIFY(pacer.flush().empty());
            // A value held waits for its turn, also once its cycles are over.
            QCOMPARE(pacer.offer(Pacer::Frequency, 2003 + cycle, false), A::Hold);
        }
        pacer.tick();
        QVERIFY(pacer.due());
        // Even now a new value replaces the held one rather than going at once: one command.
        QCOMPARE(pacer.offer(Pacer::Frequency, 2010, false), A::Hold);
        const auto due = pacer.flush();
        QCOMPARE(due.size(), std::size_t(1));
        QCOMPARE(due.front().second, 2010);
        QCOMPARE(pacer.sent(), 3u);
        // Sent after the tick, it starts the kind's cycles again: the next value waits.
        QCOMPARE(pacer.offer(Pacer::Frequency, 2011, false), A::Hold);
        QVERIFY(!pacer.due());
        // The level went long ago; the frequency's wait is not the level's.
        for (int cycle = 0; cycle < Pacer::CyclesPerChange; ++cycle)
            pacer.tick();
        QCOMPARE(pacer.offer(Pacer::Level, 100, false), A::Send);
        // Before a run every value held goes, due or not.
        QCOMPARE(pacer.offer(Pacer::Level, 200, false), A::Hold);
        QCOMPARE(pacer.flushAll().size(), std::size_t(2));
        QVERIFY(!pacer.holding());
        QCOMPARE(pacer.offer(Pacer::Level, 300, false), A::Hold);
        pacer.drop();
        QVERIFY(pacer.flush().empty());
        // A cycle without a new frequency ends its pacing: one cycle later the next goes at once.
        pacer.tick();
        pacer.tick();
        QCOMPARE(pacer.offer(Pacer::Frequency, 2020, false), A::Send);
        pacer.tick();
        QCOMPARE(pacer.offer(Pacer::Frequency, 2021, false), A::Send);
    }

    // A burst of changing frequencies in one line: one frequency at once, the newest once its
    // cycles are over, and nothing more; FREQ? answers the newest at once.
    void burstSendsFirstAndNewest() {
        Bench b;
        QVERIFY(b.found());
        Remote::Client client(b.remote);
        b.requestsSince();
        const int tickAlone = b.requestsSince();
        QVERIFY(tickAlone > 0);
        QByteArray burst;
        for (int hz = 2000; hz <= 2100; ++hz)
            burst += "FREQ " + QByteArray::number(hz) + ';';
        QCOMPARE(Send(client, burst + "FREQ?;:SYST:ERR?"),
                 QByteArray("+2.10000E+03;0,\"No error\"\n"));
        QCOMPARE(Main::CurrentFrequency, 2000);
        QCOMPARE(b.requestsSince(), tickAlone + 1);
        int requests = 0;
        for (int cycle = 1; cycle < Pacer::CyclesPerChange; ++cycle) {
            QCoreApplication::processEvents();
            QCOMPARE(Main::CurrentFrequency, 2000);
            requests += b.requestsSince() - tickAlone;
        }
        QTRY_COMPARE_WITH_TIMEOUT(Main::CurrentFrequency, 2100, 20000);
        requests += b.requestsSince() - tickAlone;
        QCOMPARE(requests, 1);
        QCoreApplication::processEvents();
        QCOMPARE(b.requestsSince(), tickAlone);
        // Its cycles over, a single setting goes at once, as ever.
        for (int cycle = 0; cycle < Pacer::CyclesPerChange; ++cycle)
            b.requestsSince();
        QCOMPARE(Send(client, "FREQ 2500;:FREQ?"), QByteArray("+2.50000E+03\n"));
        QCOMPARE(Main::CurrentFrequency, 2500);
    }

    // FETC? after a setting that waits for the tick answers a reading at that setting, not the
    // one the tick before it polled.
    void fetchAfterHeldSetting() {
        Bench b;
        QVERIFY(b.found());
        Remote::Client client(b.remote);
        QCOMPARE(Send(client, "FUNC:IMP ZTD;:FREQ 2000;:SYST:ERR?"), NoError);
        b.requestsSince();
        client.feed("FREQ 3000;FREQ 4000;FETC?\n");
        while (client.pump()) {
        }
        QVERIFY(client.holding());
        const QDeadlineTimer deadline(4 * TickDeadlineMs);
        while (client.holding() && !deadline.hasExpired()) {
            b.session.Tick();
            QCoreApplication::processEvents();
            client.poll();
        }
        const QList<QByteArray> fields = client.takeOutput().trimmed().split(',');
        QCOMPARE(fields.size(), 3);
        QCOMPARE(fields[2], QByteArray("+0"));
        const double ohms = fields[0].toDouble();
        QVERIFY2(std::fabs(ohms - CapacitorOhms(4000)) < 0.02 * CapacitorOhms(4000),
                 QByteArray::number(ohms).constData());
    }
};

QTEST_GUILESS_MAIN(TestSettingPace)
#include "test_setting_pace.moc"
