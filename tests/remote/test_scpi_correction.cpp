// Fixture compensation through the command table against a fake meter: the switches, the
// runs and the corrected reading.
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

class TestScpiCorrection : public QObject {
    Q_OBJECT
private slots:
    void correctionSettings_data();
    void correctionSettings();
    void correctionRuns();
    void correctedReading();
};

void TestScpiCorrection::correctionSettings_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    QTest::newRow("options") << QByteArray("*OPT?") << QByteArray("0\n") << none;
    QTest::newRow("nothing on at first")
        << QByteArray("CORR:OPEN:STAT?;:CORR:SHOR:STAT?;:SENS:CORR:LOAD:STAT?")
        << QByteArray("0;0;0\n") << none;
    QTest::newRow("on without data")
        << QByteArray("CORR:OPEN:STAT ON;STAT?;:CORR:SHOR:STAT 1;:CORR:LOAD:STAT ON")
        << QByteArray("0\n") << QList<int>{SettingsConflict, SettingsConflict, SettingsConflict};
    QTest::newRow("off without data")
        << QByteArray("CORR:OPEN:STAT OFF;STAT 0;STAT?") << QByteArray("0\n") << none;
    QTest::newRow("state word") << QByteArray("CORR:OPEN:STAT MAYBE") << QByteArray()
                                << QList<int>{IllegalParameterValue};
    QTest::newRow("spot frequency")
        << QByteArray("CORR:SPOT1:FREQ 100KHZ;FREQ?") << QByteArray("+1.00000E+05\n") << none;
    QTest::newRow("spot frequency outside the model")
        << QByteArray("CORR:SPOT1:FREQ 5MHZ;FREQ?") << QByteArray("+1.00000E+03\n")
        << QList<int>{DataOutOfRange};
    QTest::newRow("load types") << QByteArray("CORR:LOAD:TYPE?;TYPE CSD;TYPE?;TYPE lsq;TYPE?")
                                << QByteArray("RX;CSD;LSQ\n") << none;
    QTest::newRow("load type not kept") << QByteArray("CORR:LOAD:TYPE CPD;TYPE?")
                                        << QByteArray("RX\n") << QList<int>{IllegalParameterValue};
    QTest::newRow("standard") << QByteArray("CORR:LOAD:TYPE CSD;:CORR:SPOT1:LOAD:STAN 1E-9,0.002;"
                                            "STAN?")
                              << QByteArray("+1.00000E-09,+2.00000E-03\n") << none;
    QTest::newRow("standard of one value")
        << QByteArray("CORR:SPOT1:LOAD:STAN 100") << QByteArray() << QList<int>{MissingParameter};
    QTest::newRow("no standard") << QByteArray("CORR:SPOT1:LOAD:STAN 0,0") << QByteArray()
                                 << QList<int>{DataOutOfRange};
    QTest::newRow("method") << QByteArray("CORR:METH SING;METH?;METH MULT;METH?")
                            << QByteArray("SING;SING\n") << QList<int>{IllegalParameterValue};
    QTest::newRow("cable length") << QByteArray("CORR:LENG 0;LENG?;LENG 2;LENG 3")
                                  << QByteArray("0\n")
                                  << QList<int>{IllegalParameterValue, DataOutOfRange};
    QTest::newRow("runs take no parameter")
        << QByteArray("CORR:OPEN 1") << QByteArray() << QList<int>{ParameterNotAllowed};
}

void TestScpiCorrection::correctionSettings() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, line), answer);
    QCOMPARE(Errors(session), errors);
    QCOMPARE(meter.compensation.enabled, 0u);
}

