// Fixture compensation through SCPI on the measuring core, against a simulated meter behind a
// fixture of 0.5 Ω + 50 nH leads and 5 pF ∥ 1 nS stray: a client measures it open and shorted
// (over the grid of a narrow frequency window, or at its spot frequency), switches the
// corrections on and reads the 10 pF part's own R and X; what the core refuses reaches the client
// as the error codes of its queue.
#include "bridge/session_instrument.h"
#include "remote/client.h"
#include "sim/fixture.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_store.h"
#include "tests/core/session_fixture.h"

#include <QStandardPaths>
#include <QtTest>

#include <cmath>

using namespace TestCore;

namespace {

constexpr int Generous = 60000; // ms; a deadline for what must happen, never a measured time
constexpr double Pi = 3.14159265358979323846;
constexpr double PartFarads = 10e-12;

Sim::Component Part() {
    Sim::Component part;
    part.capacitance = PartFarads;
    return part;
}

// A simulated meter behind the fixture on COM1, a session that ticks only by hand, and a client
// of the SCPI meter on that session.
struct Bench : CleanState {
    Bench() : meter(2, Part()), host(meter, TestPeer::Timing()) {
        meter.setFixture(Sim::Fixture{0.5, 50e-9, 5e-12, 1e-9});
        if (!host.start()) qFatal("no pseudo-terminal");
        Device::MapPort(1, host.slavePath());
        session.SetMessageSink(&sink);
        session.SetFixtureName(QStringLiteral("scpi-test"));
    }
    ~Bench() { ResetProgramState(); }
    bool found() {
        if (!SearchUntilFound(session).found) return false;
        session.tmr.stop();
        return true;
    }
    // Sends a line and ticks the session until its answers are complete.
    QByteArray exchange(const QByteArray &line) {
        client.feed(line + "\n");
        const QDeadlineTimer deadline(Generous);
        QByteArray output;
        for (;;) {
            while (client.pump()) {
            }
            output += client.takeOutput();
            if (!client.holding() || deadline.hasExpired()) break;
            session.Tick();
            session.tmr.stop();
            client.poll();
        }
        return output;
    }
    QList<double> numbers(const QByteArray &line) {
        QList<double> values;
        for (const QByteArray &field : exchange(line).trimmed().split(','))
            values << field.toDouble();
        return values;
    }
    Sim::Instrument meter;
    Sim::PtyHost host;
    Core::Session session;
    RecordingSink sink{&session};
    Bridge::SessionInstrument remote{session};
    Remote::Client client{remote};
};

// R within 0.5 % of |X|, and X that of the part within 0.5 %.
bool IsThePart(const QList<double> &rx, double hz) {
    const double x = -1.0 / (2 * Pi * hz * PartFarads);
    return rx.size() == 2 && std::fabs(rx[0]) < 0.005 * std::fabs(x) &&
           std::fabs(rx[1] / x - 1.0) < 0.005;
}

QByteArray Shown(const QList<double> &rx) {
    QByteArray text;
    for (double v : rx)
        text += QByteArray::number(v, 'g', 8) + ' ';
    return text;
}

} // namespace

