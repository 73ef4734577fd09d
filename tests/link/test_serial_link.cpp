// The serial link and the command set over a real pseudo-terminal, with a scripted peer that
// records the exact request bytes and plays chosen replies.
#include "link/device.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"

#include <QSerialPort>
#include <QtTest>

#include <functional>

using namespace Device;

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray Ack(const QByteArray &request) {
    return Bytes({0xAA, request.at(1)});
}

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT

    // What the peer answers next; by default a 2-byte acknowledgement.
    std::function<QByteArray(const QByteArray &)> m_reply = Ack;
    // A think time well inside the 30 ms read time-out keeps a busy machine from losing answers
    // to the purge that precedes each read.
    Sim::PtyHost m_host{[this](const QByteArray &request) { return m_reply(request); },
                        Sim::HostOptions{8, false, 1}};

private slots:
    void initTestCase() {
        QVERIFY2(m_host.start(), qPrintable(m_host.errorString()));
        ClearPortMappings();
        MapPort(1, m_host.slavePath());
        MapPort(2, QStringLiteral("/nonexistent/impedix-port"));
        InitLinkSettings();
    }

    void init() {
        m_reply = Ack;
        ModelIndex = 0;
        QVERIFY(OpenPort(1));
        m_host.takeRequests();
    }

    void settingsAfterInit() {
        QCOMPARE(LineSettings.BaudRate, 9600u);
        QCOMPARE(LineSettings.ByteSize, std::uint8_t(8));
        QCOMPARE(LinkTimeouts.ReadIntervalTimeout, 10u);
        QCOMPARE(LinkTimeouts.ReadTotalTimeoutMultiplier, 10u);
        QCOMPARE(LinkTimeouts.ReadTotalTimeoutConstant, 10u);
        QCOMPARE(PortNumber, 1);
    }

    void commandBytes_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("operation");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("frequency 1000") << 0 << 0 << Bytes({0xAA, 0x43, 0, 0, 0x03, 0xE8});
        QTest::newRow("frequency 30 MHz") << 2 << 1 << Bytes({0xAA, 0x43, 0x01, 0xC9, 0xC3, 0x80});
        QTest::newRow("bias 1600 row 0") << 0 << 2 << Bytes({0xAA, 0x46, 0x00, 0x10});
        QTest::newRow("bias 1600 row 1") << 1 << 2 << Bytes({0xAA, 0x46, 0x00, 0xA0});
        QTest::newRow("bias 1599 row 0 truncates") << 0 << 3 << Bytes({0xAA, 0x46, 0x00, 0x0F});
        QTest::newRow("bias 40000 row 2") << 2 << 4 << Bytes({0xAA, 0x46, 0x0F, 0xA0});
        QTest::newRow("range 7") << 0 << 5 << Bytes({0xAA, 0x42, 0x07});
        QTest::newRow("level 1000") << 0 << 6 << Bytes({0xAA, 0x44, 0x03, 0xE8});
        QTest::newRow("level 5") << 0 << 7 << Bytes({0xAA, 0x44, 0x00, 0x05});
        QTest::newRow("speed normal") << 0 << 8 << Bytes({0xAA, 0x22});
        QTest::newRow("speed fast") << 0 << 9 << Bytes({0xAA, 0x21});
        QTest::newRow("bias external") << 0 << 10 << Bytes({0xAA, 0x23});
        QTest::newRow("bias internal") << 0 << 11 << Bytes({0xAA, 0x24});
        QTest::newRow("auto range") << 0 << 12 << Bytes({0xAA, 0x41});
        QTest::newRow("current mode row 0") << 0 << 13 << Bytes({0xAA, 0x45});
        QTest::newRow("key F1") << 0 << 14 << Bytes({0xAA, 17});
        QTest::newRow("INIT") << 0 << 15 << Bytes({0xAA, 0x47});
        QTest::newRow("identity") << 0 << 16 << Bytes({0xAA, 0x40});
        QTest::newRow("measurement") << 0 << 17 << Bytes({0xAA, 0x48});
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
        QVERIFY(m_host.waitForRequests(1, 2000));
        const QList<QByteArray> requests = m_host.takeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first(), wire);
    }

    void currentModeOnlyOnRowZero() {
        ModelIndex = 2;
        SelectCurrentMode();
        SetRange(1); // a marker: the only request the peer must see
        QVERIFY(m_host.waitForRequests(1, 2000));
        const QList<QByteArray> requests = m_host.takeRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first(), Bytes({0xAA, 0x42, 0x01}));
    }

    void acknowledgedSettingReturnsTwo() { QCOMPARE(SetRange(3), 2u); }

    void receiveReplyCases() {
        // Twenty bytes without the mark count as nothing.
        m_reply = [](const QByteArray &) { return QByteArray(20, char(0x55)); };
        RequestBuffer[1] = Command::Measure;
        SendRequest(2);
        QCOMPARE(ReceiveReply(20), 0u);
        QCOMPARE(TransferCount, 0u);

        // A reply that stops after 5 of 7 bytes: 5, and the rest of the buffer reads as 0.
        m_reply = [](const QByteArray &) { return Bytes({0xAA, 1, 2, 3, 4}); };
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

    void shortReplyClearsWhatALongerOneLeft() {
        m_reply = [](const QByteArray &) { return QByteArray(20, char(0xAA)); };
        RequestBuffer[1] = Command::Measure;
        SendRequest(2);
        QCOMPARE(ReceiveReply(20), 20u);
        m_reply = Ack;
        SendRequest(2);
        QCOMPARE(ReceiveReply(2), 2u);
        for (int i = 2; i < 20; ++i)
            QCOMPARE(ReplyBuffer[i], std::uint8_t(0));
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
        QCOMPARE(PortHandle, nullptr); // the old port object is released with its lock
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
        QCOMPARE(SetRange(2), 2u);
    }

    void portArguments() {
        QVERIFY(!MapPortFromArgument(QStringLiteral("COM17=/dev/x")).isEmpty());
        QVERIFY(!MapPortFromArgument(QStringLiteral("COM0=/dev/x")).isEmpty());
        QVERIFY(!MapPortFromArgument(QStringLiteral("COM3")).isEmpty());
        QVERIFY(!MapPortFromArgument(QStringLiteral("=/dev/x")).isEmpty());
        QVERIFY(MapPortFromArgument(QStringLiteral("COM9=/dev/ttyUSB7")).isEmpty());
        QCOMPARE(ResolvePortName(9), QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(ResolvePortName(10), QString());
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
