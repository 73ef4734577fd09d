// Readings through the command table against a fake meter: held-back answers for fresh,
// averaged and triggered readings, their status and the silence rule.
#include "fake_instrument.h"

#include "link/decoding.h"
#include "remote/client.h"
#include "remote/function_types.h"

#include "tests/remote/client_exchange.h"

#include <QtTest>

#include <cmath>
#include <memory>

using namespace Remote;

namespace {

using RemoteTest::Drain;
using RemoteTest::Errors;
using RemoteTest::Near;
using RemoteTest::Numbers;
using RemoteTest::Send;

} // namespace

class TestScpiReadings : public QObject {
    Q_OBJECT
private slots:
    void fetchWaitsForReadingAfterChange();
    void fetchAfterSilence();
    void fetchStatus();
    void averagingIsComplex();
    void busTrigger();
};

void TestScpiReadings::fetchWaitsForReadingAfterChange() {
    Fake::Instrument meter;
    meter.deliver();
    Client session(meter);
    // A reading is there and nothing changed since: answered at once.
    QVERIFY(Send(session, "FETC?").endsWith(",+0\n"));
    // After a change the answer and the commands behind it wait for the next reading.
    QCOMPARE(Send(session, "FUNC:IMP RX;FREQ 2000;FETC?;*TST?"), QByteArray());
    QVERIFY(session.holding());
    session.poll();
    QCOMPARE(Drain(session), QByteArray());
    meter.deliver();
    session.poll();
    const QByteArray answer = Drain(session);
    QVERIFY(!session.holding());
    QList<QByteArray> lines = answer.split('\n');
    QCOMPARE(lines.size(), 2); // one line: the reading;0
    QVERIFY(lines[0].endsWith(";0"));
    lines[0].chop(2);
    const QList<double> v = Numbers(lines[0]);
    QVERIFY(Near(v[0], 50.0));
    QVERIFY2(Near(v[1], meter.part.reactance(2000)), lines[0].constData());
    QCOMPARE(v[2], 0.0);
    // Commands that arrive while one is held wait behind it too.
    Send(session, "FREQ 3000;FETC?");
    QCOMPARE(Send(session, "*TST?"), QByteArray());
    meter.deliver();
    session.poll();
    QVERIFY(Drain(session).endsWith(",+0\n0\n"));
}

void TestScpiReadings::fetchAfterSilence() {
    Fake::Instrument meter;
    meter.deliver();
    Client session(meter);
    QCOMPARE(Send(session, "FREQ 2000;FETC?"), QByteArray());
    meter.clock += Client::SilenceMs - 1;
    session.poll();
    QCOMPARE(Drain(session), QByteArray());
    meter.clock += 1;
    session.poll();
    QCOMPARE(Drain(session), QByteArray("+9.90000E+37,+9.90000E+37,-1\n"));
    QCOMPARE(Errors(session), QList<int>{DataStale});
    // A reading older than the silence is not the newest reading.
    meter.deliver();
    meter.clock += Client::SilenceMs;
    QCOMPARE(Send(session, "FETC?"), QByteArray());
}

void TestScpiReadings::fetchStatus() {
    Fake::Instrument meter;
    Client session(meter);
    meter.overload = true;
    meter.deliver();
    QCOMPARE(Send(session, "FETC?"), QByteArray("+9.90000E+37,+9.90000E+37,+1\n"));
    meter.overload = false;
    meter.part.resistance = 0.0;
    meter.part.capacitance = INFINITY; // |Z| 0: Cp and D are undefined, SCPI's not-a-number
    meter.deliver();
    QCOMPARE(Send(session, "FETC?"), QByteArray("+9.91000E+37,+9.91000E+37,+0\n"));
    QCOMPARE(Errors(session), QList<int>{});
}

void TestScpiReadings::averagingIsComplex() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "FUNC:IMP RX;APER MED,4;FETC?"), QByteArray());
    const double resistances[] = {20.0, 80.0, 40.0, 60.0};
    for (double r : resistances) {
        QVERIFY(session.holding());
        meter.part.resistance = r;
        meter.deliver();
        session.poll();
    }
    const QList<double> v = Numbers(Drain(session));
    QVERIFY(Near(v[0], 50.0));
    QVERIFY(Near(v[1], meter.part.reactance(1000)));
    // The newest four after the change: 80, 40, 60 and 100.
    meter.part.resistance = 100.0;
    meter.deliver();
    QVERIFY(Near(Numbers(Send(session, "FETC?"))[0], 70.0));
}

void TestScpiReadings::busTrigger() {
    Fake::Instrument meter;
    meter.deliver();
    Client session(meter);
    QCOMPARE(Send(session, "TRIG:SOUR BUS;FETC?"), QByteArray("+9.90000E+37,+9.90000E+37,-1\n"));
    QCOMPARE(Errors(session), QList<int>{DataStale});
    QCOMPARE(Send(session, "FUNC:IMP RX;*TRG;*OPC?;FETC?"), QByteArray());
    meter.part.resistance = 70.0;
    meter.deliver();
    session.poll();
    const QByteArray answer = Drain(session);
    QVERIFY2(answer.startsWith("1;+7.00000E+01,"), answer.constData());
    // The reading of that trigger stays until the next one, whatever the meter reads since.
    meter.part.resistance = 10.0;
    meter.deliver();
    QVERIFY(Send(session, "FETC?").startsWith("+7.00000E+01,"));
    // *OPC sets its bit once the trigger's reading is in.
    Send(session, "*CLS;TRIG;*OPC");
    QCOMPARE(Send(session, "*ESR?"), QByteArray("0\n"));
    meter.deliver();
    session.poll();
    QCOMPARE(Send(session, "*ESR?"), QByteArray("1\n"));
    QVERIFY(Send(session, "FETC?").startsWith("+1.00000E+01,"));
    // INIT under BUS only arms: no reading is asked for.
    Send(session, "INIT");
    QVERIFY(Send(session, "FETC?").startsWith("+1.00000E+01,"));
}

QTEST_GUILESS_MAIN(TestScpiReadings)
#include "test_scpi_readings.moc"