// A run holds *OPC? until it ends; its kind can go on afterwards; a run that ends incomplete
// queues an error for the client that started it, one it stopped itself does not.
void TestScpiCorrection::correctionRuns() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "CORR:OPEN;*OPC?"), QByteArray());
    QCOMPARE(Send(session, "*TST?"), QByteArray()); // behind the held answer
    meter.deliver();
    session.poll();
    QCOMPARE(Drain(session), QByteArray("1\n0\n"));
    QCOMPARE(Send(session, "CORR:SPOT1:FREQ 2E4;:CORR:SPOT1:SHOR"), QByteArray());
    QCOMPARE(Send(session, "CORR:SPOT1:OPEN"), QByteArray()); // one run at a time
    QCOMPARE(Errors(session), QList<int>{InitIgnored});
    meter.deliver();
    session.poll();
    QCOMPARE(meter.correctionSpots, (QVector<double>{0.0, 20000.0}));
    QCOMPARE(Send(session, "CORR:OPEN:STAT ON;:CORR:SHOR:STAT ON;STAT?;:CORR:OPEN:STAT?"),
             QByteArray("1;1\n"));
    QCOMPARE(meter.compensation.enabled, unsigned(OpenKind | ShortKind));
    // The load goes on only with a standard.
    Send(session, "CORR:SPOT1:LOAD;*OPC?");
    meter.deliver();
    session.poll();
    QCOMPARE(Drain(session), QByteArray("1\n"));
    QCOMPARE(Send(session, "CORR:LOAD:STAT ON"), QByteArray());
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
    QCOMPARE(Send(session, "CORR:SPOT1:LOAD:STAN 100,0;:CORR:LOAD:STAT ON;STAT?"),
             QByteArray("1\n"));
    QCOMPARE(Errors(session), QList<int>());

    meter.failCorrection = true;
    Send(session, "CORR:SHOR;*OPC?");
    meter.deliver();
    session.poll();
    QCOMPARE(Drain(session), QByteArray("1\n"));
    QCOMPARE(Errors(session), QList<int>{CorrectionIncomplete});
    QCOMPARE(Send(session, "CORR:SHOR;:ABOR;*OPC?"), QByteArray("1\n"));
    QVERIFY(!meter.compensation.running);
    QCOMPARE(Errors(session), QList<int>());

    // Without a meter nothing starts; a client that goes stops the run it started.
    {
        Client other(meter);
        Send(other, "CORR:OPEN");
        QVERIFY(meter.compensation.running);
    }
    QVERIFY(!meter.compensation.running);
    meter.line = LineState::NoMeter;
    Send(session, "CORR:OPEN");
    QCOMPARE(Errors(session), QList<int>{HardwareError});
}

// R and X of the newest reading after the client's last change: a change of correction waits for
// the next reading.
void TestScpiCorrection::correctedReading() {
    Fake::Instrument meter;
    meter.state.frequency = 1000;
    Client session(meter);
    meter.deliver();
    session.poll();
    const QList<double> rx = Numbers(Send(session, "FETC:IMP:CORR?"));
    QCOMPARE(rx.size(), 2);
    QVERIFY(Near(rx[0], 50.0));
    QVERIFY(Near(rx[1], meter.part.reactance(1000)));
    Send(session, "CORR:OPEN;*OPC?");
    meter.deliver();
    session.poll();
    QCOMPARE(Drain(session), QByteArray("1\n"));
    QCOMPARE(Send(session, "CORR:OPEN:STAT ON;:FETC:IMP:CORR?"), QByteArray());
    meter.part.resistance = 20.0;
    meter.deliver();
    session.poll();
    QVERIFY(Drain(session).startsWith("+2.00000E+01,"));
    // No reading for two seconds: no data, -230.
    QCOMPARE(Send(session, "CORR:OPEN:STAT OFF;:FETC:IMP:CORR?"), QByteArray());
    meter.clock += SilenceMs;
    session.poll();
    QCOMPARE(Drain(session), QByteArray("+9.90000E+37,+9.90000E+37\n"));
    QCOMPARE(Errors(session), QList<int>{DataStale});
}

QTEST_GUILESS_MAIN(TestScpiCorrection)
#include "test_scpi_correction.moc"
