// The serial link and the command set over a real pseudo-terminal, with a scripted peer that
// records the exact request bytes and plays chosen replies, and the link's read rules: the input
// emptied before each request and before each read, the gap that ends a read, and bytes that
// wait at the deadline.
#include "link/device.h"
#include "sim/instrument.h"
#include "tests/common/peer.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>
#include <QtTest>

#include <functional>
#include <poll.h>
#include <sys/ioctl.h>

using namespace Device;

namespace {

QByteArray Ack(const QByteArray &request) {
    return TestPeer::Request(std::uint8_t(request.at(1)));
}

// A measurement frame; its 20 bytes give the longest read (210 ms) and so the most room for a
// busy machine in the tests that hold the reply back.
const QByteArray Frame = QByteArray::fromHex("aa48 8103 0004 0000 000003e8 447a0000 bfc00000");

int BytesInSystemQueue(const QSerialPort &port) {
    int waiting = 0;
    return ioctl(port.handle(), FIONREAD, &waiting) == 0 ? waiting : 0;
}

// Behaves like the program on a busy machine: once data has come in, the thread is away until
// a read of 20 bytes is over time (210 ms) and more bytes wait in the system's queue.
class BusyPort : public QSerialPort {
public:
    QElapsedTimer readStarted;
    bool busy = false;

    bool waitForReadyRead(int msecs) override {
        const bool ready = QSerialPort::waitForReadyRead(msecs);
        if (ready && busy) {
            busy = false;
            // Away past the read's deadline on purpose: the busy thread this port stands for.
            const qint64 away = 250 - readStarted.elapsed();
            if (away > 0) QThread::msleep(static_cast<unsigned long>(away));
            // Then until more bytes wait in the system's queue (10 s at most).
            pollfd line{static_cast<int>(handle()), POLLIN, 0};
            if (BytesInSystemQueue(*this) == 0) ::poll(&line, 1, 10000);
        }
        return ready;
    }
};

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT

    // What the peer answers next; by default a 2-byte acknowledgement.
    std::function<QByteArray(const QByteArray &)> m_reply = Ack;
    Sim::PtyHost m_host{[this](const QByteArray &request) { return m_reply(request); },
                        TestPeer::Timing()};

    void MapPorts() {
        ClearPortMappings();
        MapPort(1, m_host.slavePath());
        MapPort(2, QStringLiteral("/nonexistent/impedix-port"));
    }

    // Sends a request and waits until the peer has it, so that a reply held for the program's
    // purge (Sim::Delivery::afterPurge) goes out only once ReceiveReply has emptied the input.
    bool SendAndWait(std::uint8_t command) {
        m_host.takeRequests();
        RequestBuffer[1] = command;
        return SendRequest(2) == 1 && m_host.waitForRequests(1, 10000);
    }

    // The peer answers with Frame, held until the program has emptied its input after the request.
    void HoldFrame(Sim::Delivery delivery = {}) {
        m_reply = [](const QByteArray &) { return Frame; };
        delivery.afterPurge = true;
        m_host.setDelivery(delivery);
    }

    QByteArray Received(int count) {
        return QByteArray(reinterpret_cast<const char *>(ReplyBuffer), count);
    }

    // Waits until count bytes (or more) have come into the program's input.
    static bool WaitForInput(qint64 count) {
        while (PortHandle->bytesAvailable() < count)
            if (!PortHandle->waitForReadyRead(10000)) return false;
        return true;
    }

private slots:
    void initTestCase() {
        QVERIFY2(m_host.start(), qPrintable(m_host.errorString()));
        MapPorts();
        InitLinkSettings();
    }

    void init() {
        m_reply = Ack;
        m_host.setDelivery({});
        ModelIndex = 0;
        QVERIFY(OpenPort(1));
        m_host.takeRequests();
    }

    // The port closes while the peer's terminal still exists (see TestWindow::Fixture).
    void cleanupTestCase() { ClosePort(); }

    void settingsAfterInit() {
        QCOMPARE(LineSettings.BaudRate, 9600u);
        QCOMPARE(LineSettings.ByteSize, std::uint8_t(8));
        QCOMPARE(LinkTimeouts.ReadIntervalTimeout, 10u);
        QCOMPARE(LinkTimeouts.ReadTotalTimeoutMultiplier, 10u);
        QCOMPARE(LinkTimeouts.ReadTotalTimeoutConstant, 10u);
    }

