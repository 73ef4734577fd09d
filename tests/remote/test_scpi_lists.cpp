// List runs through the command table against a fake meter: frequency lists in sequence and
// step, bias and level lists, their runs and steps, and the settings they put back.
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

class TestScpiLists : public QObject {
    Q_OBJECT
private slots:
    void listSequence();
    void listStepAndAbort();
    void settingLists_data();
    void settingLists();
    void settingListRuns();
    void settingStepsPutBack();
    void biasNotRestoredTold();
    void sweepDataOfSettingRun();
};

void TestScpiLists::listSequence() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "FUNC:IMP RX;LIST:FREQ 100,1000,10000;:DISP:PAGE LIST;:INIT;FETC?"),
             QByteArray());
    QCOMPARE(meter.listState().points.size(), 3);
    meter.deliver();
    meter.deliver();
    session.poll();
    QCOMPARE(Drain(session), QByteArray());
    meter.deliver();
    session.poll();
    const QList<double> v = Numbers(Drain(session));
    QCOMPARE(v.size(), 12);
    const double frequencies[] = {100, 1000, 10000};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(Near(v[4 * i], 50.0));
        QVERIFY(Near(v[4 * i + 1], meter.part.reactance(frequencies[i])));
        QCOMPARE(v[4 * i + 2], 0.0);
        QCOMPARE(v[4 * i + 3], 0.0);
    }
    // A second trigger while a run goes is ignored; another client's run is not ours.
    Send(session, "INIT");
    Send(session, "INIT");
    QCOMPARE(Errors(session), QList<int>{InitIgnored});
    Send(session, "ABOR");
    Send(session, "LIST:FREQ?");
    QCOMPARE(Errors(session), QList<int>{});
    // An empty list cannot run.
    Client other(meter);
    Send(other, "DISP:PAGE LIST;:TRIG");
    QCOMPARE(Errors(other), QList<int>{SettingsConflict});
}

void TestScpiLists::listStepAndAbort() {
    Fake::Instrument meter;
    Client session(meter);
    Send(session, "FUNC:IMP RX;LIST:FREQ 100,1000;MODE STEP;:DISP:PAGE LIST;:TRIG:SOUR BUS");
    QCOMPARE(Send(session, "TRIG;FETC?"), QByteArray());
    meter.deliver();
    session.poll();
    QList<double> v = Numbers(Drain(session));
    QCOMPARE(v.size(), 4);
    QVERIFY(Near(v[1], meter.part.reactance(100)));
    QCOMPARE(Send(session, "TRIG;FETC?"), QByteArray());
    meter.deliver();
    session.poll();
    v = Numbers(Drain(session));
    QCOMPARE(v.size(), 8);
    QVERIFY(Near(v[5], meter.part.reactance(1000)));
    // A new pass begins at the first point.
    Send(session, "TRIG");
    meter.deliver();
    session.poll();
    QCOMPARE(Numbers(Send(session, "FETC?")).size(), 4);
    // ABOR from another client ends the run; the held answer gives what was measured.
    Send(session, "LIST:MODE SEQ;:LIST:FREQ 100,200,300");
    QCOMPARE(Send(session, "TRIG;FETC?"), QByteArray());
    meter.deliver();
    Client other(meter);
    Send(other, "ABOR");
    session.poll();
    v = Numbers(Drain(session));
    QCOMPARE(v.size(), 12);
    QCOMPARE(v[2], 0.0);
    QCOMPARE(v[6], -1.0);
    QCOMPARE(v[10], -1.0);
    QCOMPARE(Errors(session), QList<int>{DataStale});
}

