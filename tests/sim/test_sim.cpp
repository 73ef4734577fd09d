// Tests of the simulated meter: component model, protocol replies, the test fixture and what
// sits in it, the pseudo-terminal host (framing, request log, faults, hang-up) through plain
// POSIX I/O, the control file, and the command line.
#include "sim/bias_source.h"
#include "sim/component.h"
#include "sim/fixture.h"
#include "sim/instrument.h"
#include "sim/protocol.h"
#include "sim/pty_host.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"
#include "tests/sim/wire.h"

#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <complex>
#include <mutex>
#include <sys/stat.h>

using namespace TestWire;
using namespace std::chrono_literals;

namespace {

constexpr double Pi = 3.14159265358979323846;

Sim::Component dut(const QString &description, bool parallel = false) {
    Sim::Component c = Sim::parseComponent(description).value_or(Sim::Component{});
    c.parallel = parallel;
    return c;
}

bool near(double actual, double expected, double relative = 1e-5) {
    return std::abs(actual - expected) <= relative * std::max(1.0, std::abs(expected));
}

using Complex = std::complex<double>;

const QString Bench = QStringLiteral("R=0.5,L=50n,C=5p,G=1n"); // a fixture of leads and stray

// A reading as the wire carries it (KT-44 and the others: the phase as measured).
Complex complexOf(const QByteArray &frame) {
    const Frame f = decode(frame);
    return std::polar<double>(f.magnitude, f.theta);
}

Complex exact(const Sim::Component &c, double hz) {
    const Sim::Impedance z = Sim::impedanceAt(c, hz);
    return std::polar(z.magnitude, z.theta);
}

bool nearComplex(Complex actual, Complex expected, double relative) {
    return std::abs(actual - expected) <= relative * std::abs(expected);
}

// Writes the control file whole, so that the meter never reads it half written.
void control(const QString &path, const QByteArray &word) {
    QSaveFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(word);
    QVERIFY(file.commit());
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    void componentImpedance_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("parallel");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("magnitude");
        QTest::addColumn<double>("theta");

        const double corner = 1.0 / (2 * Pi * 1000.0 * 100e-9); // 100 nF reads 1 kOhm here
        QTest::newRow("series C") << "C=100n" << false << 1000.0 << 1591.5494 << -Pi / 2;
        QTest::newRow("series RC at corner")
            << "R=1k,C=100n" << false << corner << 1414.2136 << -Pi / 4;
        QTest::newRow("parallel RC at corner")
            << "R=1k,C=100n" << true << corner << 707.10678 << -Pi / 4;
        QTest::newRow("series L") << "L=10m" << false << 1000.0 << 62.831853 << Pi / 2;
        QTest::newRow("parallel RL") << "R=10,L=1m" << true << 1000.0 << 5.3201804 << 1.0098142;
        QTest::newRow("nothing connected") << "" << false << 1000.0 << Sim::OpenCircuitOhms << 0.0;
        QTest::newRow("series C of 0 F")
            << "C=0,R=5" << false << 1000.0 << Sim::OpenCircuitOhms << 0.0;
        QTest::newRow("series C at DC") << "C=1u" << false << 0.0 << Sim::OpenCircuitOhms << 0.0;
        QTest::newRow("parallel empty") << "" << true << 1000.0 << Sim::OpenCircuitOhms << 0.0;
        QTest::newRow("parallel R of 0") << "R=0,C=1u" << true << 1000.0 << 0.0 << 0.0;
        QTest::newRow("parallel L at DC") << "L=1m,R=5" << true << 0.0 << 0.0 << 0.0;
    }

    void componentImpedance() {
        QFETCH(QString, description);
        QFETCH(bool, parallel);
        QFETCH(double, hz);
        QFETCH(double, magnitude);
        QFETCH(double, theta);

        const Sim::Impedance z = Sim::impedanceAt(dut(description, parallel), hz);
        QVERIFY2(near(z.magnitude, magnitude), qPrintable(QString::number(z.magnitude)));
        QVERIFY2(near(z.theta, theta), qPrintable(QString::number(z.theta)));
    }

