// The comparator over SCPI on the measuring core, against a simulated meter: the client's
// settings become the core's plan in its function's quantities, FETC? carries the bin of its
// reading, and each part of a batch is counted once in the bin counters (a trigger on a part
// already sorted counts nothing).
#include "bridge/session_instrument.h"
#include "remote/client.h"
#include "sim/batch.h"
#include "sim/batch_plan.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/bridge/scpi_bench.h"

#include <QtTest>

#include <memory>

using namespace TestCore;

namespace {

const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=0.5"));

// The simulated meter holds the capacitor.
struct Bench : ScpiBench {
    Bench() : ScpiBench(Capacitor) {}
};

// Ticks by hand, letting the bridge tell the client, until done() holds or the deadline passes.
template <typename Done> bool TickUntil(Core::Session &session, Remote::Client &client, Done done) {
    const QDeadlineTimer deadline(4 * TickDeadlineMs);
    while (!done() && !deadline.hasExpired()) {
        session.Tick();
        QCoreApplication::processEvents();
        client.poll();
    }
    return done();
}

// FETC?'s answer, once the session has given it a reading.
QByteArray Fetch(Core::Session &session, Remote::Client &client) {
    client.feed("FETC?\n");
    while (client.pump()) {
    }
    TickUntil(session, client, [&] { return !client.holding(); });
    return client.takeOutput();
}

} // namespace

class TestComparatorScpi : public QObject {
    Q_OBJECT

private slots:
    void binsOfReadingsAndParts() {
        Bench b;
        QVERIFY(b.found());
        Remote::Client client(b.remote);
        QCOMPARE(Send(client, "FUNC:IMP CPD;:COMP:MODE PTOL;TOL:NOM 100n;BIN1 -1,1;BIN2 -5,5;"
                              ":COMP ON;:COMP?;:SYST:ERR?"),
                 QByteArray("1;0,\"No error\"\n"));
        QVERIFY(b.session.Sorting());
        const Sort::Plan &plan = b.session.SortPlan();
        QCOMPARE(plan.primary, static_cast<int>(Device::ParC));
        QCOMPARE(plan.secondary, static_cast<int>(Device::ParD));
        QCOMPARE(plan.seriesCircuit, std::optional<bool>(false));
        QCOMPARE(plan.bins.size(), std::size_t{2});

        // The fixed part: its reading in bin 1, and the part sorted once by the core.
        QByteArray answer;
        QVERIFY(TickUntil(b.session, client, [&] {
            answer = Fetch(b.session, client);
            return answer.endsWith(",+0,+1\n") && !b.session.SortLog().empty();
        }));
        QCOMPARE(Send(client, "COMP:BIN:COUN:DATA?"), QByteArray("1,0,0,0,0,0,0,0,0,0,0\n"));
        // Commands that leave the plan as it was do not have the part sorted again.
        Send(client, "COMP:BIN:COUN ON;:COMP:TOL:NOM 100n;:COMP ON");
        const std::uint64_t seen = b.remote.latestReading().sequence;
        QVERIFY(TickUntil(b.session, client,
                          [&] { return b.remote.latestReading().sequence >= seen + 6; }));
        QCOMPARE(Send(client, "COMP:BIN:COUN:DATA?"), QByteArray("1,0,0,0,0,0,0,0,0,0,0\n"));
        // A trigger on the part sorted already counts nothing more.
        Send(client, "TRIG:SOUR BUS;:TRIG;*OPC?");
        QVERIFY(TickUntil(b.session, client, [&] { return !client.holding(); }));
        // The held answer is in; the rest of its line (nothing) runs and ends it.
        while (client.pump()) {
        }
        QCOMPARE(client.takeOutput(), QByteArray("1\n"));
        QVERIFY(Fetch(b.session, client).endsWith(",+0,+1\n"));
        QCOMPARE(Send(client, "COMP:BIN:COUN:DATA?"), QByteArray("1,0,0,0,0,0,0,0,0,0,0\n"));
        Send(client, "COMP:BIN:COUN:CLE");

        // A batch: the first part takes the fixed one's place without open contacts between
        // (not seen); each of the others is one count in its bin.
        const std::optional<Sim::BatchPlan> batch = Sim::parseBatchPlan(
            QStringLiteral("C=100n,R=0.5;values=100n,100.5n,97n,90n,104n;sit=10r;gap=5r"));
        QVERIFY(batch);
        b.meter.setBatch(std::make_shared<Sim::Batch>(*batch));
        QVERIFY(TickUntil(b.session, client, [&] { return b.session.SortLog().size() >= 5; }));
        QCOMPARE(Send(client, "COMP:BIN:COUN:DATA?"), QByteArray("1,2,0,0,0,0,0,0,0,1,0\n"));
        QCOMPARE(b.session.SortCounts().total(), std::int64_t{5});

        // Counting off: verdicts go by uncounted; the comparator off leaves FETC? as it was.
        Send(client, "COMP:BIN:COUN OFF;COUN:CLE;:TRIG:SOUR INT");
        QCOMPARE(Send(client, "COMP:BIN:COUN:DATA?"), QByteArray("0,0,0,0,0,0,0,0,0,0,0\n"));
        Send(client, "COMP OFF");
        QVERIFY(!b.session.Sorting());
        QVERIFY(TickUntil(b.session, client, [&] {
            answer = Fetch(b.session, client);
            return answer.count(',') == 2 && answer.endsWith(",+0\n");
        }));
        QCOMPARE(Send(client, "SYST:ERR?"), QByteArray("0,\"No error\"\n"));
    }
};

QTEST_GUILESS_MAIN(TestComparatorScpi)
#include "test_comparator_scpi.moc"