void TestScpiLists::settingLists_data() {
    QTest::addColumn<int>("biasStep"); // mV, the model's
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    QTest::newRow("bias in volts, rounded to the step")
        << 10 << QByteArray("LIST:BIAS:VOLT 0,1.234,40;LIST:BIAS:VOLT?")
        << QByteArray("+0.00000E+00,+1.23000E+00,+4.00000E+01\n") << none;
    QTest::newRow("bias on the first model's step")
        << 100 << QByteArray("LIST:BIAS:VOLT 1.25,250MV,MAX;:LIST:BIAS:VOLTAGE?")
        << QByteArray("+1.30000E+00,+3.00000E-01,+4.00000E+01\n") << none;
    QTest::newRow("bias beyond the source leaves the list")
        << 10 << QByteArray("LIST:BIAS:VOLT 2;LIST:BIAS:VOLT 1,40.01;LIST:BIAS:VOLT?")
        << QByteArray("+2.00000E+00\n") << QList<int>{DataOutOfRange};
    QTest::newRow("bias negative")
        << 10 << QByteArray("LIST:BIAS:VOLT -0.5") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("bias no number can hold")
        << 10 << QByteArray("LIST:BIAS:VOLT 1E30") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("levels") << 10 << QByteArray("LIST:VOLT 1,0.5,5MV,MIN;LIST:VOLT?")
                            << QByteArray("+1.00000E+00,+5.00000E-01,+5.00000E-03,+5.00000E-03\n")
                            << none;
    QTest::newRow("a level not the meter's")
        << 10 << QByteArray("LIST:VOLT 0.1;LIST:VOLT 1,0.2;LIST:VOLT?")
        << QByteArray("+1.00000E-01\n") << QList<int>{DataOutOfRange};
    QTest::newRow("the list last set is the list")
        << 10
        << QByteArray(
               "LIST:FREQ 100,200;:LIST:BIAS:VOLT 1;:LIST:FREQ?;:LIST:BIAS:VOLT?;:LIST:VOLT?")
        << QByteArray(";+1.00000E+00;\n") << none;
    QTest::newRow("a level list replaces a bias list")
        << 10 << QByteArray("LIST:BIAS:VOLT 1;:LIST:VOLT 1;:LIST:BIAS:VOLT?;:LIST:VOLT?")
        << QByteArray(";+1.00000E+00\n") << none;
    QTest::newRow("a sweep plan replaces it")
        << 10
        << QByteArray("LIST:BIAS:VOLT 1;:SWE:STAR 100;STOP 300;POIN 3;:LIST:BIAS:VOLT?;:LIST:FREQ?")
        << QByteArray(";+1.00000E+02,+2.00000E+02,+3.00000E+02\n") << none;
    QTest::newRow("a bias is not a frequency")
        << 10 << QByteArray("LIST:BIAS:VOLT 1HZ") << QByteArray() << QList<int>{InvalidSuffix};
    QTest::newRow("no values") << 10 << QByteArray("LIST:VOLT") << QByteArray()
                               << QList<int>{MissingParameter};
    QByteArray many = "LIST:BIAS:VOLT 1";
    for (int i = 1; i < MaxListPoints; ++i)
        many += ",1";
    QTest::newRow("as many points as a frequency list")
        << 10 << many + ";LIST:BIAS:VOLT?"
        << QByteArray("+1.00000E+00").repeated(MaxListPoints).replace("+00+", "+00,+") + "\n"
        << none;
    QTest::newRow("one more") << 10 << many + ",1" << QByteArray()
                              << QList<int>{ParameterNotAllowed};
}

void TestScpiLists::settingLists() {
    QFETCH(int, biasStep);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    meter.info.biasStepMillivolts = biasStep;
    Client session(meter);
    QCOMPARE(Send(session, line), answer);
    QCOMPARE(Errors(session), errors);
}

// A whole bias list is the instrument's run over it; FETC? answers its points as a frequency
// list's; the bias source's conflict comes back as the instrument's refusal.
void TestScpiLists::settingListRuns() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "FUNC:IMP RX;LIST:BIAS:VOLT 1,2,3;:DISP:PAGE LIST;:INIT;FETC?"),
             QByteArray());
    QCOMPARE(meter.listQuantity, SweptQuantity::Bias);
    QCOMPARE(meter.listSettings, (QVector<std::int32_t>{1000, 2000, 3000}));
    QVERIFY(meter.steps.isEmpty());
    for (int i = 0; i < 3; ++i)
        meter.deliver();
    session.poll();
    const QList<double> v = Numbers(Drain(session));
    QCOMPARE(v.size(), 12);
    QVERIFY(Near(v[8], 50.0));
    QCOMPARE(Errors(session), QList<int>{});
    // A level list likewise; a list of one is its pass's only step.
    Send(session, "LIST:VOLT 0.5,0.1;:INIT");
    QCOMPARE(meter.listQuantity, SweptQuantity::Level);
    QCOMPARE(meter.listSettings, (QVector<std::int32_t>{500, 100}));
    Send(session, "ABOR;:LIST:VOLT 0.05;:INIT");
    QCOMPARE(meter.steps, QStringList{"VOLT 50 LAST"});
    meter.deliver();
    session.poll();
    QCOMPARE(Numbers(Send(session, "FETC?")).size(), 4);
    // External bias: no bias list.
    Send(session, "BIAS:SOUR EXT;:LIST:BIAS:VOLT 1,2;:INIT");
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
}