    void commandBytes_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("frequency 1000") << 0 << 0 << QByteArray::fromHex("aa 43 00 00 03 e8");
        QTest::newRow("frequency 30 MHz") << 2 << 1 << QByteArray::fromHex("aa 43 01 c9 c3 80");
        QTest::newRow("bias 1600 row 0") << 0 << 2 << QByteArray::fromHex("aa 46 00 10");
        QTest::newRow("bias 1600 row 1") << 1 << 2 << QByteArray::fromHex("aa 46 00 a0");
        QTest::newRow("bias 1599 row 0 truncates") << 0 << 3 << QByteArray::fromHex("aa 46 00 0f");
        QTest::newRow("bias 40000 row 2") << 2 << 4 << QByteArray::fromHex("aa 46 0f a0");
        QTest::newRow("range 7") << 0 << 5 << QByteArray::fromHex("aa 42 07");
        QTest::newRow("level 1000") << 0 << 6 << QByteArray::fromHex("aa 44 03 e8");
        QTest::newRow("level 5") << 0 << 7 << QByteArray::fromHex("aa 44 00 05");
        QTest::newRow("speed normal") << 0 << 8 << QByteArray::fromHex("aa 22");
        QTest::newRow("speed fast") << 0 << 9 << QByteArray::fromHex("aa 21");
        QTest::newRow("bias external") << 0 << 10 << QByteArray::fromHex("aa 23");
        QTest::newRow("bias internal") << 0 << 11 << QByteArray::fromHex("aa 24");
        QTest::newRow("auto range") << 0 << 12 << QByteArray::fromHex("aa 41");
        QTest::newRow("current mode row 0") << 0 << 13 << QByteArray::fromHex("aa 45");
        QTest::newRow("key F1") << 0 << 14 << QByteArray::fromHex("aa 11");
        QTest::newRow("INIT") << 0 << 15 << QByteArray::fromHex("aa 47");
        QTest::newRow("identity") << 0 << 16 << QByteArray::fromHex("aa 40");
        QTest::newRow("measurement") << 0 << 17 << QByteArray::fromHex("aa 48");
    }
    void commandBytes() {
        QFETCH(int, model);
        QFETCH(int, operation);
        QFETCH(QByteArray, wire);
        ModelIndex = model;
        RequestBuffer[0] = 0x55; // whatever byte 0 held, the mark goes out
        char text[8];
        const std::function<void()> operations[] = {
            [] { SetFrequency(1000); },       [] { SetFrequency(30000000); },
            [] { SetBiasVoltage(1600); },     [] { SetBiasVoltage(1599); },
            [] { SetBiasVoltage(40000); },    [] { SetRange(7); },
            [] { SetLevel(1000); },           [] { SetLevel(5); },
            [] { SelectSpeed(true); },        [] { SelectSpeed(false); },
            [] { SelectBiasSource(true); },   [] { SelectBiasSource(false); },
            [] { ToggleAutoRange(); },        [] { SelectCurrentMode(); },
            [] { SendKeyCode(17); },          [] { SendKeyCode(Command::Init); },
            [&text] { QueryIdentity(text); }, [] { ReadMeasurement(); },
        };
        operations[operation]();
        QCOMPARE(TestPeer::TakeRequests(m_host, 1), QList<QByteArray>{wire});
    }

    void currentModeOnlyOnRowZero() {
        ModelIndex = 2;
        SelectCurrentMode();
        SetRange(1); // a marker: the only request the peer must see
        QCOMPARE(TestPeer::TakeRequests(m_host, 1),
                 QList<QByteArray>{QByteArray::fromHex("aa4201")});
    }

    void receiveReplyCases() {
        // Twenty bytes without the mark count as nothing.
        m_reply = [](const QByteArray &) { return QByteArray(20, char(0x55)); };
        RequestBuffer[1] = Command::Measure;
        SendRequest(2);
        QCOMPARE(ReceiveReply(20), 0u);
        QCOMPARE(TransferCount, 0u);

        // A reply that stops after 5 of 7 bytes: 5, and nothing of a longer reply before it
        // stays in the buffer.
        m_reply = [](const QByteArray &) { return Frame; };
        SendRequest(2);
        QCOMPARE(ReceiveReply(20), 20u);
        m_reply = [](const QByteArray &) { return QByteArray::fromHex("aa 01 02 03 04"); };
        RequestBuffer[1] = Command::Identity;
        SendRequest(2);
        QCOMPARE(ReceiveReply(7), 5u);
        for (int i = 5; i < 20; ++i)
            QCOMPARE(ReplyBuffer[i], std::uint8_t(0));

        // No reply at all.
        m_reply = [](const QByteArray &) { return QByteArray(); };
        SendRequest(2);
        QCOMPARE(ReceiveReply(2), 0u);
    }

    // Stray bytes (the tail of an old reply, line noise) must never be read as the next reply.
    // The link empties its input before each request goes out, and again before the read, for
    // what came in meanwhile.
    void strayBytesAfterTheRequestAreNotTheReply() {
        HoldFrame({QByteArray::fromHex("aa48aa")});
        QVERIFY(SendAndWait(Command::Measure));
        QVERIFY(WaitForInput(3));
        QCOMPARE(ReceiveReply(20), 20u);
        QCOMPARE(Received(20), Frame);
    }

    void inputEmptiedBeforeEachRequest() {
        HoldFrame();
        QVERIFY(SendAndWait(Command::Measure));
        QCOMPARE(ReceiveReply(20), 20u); // the peer has seen every purge up to this reply
        const int purges = m_host.purgeCount();
        QVERIFY(SendAndWait(Command::Measure));
        QVERIFY(m_host.purgeCount() > purges);
        QCOMPARE(ReceiveReply(20), 20u);
    }

    // A gap of more than 10 ms between two bytes ends the read, whatever time is left.
    void pauseInsideAReplyEndsTheRead() {
        HoldFrame({QByteArray(), true, 10, 60});
        QVERIFY(SendAndWait(Command::Measure));
        QCOMPARE(ReceiveReply(20), 10u);
        QCOMPARE(Received(10), Frame.left(10));
        QVERIFY(WaitForInput(10)); // the rest did come, too late
    }

    // Bytes in the system's queue when the read's time is up had arrived in time, even though
    // a busy program looks for them only now.
    void bytesWaitingAtTheDeadlineAreTaken() {
        BusyPort busy;
        QSerialPort *usual = PortHandle;
        usual->close();
        PortHandle = &busy;
        const auto restore = qScopeGuard([usual] {
            PortHandle->close();
            PortHandle = usual;
        });
        QVERIFY(OpenPort(1));
        HoldFrame({QByteArray(), true, 19, 5});
        QVERIFY(SendAndWait(Command::Measure));
        busy.busy = true;
        busy.readStarted.start();
        QCOMPARE(ReceiveReply(20), 20u);
        QVERIFY(busy.readStarted.elapsed() >= 250); // the program was away past the deadline
    }

    void identityReplies() {
        char text[8] = "xxxxxxx";
        m_reply = [](const QByteArray &) { return QByteArray("\xAA\x01KT45\x09", 7); };
        QVERIFY(QueryIdentity(text));
        QCOMPARE(QByteArray(text), QByteArray("KT45"));
        QCOMPARE(FindModelRow(text), 3);

        m_reply = [](const QByteArray &) { return QByteArray("\xAA\x01KT4\0\x09", 7); };
        QVERIFY(QueryIdentity(text));
        QCOMPARE(QByteArray(text), QByteArray("KT4"));
        QCOMPARE(FindModelRow(text), ModelCount);
        QCOMPARE(ModelName(FindModelRow(text)), QString());

        m_reply = [](const QByteArray &) { return QByteArray("\xAA\x01KT45", 6); };
        QVERIFY(!QueryIdentity(text));
        QCOMPARE(text[0], '\0');
    }

    void measurementFromTheSimulatedMeter() {
        Sim::Component capacitor;
        capacitor.capacitance = 100e-9;
        Sim::Instrument meter(1, capacitor);
        m_reply = [&meter](const QByteArray &request) { return meter.respond(request); };
        ModelIndex = 1;
        SeriesCircuit = 1;
        QVERIFY(ReadMeasurement());
        QCOMPARE(FrequencyHz, 1000);
        QVERIFY(qAbs(ParameterValues[0] - 100000.0f) < 10.0f); // 100 nF in pF
        QCOMPARE(QByteArray(ParameterText[0]), QByteArray("Cs  100.0000nF"));
    }

    void openPortOnAMissingPortClosesTheOldOne() {
        QSerialPort *open = PortHandle;
        QVERIFY(open && open->isOpen());
        QVERIFY(!OpenPort(2));
        QCOMPARE(PortNumber, 0);
        QVERIFY(!PortHandle->isOpen()); // closed, and its lock released
        QCOMPARE(LastOpenFailure.reason, OpenFailureReason::NoDevice);
        QVERIFY(!OpenPort(3)); // unmapped while mappings exist: nothing is touched
        QCOMPARE(PortNumber, 0);
        // Exchanges on no port fail quietly.
        QCOMPARE(SetRange(1), 0u);
        char text[8];
        QVERIFY(!QueryIdentity(text));
    }

    void reopeningTheSamePortWorks() {
        QVERIFY(OpenPort(1));
        QVERIFY(OpenPort(1));
        QCOMPARE(PortNumber, 1);
        SetRange(2);
        QCOMPARE(TestPeer::TakeRequests(m_host, 1),
                 QList<QByteArray>{QByteArray::fromHex("aa4202")});
    }

    void portArguments() {
        ClearPortMappings();
        for (const char *bad : {"COM0=/dev/x", "COM17=/dev/x", "COM99=/dev/x", "COM3=", "=/dev/x",
                                "3=/dev/x", "COM3", ""}) {
            QVERIFY2(!MapPortFromArgument(QString::fromLatin1(bad)).isEmpty(), bad);
            QVERIFY(!HasPortMappings());
        }
        QCOMPARE(MapPortFromArgument(QStringLiteral("COM16=/tmp/a=b")), QString());
        QCOMPARE(ResolvePortName(16), QStringLiteral("/tmp/a=b"));
        QCOMPARE(ResolvePortName(3), QString()); // unmapped ports are absent now
        MapPorts();
    }

    void hangUpClosesThePortAtOnce() {
        // Last: the peer goes away. The first exchange that meets the dead line closes the port
        // itself, before any event loop runs; later ones fail quietly without touching it.
        m_host.hangUp();
        QCOMPARE(SetRange(1), 0u);
        QCOMPARE(PortNumber, 0);
        QCOMPARE(PortHandle, nullptr);
        QCOMPARE(LostPortNumber, 1u);
        QVERIFY(!ReadMeasurement());
        QCOMPARE(LostPortNumber, 1u);
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "test_serial_link.moc"
