// The simulated meter's faults for tests of reconnection and of frames a program must refuse:
// chosen frame fields, replies slower than the link waits, and a meter that vanishes and comes
// back at the same symbolic link, in-process and from impedix-sim's command line.
#include "sim/frame_override.h"
#include "sim/simulator.h"
#include "tests/sim/wire.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace TestWire;

namespace {

constexpr int Generous = 10000; // ms; a deadline for what must happen, never a measured time

const Sim::Component Resistor = *Sim::parseComponent(QStringLiteral("R=1k"));

// Where the link points, also when nothing is there any more.
QString target(const QString &link) {
    return QFileInfo(link).symLinkTarget();
}

QByteArray biasRequest(quint16 units) {
    QByteArray request = QByteArray::fromHex("aa46 0000");
    qToBigEndian(units, request.data() + 2);
    return request;
}

// A float field equals expected, NaN included.
bool same(float actual, float expected) {
    return std::isnan(expected) ? std::isnan(actual) : actual == expected;
}

} // namespace

class TestSimFaults : public QObject {
    Q_OBJECT

private slots:
    // The text form against the frame a link decodes: each field where the wire has it, the
    // rest of the frame as measured (1 kOhm at 0 rad, 1 kHz, no bias).
    void frameOption_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("step"); // mV of one bias unit
        QTest::addColumn<qint64>("frequency");
        QTest::addColumn<int>("bias");
        QTest::addColumn<float>("magnitude");
        QTest::addColumn<float>("phase");
        QTest::addColumn<int>("replies");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("all four") << "frequency=1000,bias=0xFFFF,magnitude=1e30,phase=3.1@1" << 10
                                  << qint64(1000) << 0xFFFF << 1e30f << 3.1f << 1;
        QTest::newRow("frequency beyond any window")
            << "frequency=99000000" << 10 << qint64(99000000) << 0 << 1000.0f << 0.0f << -1;
        QTest::newRow("frequency of 32 ones")
            << "frequency=0xffffffff" << 10 << qint64(-1) << 0 << 1000.0f << 0.0f << -1;
        QTest::newRow("negative frequency")
            << "frequency=-25" << 10 << qint64(-25) << 0 << 1000.0f << 0.0f << -1;
        QTest::newRow("bias in 10 mV steps")
            << "bias=1500mV" << 10 << qint64(1000) << 150 << 1000.0f << 0.0f << -1;
        QTest::newRow("bias in 100 mV steps")
            << "bias=1500mV" << 100 << qint64(1000) << 15 << 1000.0f << 0.0f << -1;
        QTest::newRow("NaN phase, negative infinity")
            << "phase=nan,magnitude=-inf" << 10 << qint64(1000) << 0 << -inf << nan << -1;
        QTest::newRow("spaces and case")
            << " Bias = 7 , PHASE=-1.5 @ 12" << 10 << qint64(1000) << 7 << 1000.0f << -1.5f << 12;
    }

    void frameOption() {
        QFETCH(QString, text);
        QFETCH(int, step);
        QFETCH(qint64, frequency);
        QFETCH(int, bias);
        QFETCH(float, magnitude);
        QFETCH(float, phase);
        QFETCH(int, replies);
        QString error;
        const std::optional<Sim::FrameOption> option = Sim::parseFrameOption(text, step, &error);
        QVERIFY2(option, qPrintable(error));
        QCOMPARE(option->replies, replies);

        Sim::Instrument meter(Sim::DefaultModelRow, Resistor);
        const QByteArray clean = meter.respond(Measure);
        const QByteArray frame = Sim::applyOverride(option->fields, clean);
        QCOMPARE(frame.size(), clean.size());
        QCOMPARE(frame.left(6), clean.left(6)); // mark, command, status, mode, range
        const Frame f = decode(frame);
        QCOMPARE(qint64(f.frequency), frequency);
        QCOMPARE(int(f.bias), bias);
        QVERIFY2(same(f.magnitude, magnitude), qPrintable(QString::number(double(f.magnitude))));
        QVERIFY2(same(f.theta, phase), qPrintable(QString::number(double(f.theta))));
    }

    void frameOptionErrors_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("nothing") << ""
                                 << "NAME=VALUE";
        QTest::newRow("no value") << "bias"
                                  << "bias";
        QTest::newRow("no name") << "=5"
                                 << "NAME=VALUE";
        QTest::newRow("twice") << "bias=1,BIAS=2"
                               << "twice";
        QTest::newRow("frequency beyond 32 bits") << "frequency=4294967296"
                                                  << "4294967296";
        QTest::newRow("fractional frequency") << "frequency=1.5"
                                              << "1.5";
        QTest::newRow("two signs") << "frequency=--5"
                                   << "--5";
        QTest::newRow("bias beyond 16 bits") << "bias=0x10000"
                                             << "0x10000";
        QTest::newRow("negative bias") << "bias=-1"
                                       << "-1";
        QTest::newRow("bias in mV beyond the field") << "bias=655360mV"
                                                     << "16-bit";
        QTest::newRow("bias off the step") << "bias=15mV"
                                           << "10 mV";
        QTest::newRow("beyond float") << "magnitude=1e39"
                                      << "1e39";
        QTest::newRow("empty phase") << "phase="
                                     << "phase";
        QTest::newRow("count not a number") << "bias=1@x"
                                            << "'x'";
        QTest::newRow("negative count") << "bias=1@-1"
                                        << "'-1'";
    }

    void frameOptionErrors() {
        QFETCH(QString, text);
        QFETCH(QString, mentions);
        QString error;
        QVERIFY(!Sim::parseFrameOption(text, 10, &error));
        QVERIFY2(error.contains(mentions), qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }

    // Only measurement frames carry the fields, and only they use up the count; a fault spoils
    // the frame with the fields in it.
    void overrideOnTheLine() {
        Sim::Instrument meter(Sim::DefaultModelRow, Resistor);
        auto [host, port] = Served(meter);
        const QByteArray identity = port.exchange(Identity, 7);
        const QByteArray clean = port.exchange(Measure, 20);

        Sim::FrameOverride fields;
        fields.frequency = 0xFFFFFFFFu;
        fields.biasUnits = 0xFFFF;
        fields.magnitude = 1e30f;
        fields.phase = 3.1f;
        host.setFrameOverride(fields, 2);
        QCOMPARE(port.exchange(Identity, 7), identity);
        QCOMPARE(port.exchange(QByteArray::fromHex("aa22"), 2), QByteArray::fromHex("aa22"));
        for (int i = 0; i < 2; ++i) {
            const QByteArray frame = port.exchange(Measure, 20);
            QCOMPARE(frame.left(6), clean.left(6));
            const Frame f = decode(frame);
            QCOMPARE(f.frequency, -1);
            QCOMPARE(f.bias, quint16(0xFFFF));
            QCOMPARE(f.magnitude, 1e30f);
            QCOMPARE(f.theta, 3.1f);
        }
        QCOMPARE(port.exchange(Measure, 20), clean);

        fields = {};
        fields.biasUnits = 3;
        host.setFrameOverride(fields); // persistent
        host.setFault(Sim::Fault::StatusBitClear, 1);
        Frame f = decode(port.exchange(Measure, 20));
        QCOMPARE(f.status, quint8(0x01));
        QCOMPARE(f.bias, quint16(3));
        f = decode(port.exchange(Measure, 20));
        QCOMPARE(f.status, quint8(0x81));
        QCOMPARE(f.bias, quint16(3));
        host.clearFrameOverride();
        QCOMPARE(port.exchange(Measure, 20), clean);
    }

    // A meter slower than the link waits: a request that comes while it thinks is queued and
    // answered after the one before, one reply each, in order.
    void slowMeterAnswersInOrder_data() {
        QTest::addColumn<int>("thinkMs");
        QTest::newRow("75 ms") << 75;
        QTest::newRow("150 ms") << 150;
    }

    void slowMeterAnswersInOrder() {
        QFETCH(int, thinkMs);
        Sim::Instrument meter(Sim::DefaultModelRow, Resistor);
        Sim::HostOptions options;
        options.thinkMs = thinkMs;
        auto [host, port] = Served(meter, options);
        port.write(Identity);
        QVERIFY(host.waitForRequests(1, Generous)); // the meter is thinking now
        QTest::qWait(30);                           // the stimulus: the next request 30 ms later
        port.write(Measure);
        const QByteArray replies = port.read(27);
        QCOMPARE(replies.left(7), Sim::Instrument(Sim::DefaultModelRow).respond(Identity));
        QCOMPARE(replies.mid(7), meter.respond(Measure));
        QCOMPARE(host.takeRequests(), (QList<QByteArray>{Identity, Measure}));
    }

    // The rest of a request that arrives while the meter thinks is no stale fragment, however
    // long the meter thinks: the silence that drops a fragment counts while the meter listens.
    void requestCompletedWhileTheMeterThinks() {
        Sim::Instrument meter(Sim::DefaultModelRow, Resistor);
        Sim::HostOptions options;
        options.thinkMs = 400; // far beyond the 100 ms after which a fragment is dropped
        auto [host, port] = Served(meter, options);
        const QByteArray frequency = frequencyRequest(20000);
        port.write(Identity + frequency.left(3));
        QVERIFY(host.waitForRequests(1, Generous)); // identity and the fragment are read
        port.write(frequency.mid(3));
        QCOMPARE(port.read(9).mid(7), QByteArray::fromHex("aa43"));
        QCOMPARE(host.takeRequests(), (QList<QByteArray>{Identity, frequency}));
        QCOMPARE(meter.state().frequencyHz, 20000);
    }

    // Armed, the host hangs up at the next request rather than answering it; the fault set
    // before stays for the next terminal, which is not armed.
    void hangUpAtTheNextRequest() {
        Sim::Instrument meter;
        Sim::PtyHost host(meter);
        QVERIFY(host.start());
        const QString first = host.slavePath();
        host.setFault(Sim::Fault::WrongMark);
        {
            Port port(first);
            host.hangUpAtNextRequest();
            QVERIFY(host.isServing()); // nothing happens before the request
            QVERIFY(port.exchange(Identity, 1).isEmpty());
        }
        QVERIFY(!QFileInfo::exists(first));
        // The serving thread ends with the hang-up a moment after the line went; a host still
        // serving would hand back the gone terminal.
        QTRY_VERIFY_WITH_TIMEOUT(!host.isServing(), 10000);
        QVERIFY(host.start());
        Port port(host.slavePath());
        for (int i = 0; i < 2; ++i) {
            const QByteArray reply = port.exchange(Identity, 7);
            QCOMPARE(reply.size(), 7);
            QVERIFY(quint8(reply[0]) != Sim::FrameMark);
        }
        QCOMPARE(host.takeRequests().size(), 3);
    }

    // The meter vanishes at its link (a program holding the port reads end of file) and comes
    // back at the same link on a new terminal, in its power-on state: the same meter, a second
    // one or another model.
    void comesBackAtTheLink_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("modelRow");
        QTest::addColumn<QByteArray>("identifier");
        QTest::addColumn<int>("hz");
        QTest::addColumn<bool>("sameMeter");
        QTest::newRow("power-cycled")
            << int(Sim::Return::PowerCycled) << -1 << QByteArray("KT44") << 1000 << true;
        QTest::newRow("second meter")
            << int(Sim::Return::SecondInstance) << -1 << QByteArray("KT44") << 1000 << false;
        QTest::newRow("another model")
            << int(Sim::Return::OtherModel) << 3 << QByteArray("KT45") << 50000 << false;
        QTest::newRow("the options' other model")
            << int(Sim::Return::OtherModel) << -1 << QByteArray("KT41") << 1000 << false;
    }

    void comesBackAtTheLink() {
        QFETCH(int, how);
        QFETCH(int, modelRow);
        QFETCH(QByteArray, identifier);
        QFETCH(int, hz);
        QFETCH(bool, sameMeter);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Sim::Options options;
        options.dut = Resistor;
        options.linkPath = dir.filePath(QStringLiteral("meter"));
        options.vanish.returnModelRow = 0; // KT-41
        Sim::Simulator simulator(options);
        QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
        const QString link = simulator.portPath();
        QCOMPARE(link, options.linkPath);
        const QString first = simulator.slavePath();
        QCOMPARE(target(link), first);
        const Sim::Instrument *before = &simulator.instrument();

        Port held(link);
        QCOMPARE(held.exchange(frequencyRequest(20000), 2), QByteArray::fromHex("aa43"));
        QCOMPARE(held.exchange(biasRequest(50), 2), QByteArray::fromHex("aa46"));
        simulator.vanish();
        QVERIFY(!simulator.isPresent());
        QVERIFY(held.read(1).isEmpty()); // end of file
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo::exists(link)); // points at nothing
        QVERIFY(!Port(link).isOpen());

        QVERIFY2(simulator.comeBack(Sim::Return(how), modelRow),
                 qPrintable(simulator.errorString()));
        QVERIFY(simulator.isPresent());
        QVERIFY(!simulator.comeBack()); // present already
        QCOMPARE(simulator.portPath(), link);
        QVERIFY(simulator.slavePath() != first);
        QCOMPARE(target(link), simulator.slavePath());
        QCOMPARE(&simulator.instrument() == before, sameMeter);

        Port port(link);
        QVERIFY(port.isOpen());
        QCOMPARE(port.exchange(Identity, 7).mid(2, 4), identifier);
        const Frame f = decode(port.exchange(Measure, 20));
        QCOMPARE(f.frequency, hz);
        QCOMPARE(f.bias, quint16(0));
        QCOMPARE(f.status, quint8(0x81)); // auto-ranging
        QCOMPARE(f.magnitude, 1000.0f);   // the same part on the terminals
    }

    // Nobody holds the vanished terminal; the simulator does, so the meter cannot come back
    // under the number a program may still think is its port.
    void returnTakesAnotherTerminal() {
        Sim::Simulator simulator{Sim::Options()};
        QVERIFY(simulator.start());
        const QString first = simulator.slavePath();
        QCOMPARE(simulator.portPath(), first); // no link was asked for
        simulator.vanish();
        const std::optional<Sim::Component> open = Sim::Component{};
        QVERIFY(simulator.comeBack(Sim::Return::PowerCycled, -1, open));
        QVERIFY2(simulator.slavePath() != first, qPrintable(first));
        Port port(simulator.portPath());
        QCOMPARE(decode(port.exchange(Measure, 20)).magnitude, float(Sim::OpenCircuitOhms));
    }

    // The plan from the command line: gone at the request after two measurement replies, back
    // with its power-on settings, then gone again after every reply.
    void plannedVanishing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("meter"));
        QString error;
        const auto options =
            Sim::parseOptions({"--link", link, "--vanish-after", "2", "--vanish-every", "1",
                               "--away", "100", "--dut", "R=1k"},
                              &error);
        QVERIFY2(options, qPrintable(error));
        Sim::Simulator simulator(*options);
        QVERIFY(simulator.start());
        QString previous = simulator.slavePath();
        {
            Port port(link);
            QCOMPARE(port.exchange(frequencyRequest(20000), 2), QByteArray::fromHex("aa43"));
            QCOMPARE(decode(port.exchange(Measure, 20)).frequency, 20000);
            QCOMPARE(decode(port.exchange(Measure, 20)).frequency, 20000);
            QVERIFY(port.exchange(Identity, 1).isEmpty()); // hung up instead of answering
        }
        for (int round = 0; round < 2; ++round) {
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link) && target(link) != previous, Generous);
            previous = target(link);
            Port port(link);
            QCOMPARE(decode(port.exchange(Measure, 20)).frequency, 1000);
            QVERIFY(port.exchange(Measure, 1).isEmpty());
        }
        simulator.stop();
        QVERIFY(!QFileInfo(link).isSymLink()); // removed with the simulator
    }

    void executable() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("meter"));
        QProcess sim;
        sim.start(QStringLiteral(IMPEDIX_SIM_PATH),
                  {"--model", "KT-43", "--dut", "R=50", "--link", link, "--vanish-after", "1",
                   "--away", "100", "--return", "second"});
        QVERIFY(sim.waitForReadyRead(Generous));
        QCOMPARE(QString::fromLocal8Bit(sim.readLine()).trimmed(), link);
        const QString first = target(link);
        {
            Port port(link);
            QCOMPARE(port.exchange(Identity, 7).mid(2, 4), QByteArray("KT43"));
            QCOMPARE(port.exchange(frequencyRequest(300), 2), QByteArray::fromHex("aa43"));
            QCOMPARE(decode(port.exchange(Measure, 20)).frequency, 300);
            QVERIFY(port.exchange(Identity, 1).isEmpty());
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link) && target(link) != first, Generous);
        Port port(link);
        QCOMPARE(port.exchange(Identity, 7).mid(2, 4), QByteArray("KT43"));
        const Frame f = decode(port.exchange(Measure, 20));
        QCOMPARE(f.frequency, 1000);
        QCOMPARE(f.magnitude, 50.0f);

        sim.terminate();
        QVERIFY(sim.waitForFinished(Generous));
        QCOMPARE(sim.exitCode(), 0);
        const QString told = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(told.contains(QLatin1String("vanished")) && told.contains(QLatin1String("KT-43")),
                 qPrintable(told));
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // A path that is anything but a symbolic link is never replaced.
    void linkRefusesToReplaceAFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString taken = dir.filePath(QStringLiteral("taken"));
        QFile file(taken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep");
        file.close();
        QProcess sim;
        sim.start(QStringLiteral(IMPEDIX_SIM_PATH), {"--link", taken});
        QVERIFY(sim.waitForFinished(Generous));
        QCOMPARE(sim.exitCode(), 1);
        const QString told = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(told.contains(taken) && told.count(QLatin1Char('\n')) == 1, qPrintable(told));
        QVERIFY(sim.readAllStandardOutput().isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestSimFaults)
#include "test_sim_faults.moc"