// Step by step: one value per trigger; the last step says so; ABOR, a new list and the client's
// going put back what a pass left on the meter, the client's going its own pass only.
void TestScpiLists::settingStepsPutBack() {
    Fake::Instrument meter;
    auto session = std::make_unique<Client>(meter);
    Send(*session, "LIST:BIAS:VOLT 1,2;:LIST:MODE STEP;:DISP:PAGE LIST;:TRIG:SOUR BUS;:TRIG");
    meter.deliver();
    session->poll();
    Send(*session, "TRIG");
    meter.deliver();
    session->poll();
    QCOMPARE(meter.steps, (QStringList{"BIAS 1000", "BIAS 2000 LAST"}));
    QCOMPARE(Numbers(Send(*session, "FETC?")).size(), 8);
    QVERIFY(meter.passEnds.isEmpty()); // the last step put it back
    // ABOR ends anyone's pass; the pass goes on from where it was.
    Send(*session, "TRIG");
    meter.deliver();
    session->poll();
    Send(*session, "ABOR");
    QCOMPARE(meter.passEnds, QList<std::uint64_t>{0});
    for (int i = 0; i < 2; ++i) {
        Send(*session, "TRIG");
        meter.deliver();
        session->poll();
    }
    QCOMPARE(meter.steps.mid(2), (QStringList{"BIAS 1000", "BIAS 2000 LAST", "BIAS 1000"}));
    const std::uint64_t run = meter.listState().run;
    Send(*session, "LIST:VOLT 1,0.5");
    QCOMPARE(meter.passEnds, (QList<std::uint64_t>{0, run}));
    Send(*session, "TRIG");
    meter.deliver();
    session->poll();
    QCOMPARE(meter.steps.last(), QString("VOLT 1000"));
    session.reset();
    QCOMPARE(meter.passEnds, (QList<std::uint64_t>{0, run, run + 1}));
    QCOMPARE(meter.calls, QStringList{}); // no setter: the instrument holds and puts back
}

// A bias left on the fixture: every client's queue says so once; a client that comes later
// finds nothing.
void TestScpiLists::biasNotRestoredTold() {
    Fake::Instrument meter;
    Client first(meter);
    Client second(meter);
    meter.biasLosses = 1;
    QCOMPARE(Send(first, "SYST:ERR?;ERR?"),
             QByteArray("303,\"Bias not set back; line lost\";0,\"No error\"\n"));
    QCOMPARE(Errors(second), QList<int>{BiasNotRestored});
    Client later(meter);
    QCOMPARE(Errors(later), QList<int>{});
    meter.biasLosses = 2;
    QCOMPARE(Errors(later), QList<int>{BiasNotRestored});
}

// SWE:DATA? of a bias run: a sixteenth number per point, its planned bias in volts; SWE:QUAN?
// names what the last run stepped; no circuit is fitted over one frequency.
void TestScpiLists::sweepDataOfSettingRun() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "SWE:QUAN?"), QByteArray("FREQ\n"));
    Send(session, "LIST:BIAS:VOLT 0.5,1.5;:DISP:PAGE LIST;:INIT");
    QCOMPARE(Send(session, "SWE:QUAN?"), QByteArray("BIAS\n"));
    meter.deliver();
    meter.deliver();
    const QList<double> v = Numbers(Send(session, "SWE:DATA?"));
    QCOMPARE(v.size(), 2 * 16);
    QCOMPARE(v[0], 1000.0); // the frequency held
    QCOMPARE(v[15], 0.5);
    QCOMPARE(v[16], 1000.0);
    QCOMPARE(v[31], 1.5);
    QCOMPARE(Send(session, "FIT? AUTO"), QByteArray("\n"));
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
    Send(session, "LIST:VOLT 1,0.01;:INIT");
    QCOMPARE(Send(session, "SWE:QUAN?"), QByteArray("VOLT\n"));
    meter.deliver();
    meter.deliver();
    const QList<double> level = Numbers(Send(session, "SWE:DATA?"));
    QCOMPARE(level.size(), 2 * 16);
    QCOMPARE(level[31], 0.01);
    // A frequency run keeps its fifteen.
    Send(session, "LIST:FREQ 100,200;:INIT");
    meter.deliver();
    meter.deliver();
    QCOMPARE(Numbers(Send(session, "SWE:DATA?")).size(), 2 * 15);
    QCOMPARE(Send(session, "SWE:QUAN?"), QByteArray("FREQ\n"));
}

QTEST_GUILESS_MAIN(TestScpiLists)
#include "test_scpi_lists.moc"
