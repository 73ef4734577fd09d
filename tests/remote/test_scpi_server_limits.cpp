// The server's bounds over real loopback sockets: a client that sends faster than its commands
// run meets back-pressure instead of filling memory, a client over the limit is told why, and a
// silent client gives its place up after the idle time-out while one owed an answer keeps it.
#include "fake_instrument.h"

#include "remote/scpi_server.h"

#include "tests/remote/client_exchange.h"
#include <QDeadlineTimer>
#include <QTcpSocket>

#include <QtTest>

#include <memory>

using namespace Remote;

namespace {

using RemoteTest::Ask;
using RemoteTest::Connect;
using RemoteTest::Deadline;

} // namespace

class TestScpiServerLimits : public QObject {
    Q_OBJECT
private slots:
    void floodMeetsBackPressure();
    void clientOverTheLimitIsTold();
    void idleClientIsClosed();
    void closedFloodIsDropped();
};

// The fake meter's clock stands still unless a reading comes, so a held FETC? waits for one.

// The flooding client's stream is held behind a FETC? that no reading answers, so that nothing
// of its input runs: whatever it sends, the server holds at most its bound, and the rest waits in
// the system's buffers and the client's own.
void TestScpiServerLimits::floodMeetsBackPressure() {
    Fake::Instrument meter;
    meter.deliver();
    ScpiServer server(meter);
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto flood = Connect(server.port());
    auto other = Connect(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 2, Deadline);
    flood->write("FREQ 2000;FETC?\n");
    QTRY_VERIFY_WITH_TIMEOUT(meter.calls.contains(QStringLiteral("FREQ 2000")), Deadline);
    const QByteArray chunk = QByteArray("*CLS\n").repeated(64 * 1024); // 320 KiB
    for (int i = 0; i < 100; ++i) // 32 MiB, more than any system buffers between the two
        flood->write(chunk);
    qint64 most = 0;
    qint64 lastPending = -1;
    // Until the client's own buffer stops draining: the system's are full, nothing moves.
    const QDeadlineTimer deadline(Deadline);
    while (!deadline.hasExpired()) {
        const qint64 pending = flood->bytesToWrite();
        QTest::qWait(50);
        most = std::max(most, server.heldInputBytes());
        if (pending == lastPending) break;
        lastPending = pending;
    }
    QVERIFY2(most <= ScpiServer::InputBound, qPrintable(QString::number(most)));
    QVERIFY(flood->bytesToWrite() > 0);
    // The others are served meanwhile.
    QCOMPARE(Ask(*other, "*TST?"), QByteArray("0"));
    // Once the answer comes, the flood runs; a client that goes leaves its place.
    meter.deliver();
    QTRY_VERIFY_WITH_TIMEOUT(flood->canReadLine(), Deadline);
    QVERIFY(flood->readLine().endsWith(",+0\n"));
    flood->abort();
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 1, Deadline);
    QCOMPARE(Ask(*other, "*TST?"), QByteArray("0"));
    QVERIFY2(most <= ScpiServer::InputBound, qPrintable(QString::number(most)));
}

void TestScpiServerLimits::clientOverTheLimitIsTold() {
    Fake::Instrument meter;
    ScpiServer server(meter, ServerLimits{2, 0});
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto first = Connect(server.port());
    auto second = Connect(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 2, Deadline);
    auto third = Connect(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(third->canReadLine(), Deadline);
    QCOMPARE(third->readLine(),
             QByteArray("Refused: the server is serving its limit of 2 clients\n"));
    QTRY_COMPARE_WITH_TIMEOUT(third->state(), QAbstractSocket::UnconnectedState, Deadline);
    QCOMPARE(server.clientCount(), 2);
    QCOMPARE(Ask(*second, "*TST?"), QByteArray("0"));
    // A place that comes free is taken again.
    first->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 1, Deadline);
    auto next = Connect(server.port());
    QCOMPARE(Ask(*next, "*TST?"), QByteArray("0"));
}

// The client owed an answer connects first, so it has been quiet longer than the idle one when
// that one is closed: only the answer it waits for keeps it.
void TestScpiServerLimits::idleClientIsClosed() {
    Fake::Instrument meter;
    meter.deliver();
    ScpiServer server(meter, ServerLimits{8, 1});
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto waiting = Connect(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 1, Deadline);
    waiting->write("FREQ 2000;FETC?\n");
    QTRY_VERIFY_WITH_TIMEOUT(meter.calls.contains(QStringLiteral("FREQ 2000")), Deadline);
    auto idle = Connect(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 2, Deadline);
    QTRY_COMPARE_WITH_TIMEOUT(idle->state(), QAbstractSocket::UnconnectedState, Deadline);
    QCOMPARE(server.clientCount(), 1);
    QCOMPARE(waiting->state(), QAbstractSocket::ConnectedState);
    meter.deliver();
    QTRY_VERIFY_WITH_TIMEOUT(waiting->canReadLine(), Deadline);
    QVERIFY(waiting->readLine().endsWith(",+0\n"));
}

// A client that floods and closes gives its place up at once: the lines it sent and the server had
// not run are dropped, not run for nobody. Its stream waits behind a FETC? that no reading
// answers, so without that nothing of it would ever run nor its place come free.
void TestScpiServerLimits::closedFloodIsDropped() {
    Fake::Instrument meter;
    meter.deliver();
    ScpiServer server(meter);
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    auto other = Connect(server.port());
    auto flood = Connect(server.port());
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 2, Deadline);
    flood->write("FREQ 2000;FETC?\n");
    QTRY_VERIFY_WITH_TIMEOUT(meter.calls.contains(QStringLiteral("FREQ 2000")), Deadline);
    // More lines than the server takes in, fewer bytes than the system's buffers hold.
    flood->write(QByteArray("FREQ 5000\n").repeated(8000));
    QTRY_COMPARE_WITH_TIMEOUT(flood->bytesToWrite(), 0, Deadline);
    QTRY_VERIFY_WITH_TIMEOUT(server.heldInputBytes() >= 16 * 1024, Deadline);
    flood->close();
    QTRY_COMPARE_WITH_TIMEOUT(server.clientCount(), 1, Deadline);
    // A reading now would have let the flood's lines run: they are gone.
    meter.deliver();
    QCOMPARE(Ask(*other, "*TST?"), QByteArray("0"));
    QVERIFY(!meter.calls.contains(QStringLiteral("FREQ 5000")));
}

QTEST_GUILESS_MAIN(TestScpiServerLimits)
#include "test_scpi_server_limits.moc"
