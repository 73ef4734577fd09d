// The server over real loopback sockets: clients side by side with their own queues, the bounds
// (a line over 64 KiB, a client that never reads, a ninth client) and many short connections.
#include "fake_instrument.h"

#include "remote/client.h"
#include "remote/scpi_server.h"

#include "tests/remote/client_exchange.h"
#include <QSignalSpy>
#include <QTcpSocket>

#include <QtTest>

#include <memory>

using namespace Remote;

namespace {

using RemoteTest::Ask;
using RemoteTest::Connect;
using RemoteTest::Deadline;

// Lets the event loop take `turns` turns of a 10 ms timer, so that whatever the server would do
// with the bytes it has been given had its chance. Counted in turns, not slept, so that a busy
// machine cannot make the look shorter than it means to be.
void EventLoopTurns(int turns) {
    int seen = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&seen] { ++seen; });
    timer.start(10);
    const QDeadlineTimer deadline(Deadline);
    while (seen < turns && !deadline.hasExpired())
        QTest::qWait(10);
}

} // namespace

class TestScpiServer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void twoClients();
    void heldAnswerOverSocket();
    void overlongLine();
    void clientThatNeverReads();
    void ninthClientRefused();
    void manyConnections();
    void nothingRunsWhileBusy();

private:
    std::unique_ptr<Fake::Instrument> meter_;
    std::unique_ptr<ScpiServer> server_;
};

void TestScpiServer::init() {
    meter_ = std::make_unique<Fake::Instrument>();
    meter_->realClock = true;
    server_ = std::make_unique<ScpiServer>(*meter_);
    QVERIFY2(server_->listen(QHostAddress(QHostAddress::LocalHost), 0),
             qPrintable(server_->errorString()));
}

void TestScpiServer::cleanup() {
    server_.reset();
    meter_.reset();
}

void TestScpiServer::twoClients() {
    QSignalSpy counts(server_.get(), &ScpiServer::clientCountChanged);
    auto a = Connect(server_->port());
    auto b = Connect(server_->port());
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 2, Deadline);
    QCOMPARE(counts.last().at(0).toInt(), 2);
    a->write("FOO\n");
    QCOMPARE(Ask(*b, "SYST:ERR?"), QByteArray("0,\"No error\""));
    QCOMPARE(Ask(*a, "SYST:ERR?"), QByteArray("-113,\"Undefined header\""));
    // Half a line from one client does not hold up the other.
    a->write("*ID");
    QCOMPARE(Ask(*b, "*IDN?"), QByteArray("Impedix,KT-43,COM3," IMPEDIX_VERSION));
    QCOMPARE(Ask(*a, "N?"), QByteArray("Impedix,KT-43,COM3," IMPEDIX_VERSION));
    a->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 1, Deadline);
    QCOMPARE(counts.last().at(0).toInt(), 1);
}

void TestScpiServer::heldAnswerOverSocket() {
    auto a = Connect(server_->port());
    auto b = Connect(server_->port());
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 2, Deadline);
    a->write("FREQ 2000;FETC?\n");
    // The other client is served while the first one's answer waits for a reading.
    QCOMPARE(Ask(*b, "*TST?"), QByteArray("0"));
    QTRY_VERIFY_WITH_TIMEOUT(meter_->calls.contains(QStringLiteral("FREQ 2000")), Deadline);
    EventLoopTurns(3);
    QVERIFY(!a->canReadLine());
    meter_->deliver();
    QTRY_VERIFY_WITH_TIMEOUT(a->canReadLine(), Deadline);
    QVERIFY(a->readLine().endsWith(",+0\n"));
}

void TestScpiServer::overlongLine() {
    auto a = Connect(server_->port());
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 1, Deadline);
    a->write(QByteArray(Client::MaxLine + 1000, 'X'));
    a->write(QByteArray(5000, 'Y'));
    // The overlong line held a query at its end: an empty line answers it, then *TST? runs.
    QCOMPARE(Ask(*a, ";*TST?\n*TST?"), QByteArray(""));
    QTRY_VERIFY_WITH_TIMEOUT(a->canReadLine(), Deadline);
    QCOMPARE(a->readLine(), QByteArray("0\n"));
    QCOMPARE(Ask(*a, "SYST:ERR?"), QByteArray("-100,\"Command error\""));
    QCOMPARE(Ask(*a, "SYST:ERR?"), QByteArray("0,\"No error\""));
}