class TestCorrectionRuns : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Over the grid of the frequencies the program accepts (narrowed to 10…20 kHz for speed):
    // open, then shorted, each *OPC? held until its run ends; the part between the grid's points.
    void gridOpenAndShort() {
        Bench b;
        QVERIFY(b.found());
        b.session.SetSweepBounds(10000, 20000);
        QCOMPARE(b.exchange("FREQ 15000;:SYST:ERR?"), QByteArray("0,\"No error\"\n"));
        b.meter.setTerminals(Sim::Terminals::Open);
        // The fixture's frames are no client's reading.
        const std::uint64_t before = b.remote.latestReading().sequence;
        QCOMPARE(b.exchange("CORR:OPEN"), QByteArray());
        const QDeadlineTimer deadline(Generous);
        while (b.session.CompensationRunning() && !deadline.hasExpired()) {
            b.session.Tick();
            b.session.tmr.stop();
        }
        QVERIFY(!b.session.CompensationRunning());
        QCOMPARE(b.remote.latestReading().sequence, before);
        b.meter.setTerminals(Sim::Terminals::Short);
        QCOMPARE(b.exchange("CORR:SHOR;*OPC?;:SYST:ERR?"), QByteArray("1;0,\"No error\"\n"));
        QVERIFY(!b.session.CompensationRunning());
        QCOMPARE(b.session.Compensation().open.hz.front(), 10000.0);
        QCOMPARE(b.session.Compensation().open.hz.back(), 20000.0);
        QCOMPARE(b.session.Compensation().shorted.hz, b.session.Compensation().open.hz);
        QCOMPARE(Main::CurrentFrequency, 15000); // the client's frequency is back

        b.meter.setTerminals(Sim::Terminals::Part);
        // Uncorrected, the stray adds half the part.
        const QList<double> raw = b.numbers("FREQ 15000;:FETC:IMP:CORR?");
        QVERIFY2(!IsThePart(raw, 15000), Shown(raw).constData());
        QCOMPARE(b.exchange("CORR:OPEN:STAT ON;:CORR:SHOR:STAT ON;STAT?;:CORR:OPEN:STAT?"),
                 QByteArray("1;1\n"));
        QCOMPARE(b.session.Compensation().enabled,
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
        const QList<double> rx = b.numbers("FETC:IMP:CORR?");
        QVERIFY2(IsThePart(rx, 15000), Shown(rx).constData());
        QCOMPARE(b.exchange("SYST:ERR?"), QByteArray("0,\"No error\"\n"));
    }

    // At the spot frequency only: corrected there, as measured elsewhere.
    void spotOpenAndShort() {
        Bench b;
        QVERIFY(b.found());
        QCOMPARE(b.exchange("FREQ 2000;:CORR:SPOT1:FREQ 50000;:SYST:ERR?"),
                 QByteArray("0,\"No error\"\n"));
        b.meter.setTerminals(Sim::Terminals::Open);
        QCOMPARE(b.exchange("CORR:SPOT1:OPEN;*OPC?"), QByteArray("1\n"));
        b.meter.setTerminals(Sim::Terminals::Short);
        QCOMPARE(b.exchange("CORR:SPOT1:SHOR;*OPC?"), QByteArray("1\n"));
        QCOMPARE(b.session.Compensation().shorted.hz, std::vector<double>{50000.0});
        QCOMPARE(Main::CurrentFrequency, 2000);
        b.meter.setTerminals(Sim::Terminals::Part);
        b.exchange("CORR:OPEN:STAT ON;:CORR:SHOR:STAT ON;:FREQ 50000");
        const QList<double> rx = b.numbers("FETC:IMP:CORR?");
        QVERIFY2(IsThePart(rx, 50000), Shown(rx).constData());
        b.exchange("FREQ 40000");
        const QList<double> outside = b.numbers("FETC:IMP:CORR?");
        QVERIFY2(!IsThePart(outside, 40000), Shown(outside).constData());
        QCOMPARE(b.session.LastCorrection(), Main::CorrectionOutside);
    }

    // Open, short and a 100 Ω standard at the spot frequency; the load goes on only with a
    // standard, and with it the part is read through all three.
    void spotLoad() {
        Bench b;
        QVERIFY(b.found());
        Sim::Component standard;
        standard.resistance = 100.0;
        b.meter.setLoad(standard);
        b.exchange("CORR:SPOT1:FREQ 50000;:FREQ 50000");
        b.meter.setTerminals(Sim::Terminals::Open);
        QCOMPARE(b.exchange("CORR:SPOT1:OPEN;*OPC?"), QByteArray("1\n"));
        b.meter.setTerminals(Sim::Terminals::Short);
        QCOMPARE(b.exchange("CORR:SPOT1:SHOR;*OPC?"), QByteArray("1\n"));
        b.meter.setTerminals(Sim::Terminals::Load);
        QCOMPARE(b.exchange("CORR:SPOT1:LOAD;*OPC?;:CORR:LOAD:STAT ON;STAT?;:SYST:ERR?"),
                 QByteArray("1;0;-221,\"Settings conflict\"\n"));
        QCOMPARE(b.exchange("CORR:LOAD:TYPE RX;:CORR:SPOT1:LOAD:STAN 100,0;STAN?;"
                            ":CORR:OPEN:STAT ON;:CORR:SHOR:STAT ON;:CORR:LOAD:STAT ON;STAT?"),
                 QByteArray("+1.00000E+02,+0.00000E+00;1\n"));
        QCOMPARE(b.session.Compensation().enabled,
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection | Comp::LoadCorrection));
        b.meter.setTerminals(Sim::Terminals::Part);
        const QList<double> rx = b.numbers("FREQ 50000;:FETC:IMP:CORR?");
        QVERIFY2(IsThePart(rx, 50000), Shown(rx).constData());
        QCOMPARE(b.session.LastCorrection(),
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection | Comp::LoadCorrection));
    }

    // No meter, no data, a run of the window's going, a run ended before its last frequency.
    void refusals() {
        Bench b;
        QCOMPARE(b.exchange("CORR:OPEN;:SYST:ERR?"), QByteArray("-240,\"Hardware error\"\n"));
        QVERIFY(b.found());
        QCOMPARE(b.exchange("CORR:OPEN:STAT ON;STAT?;:SYST:ERR?"),
                 QByteArray("0;-221,\"Settings conflict\"\n"));
        QCOMPARE(b.session.Compensation().enabled, 0u);
        QVERIFY(b.session.StartCompensationRun(Comp::OpenCorrection, {1000, 2000}));
        b.session.tmr.stop();
        QCOMPARE(b.exchange("CORR:SPOT1:SHOR;:SYST:ERR?"), QByteArray("-213,\"Init ignored\"\n"));
        b.session.StopCompensationRun();
        // The client's run, stopped by the window before its end.
        b.exchange("CORR:OPEN");
        QVERIFY(b.session.CompensationRunning());
        b.session.StopCompensationRun();
        QCOMPARE(b.exchange("*OPC?;:SYST:ERR?"),
                 QByteArray("1;302,\"Compensation run incomplete; its data are partial\"\n"));
        // A load standard the core refuses.
        QCOMPARE(b.exchange("CORR:SPOT1:LOAD:STAN 0,0;:SYST:ERR?"),
                 QByteArray("-222,\"Data out of range\"\n"));
    }
};

QTEST_MAIN(TestCorrectionRuns)
#include "test_correction_runs.moc"