    // A coil with its winding capacitance, (R + L) || C, and a resonator, (R + L + C) || C0.
    void networkImpedance_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("network");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("magnitude");
        QTest::addColumn<double>("theta");
        const int coil = int(Sim::Network::Inductor);
        const int resonator = int(Sim::Network::Resonator);
        QTest::newRow("coil below resonance")
            << "L=1m,C=1u" << coil << 1000.0 << 6.5414306 << Pi / 2;
        QTest::newRow("lossy coil") << "R=2,L=1m,C=1u" << coil << 3000.0 << 29.351956 << 1.4066791;
        QTest::newRow("coil without arm") << "C=1u" << coil << 1000.0 << 159.15494 << -Pi / 2;
        QTest::newRow("coil at DC") << "L=1m,C=1u" << coil << 0.0 << 0.0 << 0.0;
        QTest::newRow("resonator at fs")
            << "R=10,L=10m,C=1u,C0=1u" << resonator << 1591.5494 << 9.9503719 << -0.0996687;
        QTest::newRow("resonator below fs")
            << "R=10,L=10m,C=1u,C0=1u" << resonator << 1000.0 << 60.282663 << -1.5064720;
        QTest::newRow("resonator at DC")
            << "R=10,L=10m,C=1u,C0=1u" << resonator << 0.0 << Sim::OpenCircuitOhms << 0.0;
    }

    void networkImpedance() {
        QFETCH(QString, description);
        QFETCH(int, network);
        QFETCH(double, hz);
        QFETCH(double, magnitude);
        QFETCH(double, theta);
        Sim::Component c = dut(description);
        c.network = static_cast<Sim::Network>(network);
        const Sim::Impedance z = Sim::impedanceAt(c, hz);
        QVERIFY2(near(z.magnitude, magnitude), qPrintable(QString::number(z.magnitude)));
        QVERIFY2(near(z.theta, theta), qPrintable(QString::number(z.theta)));
    }

    // C / (1 + (V/V0)^2) * (1 + KL (level - 1 V)) as fractions of C, worked out by hand.
    void capacitanceLaw_data() {
        QTest::addColumn<double>("v0"); // 0: none
        QTest::addColumn<double>("kl"); // NaN: none
        QTest::addColumn<double>("bias");
        QTest::addColumn<double>("level");
        QTest::addColumn<double>("fraction");
        const double none = std::nan("");
        QTest::newRow("neither, any conditions") << 0.0 << none << 40.0 << 2.0 << 1.0;
        QTest::newRow("bias 0") << 12.0 << none << 0.0 << 1.0 << 1.0;
        QTest::newRow("V0 halves") << 12.0 << none << 12.0 << 1.0 << 0.5;
        QTest::newRow("3 V0") << 12.0 << none << 36.0 << 1.0 << 0.1;
        QTest::newRow("either polarity") << 12.0 << none << -12.0 << 1.0 << 0.5;
        QTest::newRow("40 V on the demo's V0") << 12.0 << none << 40.0 << 1.0 << 0.08256881;
        QTest::newRow("level 1 V") << 0.0 << 0.03 << 0.0 << 1.0 << 1.0;
        QTest::newRow("level 0.1 V") << 0.0 << 0.03 << 0.0 << 0.1 << 0.973;
        QTest::newRow("level 2 V") << 0.0 << 0.03 << 0.0 << 2.0 << 1.03;
        QTest::newRow("bias and level") << 12.0 << 0.03 << 12.0 << 2.0 << 0.515;
        QTest::newRow("falling with level") << 0.0 << -0.1 << 0.0 << 3.0 << 0.8;
        QTest::newRow("never below 0") << 0.0 << -1.0 << 0.0 << 5.0 << 0.0;
    }

    void capacitanceLaw() {
        QFETCH(double, v0);
        QFETCH(double, kl);
        QFETCH(double, bias);
        QFETCH(double, level);
        QFETCH(double, fraction);
        const std::optional<double> halving = v0 > 0 ? std::optional<double>(v0) : std::nullopt;
        const std::optional<double> coefficient =
            std::isnan(kl) ? std::nullopt : std::optional<double>(kl);
        const double c = Sim::capacitanceAt(100e-9, halving, coefficient, bias, level);
        QVERIFY2(near(c / 100e-9, fraction, 1e-7), qPrintable(QString::number(c / 100e-9)));
        if (bias == 0.0 && level == 1.0) QVERIFY(c == 100e-9); // exactly, not nearly
    }

    // The meter reads its part at the bias the internal source gives and at its test level; with
    // the external source the bias is unknown and reads as 0 V, though the frame still reports
    // the internal setting.
    void biasAndLevelReachThePart() {
        for (const char *model : {"KT-44", "KT-41"}) { // 12 V in 10 mV and in 100 mV steps
            Sim::Instrument meter(Sim::findModel(QLatin1String(model)),
                                  dut(QStringLiteral("C=100n,V0=12,KL=0.03")));
            auto magnitude = [&meter] { return decode(meter.respond(Measure)).magnitude; };
            QVERIFY(near(magnitude(), 1591.5494));
            meter.respond(
                QByteArray::fromHex(model == QLatin1String("KT-41") ? "aa460078" : "aa4604b0"));
            QVERIFY2(near(magnitude(), 3183.0989), model);  // C halved
            meter.respond(QByteArray::fromHex("aa4407d0")); // 2 V of level: C grows by 3 %
            QVERIFY2(near(magnitude(), 3090.3873), model);
            meter.respond(QByteArray::fromHex("aa23")); // external source
            QVERIFY2(near(magnitude(), 1545.1936), model);
            QCOMPARE(decode(meter.respond(Measure)).bias, meter.state().biasUnits);
            meter.respond(QByteArray::fromHex("aa24"));
            QVERIFY2(near(magnitude(), 3090.3873), model);
            meter.respond(QByteArray::fromHex("aa47")); // INIT: no bias, 1 V
            QVERIFY2(near(magnitude(), 1591.5494), model);
        }
        // The load standard does not follow the bias, even given a V0 (--load refuses one).
        Sim::Instrument meter(Sim::DefaultModelRow, dut(QStringLiteral("C=100n,V0=12")));
        meter.setLoad(dut(QStringLiteral("C=100n,V0=12")));
        meter.setTerminals(Sim::Terminals::Load);
        meter.respond(QByteArray::fromHex("aa4604b0"));
        QVERIFY(near(decode(meter.respond(Measure)).magnitude, 1591.5494));
    }

    // The source keeps giving the bias before a setting until the settle time has passed.
    void biasSourceSettles() {
        Sim::BiasSource source;
        const auto t = Sim::BiasSource::Clock::time_point() + 1h;
        source.set(100, t);
        QCOMPARE(source.appliedUnits(t), quint16(100)); // no settle: at once
        source.setSettle(500ms, t);
        source.set(200, t + 1s);
        QCOMPARE(source.setUnits(), quint16(200));
        QCOMPARE(source.appliedUnits(t + 1s + 499ms), quint16(100));
        QCOMPARE(source.appliedUnits(t + 1s + 500ms), quint16(200));

        // A setting during a settle starts a new one from the bias given then.
        source.set(300, t + 2s);
        source.set(400, t + 2s + 300ms);
        QCOMPARE(source.appliedUnits(t + 2s + 700ms), quint16(200));
        QCOMPARE(source.appliedUnits(t + 2s + 800ms), quint16(400));

        // A longer settle never brings back a bias that has gone; a shorter one ends a settle.
        source.setSettle(10s, t + 3s);
        QCOMPARE(source.appliedUnits(t + 3s), quint16(400));
        source.set(0, t + 4s);
        QCOMPARE(source.appliedUnits(t + 5s), quint16(400));
        source.setSettle(100ms, t + 5s);
        QCOMPARE(source.appliedUnits(t + 5s), quint16(0));

        source.set(700, t + 6s);
        source.reset(); // power-on: 0 V at once
        QCOMPARE(source.appliedUnits(t + 6s), quint16(0));
        QCOMPARE(source.setUnits(), quint16(0));
    }

    void engineeringValues() {
        const struct {
            const char *text;
            double value;
        } good[] = {{"100n", 100e-9}, {"4.7k", 4700}, {"10mk", 10e-6}, {"2.2u", 2.2e-6},
                    {"1M", 1e6},      {"3m", 3e-3},   {"5p", 5e-12},   {"1G", 1e9},
                    {"0.5", 0.5},     {"1e3", 1e3}};
        for (const auto &g : good) {
            const auto value = Sim::parseEngineeringValue(QString::fromUtf8(g.text));
            QVERIFY2(value && near(*value, g.value, 1e-12), g.text);
        }
        for (const char *bad : {"", "k", "1q", "1 0", "nan", "inf", "1nF"})
            QVERIFY2(!Sim::parseEngineeringValue(QString::fromUtf8(bad)), bad);

        const auto both = Sim::parseComponent(QStringLiteral(" c=1u , R=2 , L=3m "));
        QVERIFY(both);
        QVERIFY(near(*both->capacitance, 1e-6) && near(*both->resistance, 2) &&
                near(*both->inductance, 3e-3));
        QVERIFY(!both->halvingBiasVolts && !both->levelCoefficient);
        const auto ceramic = Sim::parseComponent(QStringLiteral("C=1u, v0=12 ,kl=-0.05"));
        QVERIFY(ceramic);
        QVERIFY(near(*ceramic->halvingBiasVolts, 12) && near(*ceramic->levelCoefficient, -0.05));
    }

    void componentDescriptionErrors_data() {
        QTest::addColumn<QString>("description");
        QTest::newRow("no value") << "C";
        QTest::newRow("unknown element") << "X=1";
        QTest::newRow("twice") << "C=1n,C=2n";
        QTest::newRow("negative") << "R=-1";
        QTest::newRow("empty item") << "C=1n,,R=1";
        QTest::newRow("bad number") << "R=abc";
        QTest::newRow("V0 of 0") << "C=1n,V0=0";
        QTest::newRow("V0 negative") << "C=1n,V0=-5";
        QTest::newRow("V0 not a number") << "C=1n,V0=high";
        QTest::newRow("V0 twice") << "C=1n,V0=5,V0=6";
        QTest::newRow("KL beyond 1") << "C=1n,KL=1.5";
        QTest::newRow("KL beyond -1") << "C=1n,KL=-2";
        QTest::newRow("KL empty") << "C=1n,KL=";
        QTest::newRow("V0 without C") << "R=1,V0=12";
        QTest::newRow("KL without C") << "L=1m,KL=0.1";
    }

    void componentDescriptionErrors() {
        QFETCH(QString, description);
        QString error;
        QVERIFY(!Sim::parseComponent(description, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }

    void identityOfEachModel_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("identifier");
        QTest::newRow("KT-41") << "KT-41" << QByteArray("KT41");
        QTest::newRow("KT-43") << "KT-43" << QByteArray("KT43");
        QTest::newRow("KT-44") << "KT-44" << QByteArray("KT44");
        QTest::newRow("KT-45 by identifier") << "KT45" << QByteArray("KT45");
        QTest::newRow("KT-46") << "KT-46" << QByteArray("KT46");
    }

    void identityOfEachModel() {
        QFETCH(QString, model);
        QFETCH(QByteArray, identifier);

        const int row = Sim::findModel(model);
        QVERIFY(row >= 0);
        Sim::Instrument meter(row, dut(QStringLiteral("C=100n")));

        const QByteArray reply = meter.respond(Identity);
        QCOMPARE(reply.size(), Sim::IdentityReplyLength);
        QCOMPARE(quint8(reply[0]), Sim::FrameMark);
        QCOMPARE(reply.mid(2, 4), identifier);
    }

    void measurementFrame() {
        Sim::Instrument meter(Sim::findModel(QStringLiteral("KT-44")),
                              dut(QStringLiteral("C=100n")));

        const Frame f = decode(meter.respond(Measure));
        QCOMPARE(f.mark, Sim::FrameMark);
        QCOMPARE(f.status, quint8(0x81)); // valid, auto-ranging
        QCOMPARE(f.mode, quint8(0));
        QCOMPARE(f.range, quint8(4)); // 1.59 kOhm lies in the "1 kOm" decade
        QCOMPARE(f.bias, quint16(0));
        QCOMPARE(f.frequency, 1000);
        QVERIFY(near(f.magnitude, 1591.5494));
        QVERIFY(near(f.theta, -Pi / 2));

        // A 10 mV-step model takes the bias field in tens of millivolts.
        QCOMPARE(meter.respond(QByteArray::fromHex("aa4600a0")), QByteArray::fromHex("aa46"));
        QCOMPARE(meter.state().biasMillivolts, 1600);
        QCOMPARE(decode(meter.respond(Measure)).bias, quint16(0xA0));
    }

    void firstModelNegatesPhaseAndScalesBias() {
        Sim::Instrument meter(Sim::findModel(QStringLiteral("KT-41")),
                              dut(QStringLiteral("C=100n")));

        QCOMPARE(meter.respond(QByteArray::fromHex("aa460010")).size(), 2);
        QCOMPARE(meter.state().biasMillivolts, 1600);
        const Frame f = decode(meter.respond(Measure));
        QCOMPARE(f.bias, quint16(0x10));
        QVERIFY(near(f.theta, Pi / 2)); // a capacitor, sent with the opposite sign
    }

    void frequencyIsClampedToModelWindow_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<qint32>("requested");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("inside") << "KT-44" << 10000 << 10000;
        QTest::newRow("KT-41 top") << "KT-41" << 5000000 << 1000000;
        QTest::newRow("KT-44 top is inclusive") << "KT-44" << 10000000 << 10000000;
        QTest::newRow("KT-45 bottom") << "KT-45" << 1000 << 50000;
        QTest::newRow("below 25 Hz") << "KT-43" << 10 << 25;
        QTest::newRow("negative") << "KT-46" << -5 << 25;
        QTest::newRow("KT-46 top") << "KT-46" << 30000000 << 3000000;
    }

    void frequencyIsClampedToModelWindow() {
        QFETCH(QString, model);
        QFETCH(qint32, requested);
        QFETCH(qint32, expected);

        Sim::Instrument meter(Sim::findModel(model), dut(QStringLiteral("R=100")));
        QCOMPARE(meter.respond(frequencyRequest(requested)), QByteArray::fromHex("aa43"));
        QCOMPARE(decode(meter.respond(Measure)).frequency, expected);
        QCOMPARE(meter.state().frequencyHz, expected);
    }

    void rangeAndAutoRanging() {
        Sim::Instrument meter(Sim::DefaultModelRow, dut(QStringLiteral("C=100n")));

        QCOMPARE(meter.respond(QByteArray::fromHex("aa4202")), QByteArray::fromHex("aa42"));
        Frame f = decode(meter.respond(Measure));
        QCOMPARE(f.status, quint8(0x80));
        QCOMPARE(f.range, quint8(2));
        QVERIFY(!meter.state().autoRange);

        // Asking for auto-ranging while it is on must not switch it off.
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(meter.respond(QByteArray::fromHex("aa41")), QByteArray::fromHex("aa41"));
            f = decode(meter.respond(Measure));
            QCOMPARE(f.status, quint8(0x81));
            QCOMPARE(f.range, quint8(4));
        }

        // In auto-ranging the range follows |Z| as the frequency moves it across decades.
        meter.respond(frequencyRequest(100)); // 15.9 kOhm
        QCOMPARE(decode(meter.respond(Measure)).range, quint8(3));
        meter.respond(frequencyRequest(10000000)); // 0.16 Ohm
        QCOMPARE(decode(meter.respond(Measure)).range, quint8(7));

        meter.setComponent(dut(QStringLiteral("R=20M")));
        QCOMPARE(meter.state().range, 0);
    }

    void settingsAndInit() {
        Sim::Instrument meter(Sim::DefaultModelRow, dut(QStringLiteral("R=100")));
        const QList<QByteArray> commands = {
            frequencyRequest(20000),         QByteArray::fromHex("aa4401f4"),
            QByteArray::fromHex("aa21"),     QByteArray::fromHex("aa23"),
            QByteArray::fromHex("aa460019"), QByteArray::fromHex("aa4205"),
            QByteArray::fromHex("aa45"),     QByteArray::fromHex("aa11"),
            QByteArray::fromHex("aa30")};
        for (const QByteArray &command : commands) {
            const QByteArray ack = meter.respond(command);
            QCOMPARE(ack.size(), Sim::AckLength);
            QCOMPARE(quint8(ack[0]), Sim::FrameMark);
        }
        Sim::InstrumentState s = meter.state();
        QCOMPARE(s.frequencyHz, 20000);
        QCOMPARE(s.levelMillivolts, 500);
        QVERIFY(!s.speedNormal);
        QVERIFY(s.biasExternal);
        QCOMPARE(s.biasMillivolts, 250);
        QCOMPARE(s.range, 5);
        QVERIFY(!s.autoRange);
        QCOMPARE(s.mode, Sim::Instrument::CurrentModeValue);
        QCOMPARE(s.lastKey, 17); // the unknown 0x30 is acknowledged but is no key
        QCOMPARE(quint8(meter.respond(Measure)[3]), Sim::Instrument::CurrentModeValue);

        QCOMPARE(meter.respond(QByteArray::fromHex("aa22")).size(), 2);
        QCOMPARE(meter.respond(QByteArray::fromHex("aa24")).size(), 2);
        QVERIFY(meter.state().speedNormal);
        QVERIFY(!meter.state().biasExternal);

        meter.respond(QByteArray::fromHex("aa23"));
        meter.respond(QByteArray::fromHex("aa47")); // INIT
        s = meter.state();
        QCOMPARE(s.frequencyHz, 1000);
        QCOMPARE(s.levelMillivolts, 1000);
        QCOMPARE(s.biasMillivolts, 0);
        QVERIFY(!s.biasExternal);
        QVERIFY(s.autoRange);
        QCOMPARE(s.mode, quint8(0));
        QCOMPARE(s.lastKey, 71);

        // Frames of the wrong length never reach a real meter; they get no answer.
        QVERIFY(meter.respond(QByteArray::fromHex("aa4300")).isEmpty());
        QVERIFY(meter.respond(QByteArray::fromHex("5548")).isEmpty());
    }

    void noiseIsRepeatable() {
        const Sim::Component c = dut(QStringLiteral("C=100n"));
        Sim::Instrument quiet(Sim::DefaultModelRow, c);
        Sim::Instrument a(Sim::DefaultModelRow, c, 0.01, 7);
        Sim::Instrument b(Sim::DefaultModelRow, c, 0.01, 7);
        const Frame exact = decode(quiet.respond(Measure));
        bool differs = false;
        for (int i = 0; i < 5; ++i) {
            const QByteArray fa = a.respond(Measure);
            QCOMPARE(fa, b.respond(Measure));
            const Frame f = decode(fa);
            differs = differs || f.magnitude != exact.magnitude;
            QVERIFY(std::abs(f.magnitude / exact.magnitude - 1) < 0.1);
            QVERIFY(std::abs(f.theta - exact.theta) < 0.1);
        }
        QVERIFY(differs);
    }

    // The open and short readings take the fixture out of the part's: the leads and the stray
    // must sit where the usual correction expects them, or the part does not come back. Parts
    // far below the leads would only show the wire's single precision, so none is that small.
    void openShortCompensation_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("hz");
        for (const char *part : {"C=100n,R=0.5", "R=1k", "R=2,L=10m", "R=100k"}) {
            for (int hz : {100, 10000, 1000000})
                QTest::addRow("%s at %d Hz", part, hz) << QString::fromLatin1(part) << hz;
        }
    }

    void openShortCompensation() {
        QFETCH(QString, part);
        QFETCH(int, hz);
        const Sim::Fixture fixture = Sim::parseFixture(Bench).value_or(Sim::Fixture{});
        QVERIFY(!fixture.isNone());
        Sim::Instrument meter(Sim::DefaultModelRow, dut(part));
        meter.setFixture(fixture);
        meter.setLoad(dut(QStringLiteral("R=100")));
        QCOMPARE(meter.respond(frequencyRequest(hz)), QByteArray::fromHex("aa43"));

        auto readWith = [&meter](Sim::Terminals terminals) {
            meter.setTerminals(terminals);
            return complexOf(meter.respond(Measure));
        };
        const Complex open = readWith(Sim::Terminals::Open);
        const Complex shorted = readWith(Sim::Terminals::Short);
        const Complex measured = readWith(Sim::Terminals::Part);
        const Complex load = readWith(Sim::Terminals::Load);

        // Shorted, the meter reads the leads; open, the leads and the stray behind them.
        const double omega = 2 * Pi * hz;
        const Complex leads(0.5, omega * 50e-9);
        QVERIFY(nearComplex(shorted, leads, 1e-6));
        QVERIFY(nearComplex(open, leads + 1.0 / Complex(1e-9, omega * 5e-12), 1e-6));

        auto corrected = [&](Complex reading) {
            return (reading - shorted) * (open - shorted) / (open - reading);
        };
        const Complex recovered = corrected(measured);
        QVERIFY2(nearComplex(recovered, exact(dut(part), hz), 1e-6),
                 qPrintable(QStringLiteral("%1 %2").arg(recovered.real()).arg(recovered.imag())));
        QVERIFY(nearComplex(corrected(load), Complex(100.0, 0.0), 1e-6));
    }

    // Frames the meter sent before it had a fixture, recorded then: without one, or with an
    // empty one, it must send exactly these. Open terminals read as a part of nothing did, short
    // ones as a part of 0 Ohm did.
    void withoutFixtureFramesStay_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("circuit"); // -1: parallel, else a Network
        QTest::addColumn<int>("terminals");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("hz");
        QTest::addColumn<double>("noise");
        QTest::addColumn<QByteArrayList>("frames");
        const int plain = int(Sim::Network::Plain);
        const int part = int(Sim::Terminals::Part);
        const QString capacitor = QStringLiteral("C=100n,R=0.5");
        auto hex = [](const char *frame) { return QByteArrayList{QByteArray::fromHex(frame)}; };
        QTest::newRow("100 Hz") << capacitor << plain << part << "KT-44" << 100 << 0.0
                                << hex("aa48810000030000000000644678adfabfc90ed3");
        QTest::newRow("10 kHz") << capacitor << plain << part << "KT-44" << 10000 << 0.0
                                << hex("aa4881000005000000002710431f27debfc8a8e9");
        QTest::newRow("ceramic at 0 V and 1 V")
            << "C=100n,R=0.5,V0=12,KL=0.03" << plain << part << "KT-44" << 10000 << 0.0
            << hex("aa4881000005000000002710431f27debfc8a8e9");
        QTest::newRow("1 MHz") << capacitor << plain << part << "KT-44" << 1000000 << 0.0
                               << hex("aa48810000070000000f42403fd588f0bfa2196a");
        QTest::newRow("KT-41 coil") << "R=2,L=10m" << plain << part << "KT-41" << 20000 << 0.0
                                    << hex("aa4881000004000000004e20449d1470bfc8dbb4");
        QTest::newRow("inductor network")
            << "R=1.5,L=100u,C=50p" << int(Sim::Network::Inductor) << part << "KT-44" << 1000000
            << 0.0 << hex("aa48810000050000000f42404443b64a3fc8ae63");
        QTest::newRow("nothing connected") << "" << plain << part << "KT-44" << 1000 << 0.0
                                           << hex("aa48810000000000000003e85368d4a500000000");
        QTest::newRow("parallel R of 0") << "R=0,C=1u" << -1 << part << "KT-44" << 1000 << 0.0
                                         << hex("aa48810000070000000003e80000000000000000");
        QTest::newRow("noise")
            << capacitor << plain << part << "KT-44" << 1000 << 0.01
            << QByteArrayList{QByteArray::fromHex("aa48810000040000000003e844c582d1bfca68fc"),
                              QByteArray::fromHex("aa48810000040000000003e844c6deb0bfc882aa")};
        QTest::newRow("open terminals")
            << capacitor << plain << int(Sim::Terminals::Open) << "KT-44" << 1000 << 0.0
            << hex("aa48810000000000000003e85368d4a500000000");
        QTest::newRow("short terminals")
            << capacitor << plain << int(Sim::Terminals::Short) << "KT-44" << 1000 << 0.0
            << hex("aa48810000070000000003e80000000000000000");
    }

    void withoutFixtureFramesStay() {
        QFETCH(QString, part);
        QFETCH(int, circuit);
        QFETCH(int, terminals);
        QFETCH(QString, model);
        QFETCH(int, hz);
        QFETCH(double, noise);
        QFETCH(QByteArrayList, frames);
        Sim::Component c = dut(part, circuit < 0);
        if (circuit >= 0) c.network = static_cast<Sim::Network>(circuit);

        const std::optional<Sim::Fixture> none = Sim::parseFixture(QString());
        QVERIFY(none && none->isNone());
        for (bool emptyFixture : {false, true}) {
            Sim::Instrument meter(Sim::findModel(model), c, noise, 7);
            if (emptyFixture) meter.setFixture(*none);
            meter.setTerminals(static_cast<Sim::Terminals>(terminals));
            meter.respond(frequencyRequest(hz));
            for (const QByteArray &frame : frames)
                QCOMPARE(meter.respond(Measure).toHex(), frame.toHex());
        }
    }

    // Over the line: a bias setting shows in the frames, and in the part, only once it settled.
    void biasSettlesOnTheLine() {
        const auto options =
            Sim::parseOptions({"--dut", "C=100n,V0=12", "--bias-settle", "600000"});
        QVERIFY(options);
        Sim::Simulator sim(*options);
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        Port port(sim.portPath());
        QVERIFY(port.isOpen());

        QCOMPARE(port.exchange(QByteArray::fromHex("aa4604b0"), 2), QByteArray::fromHex("aa46"));
        Frame f = decode(port.exchange(Measure, 20)); // ten minutes from the 12 V
        QCOMPARE(f.bias, quint16(0));
        QVERIFY(near(f.magnitude, 1591.5494));
        QCOMPARE(port.exchange(QByteArray::fromHex("aa460258"), 2), QByteArray::fromHex("aa46"));
        QCOMPARE(decode(port.exchange(Measure, 20)).bias, quint16(0));
        const Sim::InstrumentState s = sim.instrument().state();
        QCOMPARE(s.biasMillivolts, 6000);
        QCOMPARE(s.appliedBiasMillivolts, 0);

        // A quick source now: the 6 V arrive soon after their setting, the 12 V never.
        sim.instrument().setBiasSettle(50ms);
        QTRY_COMPARE_WITH_TIMEOUT(decode(port.exchange(Measure, 20)).bias, quint16(0x258), 10000);
        f = decode(port.exchange(Measure, 20));
        QVERIFY(near(f.magnitude, 1591.5494 * 1.25)); // C / (1 + (6/12)^2)
        QCOMPARE(sim.instrument().state().appliedBiasMillivolts, 6000);
    }

    void terminalsWords() {
        const struct {
            const char *text;
            Sim::Terminals terminals;
        } good[] = {{"part", Sim::Terminals::Part},
                    {" Open\n", Sim::Terminals::Open},
                    {"SHORT", Sim::Terminals::Short},
                    {"load\r\n", Sim::Terminals::Load}};
        for (const auto &g : good) {
            const auto terminals = Sim::parseTerminals(QString::fromLatin1(g.text));
            QVERIFY2(terminals && *terminals == g.terminals, g.text);
            QCOMPARE(Sim::parseTerminals(Sim::terminalsName(g.terminals)), g.terminals);
        }
        for (const char *bad : {"", "opened", "open short", "o", "0"})
            QVERIFY2(!Sim::parseTerminals(QString::fromLatin1(bad)), bad);
    }

    void framingAndRequestLog() {
        Sim::Instrument meter;
        auto [host, port] = Served(meter);

        // Line noise ahead of a frame is skipped; payload bytes equal to the mark are payload.
        const QByteArray aaPayload = frequencyRequest(0x0000AAAA);
        QCOMPARE(port.exchange(QByteArray::fromHex("001355") + aaPayload, 2),
                 QByteArray::fromHex("aa43"));
        QCOMPARE(meter.state().frequencyHz, 0xAAAA);

        // A frame written in pieces is one request.
        const QByteArray level = QByteArray::fromHex("aa4403e8");
        port.write(level.left(1));
        port.write(level.mid(1, 2));
        port.write(level.mid(3));
        QCOMPARE(port.read(2), QByteArray::fromHex("aa44"));

        QCOMPARE(port.exchange(Identity, 7).size(), 7);
        QVERIFY(host.waitForRequests(3, 2000));
        QCOMPARE(host.takeRequests(), (QList<QByteArray>{aaPayload, level, Identity}));
        QCOMPARE(host.requestCount(), 0);
    }

    void stalePartialRequestIsDropped() {
        Sim::Instrument meter;
        auto [host, port] = Served(meter);

        // The start of a frequency request whose rest never comes, behind a whole request in
        // the same write: once that one is answered, the meter holds the stale bytes, so the
        // silence below counts from a moment the test knows, however late the meter's thread ran.
        QCOMPARE(port.exchange(Identity + QByteArray::fromHex("aa4300"), 7).mid(2, 4),
                 QByteArray("KT44"));
        QTest::qWait(400); // the stimulus: silence far beyond the meter's patience, not a wait
        QCOMPARE(port.exchange(Identity, 7).mid(2, 4), QByteArray("KT44"));
        QCOMPARE(host.takeRequests(), (QList<QByteArray>{Identity, Identity}));
    }

    void scriptedResponder() {
        QList<QByteArray> seen;
        std::mutex seenMutex;
        auto [host, port] = Served([&](const QByteArray &request) {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen << request;
            return quint8(request[1]) == 0x40 ? QByteArray() : QByteArray::fromHex("aa0102");
        });

        port.write(Identity); // the script stays silent on this one
        QCOMPARE(port.exchange(QByteArray::fromHex("aa4207"), 3), QByteArray::fromHex("aa0102"));
        QVERIFY(host.waitForRequests(2, 2000));
        QCOMPARE(host.takeRequests(), (QList<QByteArray>{Identity, QByteArray::fromHex("aa4207")}));
        std::lock_guard<std::mutex> lock(seenMutex);
        QCOMPARE(seen.size(), 2);
    }

    void pacedReplyArrivesWhole() {
        Sim::Instrument meter(Sim::DefaultModelRow, dut(QStringLiteral("C=100n")));
        auto [host, port] = Served(meter, Sim::HostOptions{1, true, 1});
        QCOMPARE(port.exchange(Measure, 20),
                 Sim::Instrument(2, meter.component()).respond(Measure));
    }

    void faultsOnAnyReply() {
        Sim::Instrument meter;
        auto [host, port] = Served(meter);
        const QByteArray identity = port.exchange(Identity, 7);

        host.setFault(Sim::Fault::ShortFrame, 1, 5);
        QCOMPARE(port.exchange(Identity, 5), identity.left(5));
        // Had the short frame been longer, its tail would come ahead of this reply.
        QCOMPARE(port.exchange(Identity, 7), identity);

        host.setFault(Sim::Fault::WrongMark, 2); // spoils two replies, then none
        QByteArray reply = port.exchange(Identity, 7);
        QCOMPARE(reply.size(), 7);
        QVERIFY(quint8(reply[0]) != Sim::FrameMark);
        QCOMPARE(reply.mid(1), identity.mid(1));
        QVERIFY(quint8(port.exchange(Identity, 7)[0]) != Sim::FrameMark);
        QCOMPARE(port.exchange(Identity, 7), identity);

        host.setFault(Sim::Fault::Garbage, 1);
        reply = port.exchange(Measure, 20);
        QCOMPARE(reply.size(), 20);
        QVERIFY(quint8(reply[0]) != Sim::FrameMark);

        host.setFault(Sim::Fault::Silence, 1);
        port.write(Identity);
        QCOMPARE(port.exchange(QByteArray::fromHex("aa22"), 2), QByteArray::fromHex("aa22"));
        QCOMPARE(host.takeRequests().size(), 9);

        host.setFault(Sim::Fault::WrongMark); // persistent until cleared
        for (int i = 0; i < 3; ++i)
            QVERIFY(quint8(port.exchange(Identity, 7)[0]) != Sim::FrameMark);
        host.clearFault();
        QCOMPARE(port.exchange(Identity, 7), identity);
    }

    void faultsOnMeasurementFrames() {
        Sim::Instrument meter(Sim::DefaultModelRow, dut(QStringLiteral("R=1k")));
        auto [host, port] = Served(meter);
        const QByteArray clean = port.exchange(Measure, 20);

        host.setFault(Sim::Fault::StatusBitClear, 1);
        // Other replies pass untouched and leave the fault armed for the next frame.
        QCOMPARE(port.exchange(Identity, 7).mid(2, 4), QByteArray("KT44"));
        QByteArray frame = port.exchange(Measure, 20);
        QCOMPARE(decode(frame).status, quint8(0x01));
        QCOMPARE(frame.mid(3), clean.mid(3));

        host.setFault(Sim::Fault::ZeroFrequency, 1);
        frame = port.exchange(Measure, 20);
        QCOMPARE(decode(frame).frequency, 0);
        QCOMPARE(frame.mid(12), clean.mid(12));

        host.setFault(Sim::Fault::NanValue, 1);
        Frame f = decode(port.exchange(Measure, 20));
        QVERIFY(std::isnan(f.magnitude) && std::isnan(f.theta));

        host.setFault(Sim::Fault::InfValue, 1);
        f = decode(port.exchange(Measure, 20));
        QVERIFY(std::isinf(f.magnitude) && f.magnitude > 0);
        QCOMPARE(f.frequency, 1000);

        QCOMPARE(port.exchange(Measure, 20), clean);
    }

    void hangUpRemovesPort() {
        Sim::Instrument meter;
        {
            Sim::PtyHost host(meter);
            QVERIFY(host.start());
            const QString path = host.slavePath();
            Port port(path);
            QCOMPARE(port.exchange(Identity, 7).size(), 7);

            host.setFault(Sim::Fault::HangUp, 1);
            QVERIFY(port.exchange(Identity, 7).isEmpty()); // end of file instead of a reply
            QVERIFY(!Port(path).isOpen());
            QVERIFY(!QFile::exists(path));
            QCOMPARE(host.takeRequests().size(), 2);
        }
        Sim::PtyHost host(meter);
        QVERIFY(host.start());
        const QString path = host.slavePath();
        QVERIFY(Port(path).isOpen());
        host.hangUp();
        QVERIFY(!host.isServing());
        QVERIFY(!Port(path).isOpen());
        // The host keeps the number until stopped: a program may still hold the old terminal.
        Sim::PtyHost next(meter);
        QVERIFY(next.start());
        QVERIFY(next.slavePath() != path);
    }

    void optionsParse() {
        auto options = Sim::parseOptions({});
        QVERIFY(options);
        QCOMPARE(options->modelRow, Sim::findModel(QStringLiteral("KT-44")));
        QVERIFY(near(*options->dut.capacitance, 100e-9) && near(*options->dut.resistance, 0.5));
        QVERIFY(!options->dut.parallel && !options->paced && !options->help);
        QCOMPARE(options->thinkMs, 3);
        QCOMPARE(options->biasSettleMs, 0);

        options =
            Sim::parseOptions({"--model=KT-41", "--dut", "L=10m", "--parallel", "--noise", "0.01",
                               "--think=7", "--paced", "--seed", "9", "--bias-settle=250"});
        QVERIFY(options);
        QCOMPARE(options->modelRow, 0);
        QVERIFY(near(*options->dut.inductance, 10e-3));
        QVERIFY(!options->dut.capacitance && !options->dut.resistance);
        QVERIFY(options->dut.parallel);
        QVERIFY(near(options->noise, 0.01));
        QCOMPARE(options->thinkMs, 7);
        QCOMPARE(options->biasSettleMs, 250);
        QVERIFY(options->paced);
        QCOMPARE(options->seed, 9u);

        options = Sim::parseOptions({"--circuit", "resonator", "--dut", "R=200,L=10m,C=1n,C0=2n"});
        QVERIFY(options);
        QCOMPARE(options->dut.network, Sim::Network::Resonator);
        QVERIFY(near(*options->dut.shuntCapacitance, 2e-9));
        options = Sim::parseOptions({"--circuit=inductor"});
        QVERIFY(options && options->dut.network == Sim::Network::Inductor);
        options = Sim::parseOptions({"--circuit=parallel"});
        QVERIFY(options && options->dut.parallel && options->dut.network == Sim::Network::Plain);

        // Millivolts of bias in the model's steps: 100 mV on the KT-41.
        options = Sim::parseOptions({"--frame", "bias=1500mV,frequency=0x10@3", "--model=KT-41",
                                     "--link", "/tmp/m", "--vanish-every", "5", "--away=0",
                                     "--return-model", "KT-45"});
        QVERIFY(options);
        QCOMPARE(options->frame.fields.biasUnits.value_or(0), quint16(15));
        QCOMPARE(options->frame.fields.frequency.value_or(0), 16u);
        QVERIFY(!options->frame.fields.magnitude && !options->frame.fields.phase);
        QCOMPARE(options->frame.replies, 3);
        QCOMPARE(options->linkPath, QString("/tmp/m"));
        QCOMPARE(options->vanish.after, 0);
        QCOMPARE(options->vanish.every, 5);
        QCOMPARE(options->vanish.awayMs, 0);
        QCOMPARE(options->vanish.how, Sim::Return::OtherModel);
        QCOMPARE(options->vanish.returnModelRow, 3);
        options = Sim::parseOptions({"--vanish-after", "1", "--return", "second"});
        QVERIFY(options && options->vanish.how == Sim::Return::SecondInstance);
        QCOMPARE(options->vanish.awayMs, 1500);
        QCOMPARE(options->frame.replies, Sim::PtyHost::Persistent);
        QVERIFY(options->frame.fields.isEmpty() && options->linkPath.isEmpty());

        QVERIFY(options->fixture.isNone() && options->controlPath.isEmpty());
        QCOMPARE(options->terminals, Sim::Terminals::Part);

        options = Sim::parseOptions({"--fixture", "g=1n, R=0.5,C=5p", "--load=L=1m,R=3",
                                     "--terminals", "load", "--control", "/tmp/c"});
        QVERIFY(options);
        QVERIFY(near(options->fixture.resistance, 0.5) && options->fixture.inductance == 0.0);
        QVERIFY(near(options->fixture.capacitance, 5e-12, 1e-12));
        QVERIFY(near(options->fixture.conductance, 1e-9, 1e-12));
        QVERIFY(near(*options->load.inductance, 1e-3) && near(*options->load.resistance, 3));
        QCOMPARE(options->terminals, Sim::Terminals::Load);
        QCOMPARE(options->controlPath, QString("/tmp/c"));

        options = Sim::parseOptions({"--model", "KT45", "--help"});
        QVERIFY(options && options->help);
        QCOMPARE(options->modelRow, 3);
    }

    void optionErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("unknown option") << QStringList{"--port", "x"} << "--port";
        QTest::newRow("missing value") << QStringList{"--model"} << "--model";
        QTest::newRow("unknown model") << QStringList{"--model", "KT-42"} << "KT-42";
        QTest::newRow("lower-case model") << QStringList{"--model=kt-44"} << "kt-44";
        QTest::newRow("bad dut") << QStringList{"--dut", "Q=1"} << "Q=1";
        QTest::newRow("negative noise") << QStringList{"--noise=-0.1"} << "-0.1";
        QTest::newRow("noise not a number") << QStringList{"--noise", "lots"} << "lots";
        QTest::newRow("negative think") << QStringList{"--think", "-1"} << "-1";
        QTest::newRow("fractional think") << QStringList{"--think", "2.5"} << "2.5";
        QTest::newRow("negative bias settle") << QStringList{"--bias-settle", "-1"} << "-1";
        QTest::newRow("bias settle too long") << QStringList{"--bias-settle", "600001"} << "600001";
        QTest::newRow("bad V0") << QStringList{"--dut", "C=1n,V0=0"} << "V0=0";
        QTest::newRow("flag with value") << QStringList{"--paced=yes"} << "--paced";
        QTest::newRow("positional") << QStringList{"KT-44"} << "KT-44";
        QTest::newRow("unknown circuit") << QStringList{"--circuit", "crystal"} << "crystal";
        QTest::newRow("parallel coil")
            << QStringList{"--parallel", "--circuit", "inductor"} << "--parallel";
        QTest::newRow("C0 without resonator") << QStringList{"--dut", "C=1n,C0=2n"} << "C0";
        QTest::newRow("frame field unknown") << QStringList{"--frame", "range=3"} << "range";
        QTest::newRow("frame count zero") << QStringList{"--frame", "bias=1@0"} << "@";
        QTest::newRow("frame bias off step")
            << QStringList{"--model", "KT-41", "--frame", "bias=150mV"} << "100 mV";
        QTest::newRow("empty link") << QStringList{"--link="} << "--link";
        QTest::newRow("vanish after none") << QStringList{"--vanish-after", "0"} << "'0'";
        QTest::newRow("away too long")
            << QStringList{"--vanish-after", "1", "--away", "600001"} << "600001";
        QTest::newRow("away alone") << QStringList{"--away", "10"} << "--vanish-after";
        QTest::newRow("return alone") << QStringList{"--return-model", "KT-41"} << "--return-model";
        QTest::newRow("unknown return")
            << QStringList{"--vanish-after", "1", "--return", "later"} << "later";
        QTest::newRow("unknown return model")
            << QStringList{"--vanish-after", "1", "--return-model", "KT-40"} << "KT-40";
        QTest::newRow("two ways back")
            << QStringList{"--vanish-after", "1", "--return", "second", "--return-model", "KT-41"}
            << "--return";
        QTest::newRow("fixture element unknown") << QStringList{"--fixture", "X=1"} << "X=1";
        QTest::newRow("fixture element twice") << QStringList{"--fixture", "R=1,r=2"} << "twice";
        QTest::newRow("fixture negative") << QStringList{"--fixture", "C=-5p"} << "C=-5p";
        QTest::newRow("fixture item without value") << QStringList{"--fixture", "R"} << "'R'";
        QTest::newRow("unknown terminals") << QStringList{"--terminals", "half"} << "half";
        QTest::newRow("load terminals without load")
            << QStringList{"--terminals", "load"} << "--load";
        QTest::newRow("bad load") << QStringList{"--load", "Q=1"} << "--load";
        QTest::newRow("load with C0") << QStringList{"--load", "C=1n,C0=2n"} << "C0";
        QTest::newRow("load with V0") << QStringList{"--load", "C=1n,V0=5"} << "V0";
        QTest::newRow("empty control") << QStringList{"--control="} << "--control";
    }

    void optionErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);
        QString error;
        QVERIFY(!Sim::parseOptions(arguments, &error));
        QVERIFY2(error.contains(mentions), qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }

    void executable() {
        QProcess bad;
        bad.start(QStringLiteral(IMPEDIX_SIM_PATH), {"--model", "nope"});
        QVERIFY(bad.waitForFinished(10000));
        QCOMPARE(bad.exitCode(), 2);
        QCOMPARE(bad.readAllStandardError().count('\n'), 1);

        QProcess sim;
        sim.start(QStringLiteral(IMPEDIX_SIM_PATH), {"--model", "KT-46", "--dut", "R=50"});
        QVERIFY(sim.waitForReadyRead(10000));
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
        // Held open to the end: while any descriptor is open, the system gives the terminal's
        // number to no other terminal, so the path below cannot be a new one.
        Port port(path);
        QVERIFY2(port.isOpen(), qPrintable(path));
        QCOMPARE(port.exchange(Identity, 7).mid(2, 4), QByteArray("KT46"));
        QVERIFY(near(decode(port.exchange(Measure, 20)).magnitude, 50));
        sim.terminate(); // SIGTERM
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(port.read(1).isEmpty()); // hung up
        QVERIFY(!QFile::exists(path));
    }
    // The control file changes what sits in the fixture at the next measurement request, and
    // only when its word changes; a word that names nothing, a missing file or a pipe at the
    // path leave the terminals as they are.
    void controlFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("terminals"));
        control(path, "short\n");
        const auto options = Sim::parseOptions(
            {"--fixture", Bench, "--load", "R=100", "--control", path, "--model", "KT-41"});
        QVERIFY(options);
        Sim::Simulator sim(*options);
        QStringList told;
        std::mutex toldMutex;
        sim.setAnnouncer([&](const QString &line) {
            std::lock_guard<std::mutex> lock(toldMutex);
            told << line;
        });
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        QCOMPARE(sim.instrument().terminals(), Sim::Terminals::Short); // read before serving
        Port port(sim.portPath());
        QVERIFY(port.isOpen());

        // The frame each word must bring, from a meter told by its own API.
        Sim::Instrument reference(0, options->dut);
        reference.setFixture(options->fixture);
        reference.setLoad(options->load);
        auto frameOf = [&reference](Sim::Terminals terminals) {
            reference.setTerminals(terminals);
            return reference.respond(Measure).toHex();
        };
        QVERIFY(frameOf(Sim::Terminals::Open) != frameOf(Sim::Terminals::Part));

        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Short));
        control(path, "open");
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Open));
        control(path, " LOAD \n");
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Load));
        control(path, "bogus");
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Load));
        control(path, "part");
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Part));

        // Told by the API, the meter keeps it while the file says what it said.
        sim.instrument().setTerminals(Sim::Terminals::Short);
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Short));
        QVERIFY(QFile::remove(path));
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Short));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Short));
        QVERIFY(QFile::remove(path));
        control(path, QByteArray(Sim::ControlFile::MostBytes - 4, ' ') + "open" + "    ");
        QCOMPARE(port.exchange(Measure, 20).toHex(), frameOf(Sim::Terminals::Short));

        {
            std::lock_guard<std::mutex> lock(toldMutex);
            QCOMPARE(told.size(), 6);
            QVERIFY2(told[0].contains(QLatin1String("short")), qPrintable(told[0]));
            QVERIFY2(told[3].contains(QLatin1String("'bogus'")), qPrintable(told[3]));
            QVERIFY2(told[5].contains(QLatin1String("'open...'")), qPrintable(told[5]));
        }

        // A meter that comes back sits in the same fixture with the same thing in it.
        sim.vanish();
        QVERIFY(sim.comeBack(Sim::Return::OtherModel, Sim::DefaultModelRow));
        QCOMPARE(sim.instrument().model().name, "KT-44");
        QCOMPARE(sim.instrument().terminals(), Sim::Terminals::Short);
        QVERIFY(near(sim.instrument().fixture().capacitance, 5e-12, 1e-12));
        QVERIFY(near(*sim.instrument().load().resistance, 100));
    }

    // impedix-sim starts with the terminals asked for and follows its control file.
    void executableFollowsControlFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("terminals"));
        QProcess sim;
        sim.start(QStringLiteral(IMPEDIX_SIM_PATH),
                  {"--dut", "R=1k", "--fixture", Bench, "--terminals", "open", "--control", path});
        QVERIFY(sim.waitForReadyRead(10000));
        Port port(QString::fromLocal8Bit(sim.readLine()).trimmed());
        QVERIFY(port.isOpen());
        // Open at 1 kHz: the 5 pF and 1 nS of stray, some 32 MOhm, far above the part.
        QVERIFY(decode(port.exchange(Measure, 20)).magnitude > 1e7f);
        control(path, "short");
        QVERIFY(near(decode(port.exchange(Measure, 20)).magnitude, 0.5, 1e-3));
        control(path, "part");
        QVERIFY(near(decode(port.exchange(Measure, 20)).magnitude, 1000.5, 1e-5));
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        const QString told = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(told.contains(QLatin1String("short")) && told.contains(QLatin1String("part")),
                 qPrintable(told));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