void TestScpiServer::clientThatNeverReads() {
    auto reader = Connect(server_->port());
    auto sink = Connect(server_->port());
    sink->setReadBufferSize(4096); // Qt stops taking bytes from the system beyond this
    sink->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 2, Deadline);
    QByteArray list = "LIST:FREQ 25";
    for (int i = 1; i < Client::MaxListPoints; ++i)
        list += ",1000";
    sink->write(list + "\n");
    QByteArray queries;
    for (int i = 0; i < 2000; ++i)
        queries += "LIST:FREQ?\n"; // about 2.6 KB of answer each, 5 MB in all
    sink->write(queries);
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 1, Deadline);
    QCOMPARE(Ask(*reader, "*TST?"), QByteArray("0"));
    // Once it reads again it finds the connection closed, after less than the bound.
    sink->setReadBufferSize(0);
    qint64 received = 0;
    QElapsedTimer timer;
    timer.start();
    while (sink->state() != QAbstractSocket::UnconnectedState && timer.elapsed() < Deadline) {
        QTest::qWait(5);
        received += sink->readAll().size();
    }
    QCOMPARE(sink->state(), QAbstractSocket::UnconnectedState);
    QVERIFY(received <= ScpiServer::MaxQueuedAnswers + 256 * 1024);
}

void TestScpiServer::ninthClientRefused() {
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < ScpiServer::MaxClients; ++i)
        clients.push_back(Connect(server_->port()));
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), ScpiServer::MaxClients, Deadline);
    auto ninth = Connect(server_->port());
    QTRY_COMPARE_WITH_TIMEOUT(ninth->state(), QAbstractSocket::UnconnectedState, Deadline);
    QCOMPARE(server_->clientCount(), ScpiServer::MaxClients);
    for (auto &client : clients)
        QCOMPARE(Ask(*client, "*TST?"), QByteArray("0"));
    // A place that comes free is taken again.
    clients.front()->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), ScpiServer::MaxClients - 1, Deadline);
    auto next = Connect(server_->port());
    QCOMPARE(Ask(*next, "*TST?"), QByteArray("0"));
}

void TestScpiServer::manyConnections() {
    for (int i = 0; i < 1000; ++i) {
        auto client = Connect(server_->port());
        QCOMPARE(Ask(*client, "*IDN?"), QByteArray("Impedix,KT-43,COM3," IMPEDIX_VERSION));
        client->disconnectFromHost();
        if (client->state() != QAbstractSocket::UnconnectedState)
            QVERIFY(client->waitForDisconnected(Deadline));
    }
    QTRY_COMPARE_WITH_TIMEOUT(server_->clientCount(), 0, Deadline);
}

// While the program is inside a tick or has a message up, no command runs, from any client; they
// all run once it is ready again.
void TestScpiServer::nothingRunsWhileBusy() {
    auto first = Connect(server_->port());
    auto second = Connect(server_->port());
    QCOMPARE(Ask(*first, "*TST?"), QByteArray("0"));
    QCOMPARE(Ask(*second, "*TST?"), QByteArray("0"));
    meter_->busyNow = true;
    first->write("FREQ 5000\n*IDN?\n");
    second->write("VOLT 0.1\n");
    QTRY_VERIFY_WITH_TIMEOUT(server_->clientCount() == 2, Deadline);
    // Give the server the bytes and the event loop some turns; nothing may have run.
    EventLoopTurns(30);
    QVERIFY(meter_->calls.isEmpty());
    QVERIFY(!first->canReadLine());
    meter_->becomeReady();
    QTRY_VERIFY_WITH_TIMEOUT(first->canReadLine(), Deadline);
    QVERIFY(first->readLine().startsWith("Impedix,"));
    QTRY_COMPARE_WITH_TIMEOUT(meter_->calls, (QStringList{"FREQ 5000", "LEVEL 100"}), Deadline);

    // A client that goes meanwhile is let go only then, with the list run it started.
    QCOMPARE(Ask(*second, "LIST:FREQ 100,200;:DISP:PAGE LIST;:INIT;:SYST:ERR?"),
             QByteArray("0,\"No error\""));
    QVERIFY(meter_->listState().running);
    meter_->busyNow = true;
    second->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(second->state() == QAbstractSocket::UnconnectedState, Deadline);
    EventLoopTurns(30);
    QVERIFY(meter_->listState().running);
    meter_->becomeReady();
    QTRY_VERIFY_WITH_TIMEOUT(!meter_->listState().running, Deadline);
    QCOMPARE(server_->clientCount(), 1);
}

QTEST_GUILESS_MAIN(TestScpiServer)
#include "test_scpi_server.moc"
