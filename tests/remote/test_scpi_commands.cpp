// The command table against a fake meter, without sockets: answers, errors and their queue,
// status registers, held-back answers for fresh, averaged, triggered and list readings.
#include "fake_instrument.h"

#include "link/decoding.h"
#include "remote/client.h"
#include "remote/function_types.h"

#include "tests/remote/client_exchange.h"
#include <QJsonDocument>
#include <QJsonObject>

#include <QtTest>

#include <cmath>
#include <memory>

using namespace Remote;

namespace {

using RemoteTest::Drain;
using RemoteTest::Errors;
using RemoteTest::Send;

QList<double> Numbers(const QByteArray &answer) {
    QList<double> values;
    for (const QByteArray &field : answer.trimmed().split(','))
        values << field.toDouble();
    return values;
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-5 * std::fabs(b) + 1e-30;
}

} // namespace

class TestScpiCommands : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void identityWithoutMeter();
    void resetDefaults();
    void fetchWaitsForReadingAfterChange();
    void fetchAfterSilence();
    void fetchStatus();
    void averagingIsComplex();
    void busTrigger();
    void listSequence();
    void listStepAndAbort();
    void settingLists_data();
    void settingLists();
    void settingListRuns();
    void settingStepsPutBack();
    void biasNotRestoredTold();
    void sweepDataOfSettingRun();
    void sweepPlan_data();
    void sweepPlan();
    void sweepPlanConflicts();
    void sweepDataOfLastRun();
    void fitOfLastRun();
    void errorQueueBound();
    void overlongLines();
    void statusRegisters();
    void pumpIsBounded();
    void correctionSettings_data();
    void correctionSettings();
    void correctionRuns();
    void correctedReading();
    void comparatorSettings_data();
    void comparatorSettings();
    void comparatorPlan();
    void comparatorShared();
    void comparatorBinInFetch();
    void comparatorCountsTriggers();
};

void TestScpiCommands::exchanges_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    QTest::newRow("identity") << QByteArray("*IDN?")
                              << QByteArray("Impedix,KT-43,COM3," IMPEDIX_VERSION "\n") << none;
    QTest::newRow("frequency with suffix")
        << QByteArray("FREQ 2KHZ;FREQ?") << QByteArray("+2.00000E+03\n") << none;
    QTest::newRow("frequency long form")
        << QByteArray(":SENSE:FREQUENCY:CW 300;:freq:cw?") << QByteArray("+3.00000E+02\n") << none;
    QTest::newRow("frequency MAX")
        << QByteArray("FREQ MAX;FREQ?") << QByteArray("+3.00000E+06\n") << none;
    QTest::newRow("frequency above the model")
        << QByteArray("FREQ 5MHZ;FREQ?") << QByteArray("+1.00000E+03\n")
        << QList<int>{DataOutOfRange};
    QTest::newRow("frequency in millihertz")
        << QByteArray("FREQ 1M") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("level") << QByteArray("VOLT 100MV;VOLT?") << QByteArray("+1.00000E-01\n")
                           << none;
    QTest::newRow("level not the meter's")
        << QByteArray("VOLT 0.2") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("current mode") << QByteArray("CURR 1MA;CURR?") << QByteArray("\n")
                                  << QList<int>{UndefinedHeader, UndefinedHeader};
    QTest::newRow("bias in the meter's steps")
        << QByteArray("BIAS:VOLT 1.234;BIAS:VOLT?") << QByteArray("+1.23000E+00\n") << none;
    QTest::newRow("bias too high")
        << QByteArray("BIAS:VOLT 41") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("bias negative")
        << QByteArray("BIAS:VOLT -1") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("relative path")
        << QByteArray("BIAS:VOLT 1;STAT ON;STAT?;SOUR EXT;SOUR?") << QByteArray("1;EXT\n") << none;
    QTest::newRow("root after a path")
        << QByteArray("BIAS:VOLT 1;STAT ON;:FREQ 50;FREQ?") << QByteArray("+5.00000E+01\n") << none;
    QTest::newRow("function type")
        << QByteArray("FUNC:IMP:TYPE rx;:FUNC:IMP?") << QByteArray("RX\n") << none;
    QTest::newRow("function type unknown")
        << QByteArray("FUNC:IMP ABC;FUNC:IMP?") << QByteArray("CPD\n")
        << QList<int>{IllegalParameterValue};
    QTest::newRow("range holding the value") << QByteArray("FUNC:IMP:RANG 150;RANG?;RANG:AUTO?")
                                             << QByteArray("+1.00000E+03;0\n") << none;
    QTest::newRow("range too large")
        << QByteArray("FUNC:IMP:RANG 20MOHM") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("auto range") << QByteArray("FUNC:IMP:RANG:AUTO OFF;AUTO?") << QByteArray("0\n")
                                << none;
    QTest::newRow("aperture") << QByteArray("APER LONG,16;APER?") << QByteArray("LONG,16\n")
                              << none;
    QTest::newRow("aperture short")
        << QByteArray("APER SHOR;APER?") << QByteArray("SHOR,1\n") << none;
    QTest::newRow("aperture count") << QByteArray("APER MED,0;APER MED,257") << QByteArray()
                                    << QList<int>{DataOutOfRange, DataOutOfRange};
    QTest::newRow("aperture too many")
        << QByteArray("APER MED,1,2") << QByteArray() << QList<int>{ParameterNotAllowed};
    QTest::newRow("missing parameter")
        << QByteArray("FREQ") << QByteArray() << QList<int>{MissingParameter};
    QTest::newRow("two parameters")
        << QByteArray("FREQ 1,2") << QByteArray() << QList<int>{ParameterNotAllowed};
    QTest::newRow("word for a number")
        << QByteArray("FREQ ABC") << QByteArray() << QList<int>{DataTypeError};
    QTest::newRow("wrong unit") << QByteArray("FREQ 1V") << QByteArray()
                                << QList<int>{InvalidSuffix};
    QTest::newRow("unknown query")
        << QByteArray("FOO?") << QByteArray("\n") << QList<int>{UndefinedHeader};
    QTest::newRow("command as query")
        << QByteArray("*RST?") << QByteArray("\n") << QList<int>{UndefinedHeader};
    QTest::newRow("query as command")
        << QByteArray("FETC") << QByteArray() << QList<int>{UndefinedHeader};
    QTest::newRow("syntax error") << QByteArray("FREQ::CW 1;*TST?") << QByteArray("0\n")
                                  << QList<int>{SyntaxError};
    QTest::newRow("format") << QByteArray("FORM ASC;FORM?;FORM REAL") << QByteArray("ASC\n")
                            << QList<int>{IllegalParameterValue};
    QTest::newRow("page") << QByteArray("DISP:PAGE LIST;PAGE?;PAGE MEAS;:DISP:PAGE?")
                          << QByteArray("LIST;MEAS\n") << none;
    QTest::newRow("display enable")
        << QByteArray("DISP:ENAB OFF;ENAB?") << QByteArray("1\n") << QList<int>{SettingsConflict};
    QTest::newRow("trigger source") << QByteArray("TRIG:SOUR BUS;SOUR?;SOUR ext;SOUR?;SOUR NONE")
                                    << QByteArray("BUS;EXT\n") << QList<int>{IllegalParameterValue};
    QTest::newRow("continuous") << QByteArray("INIT:CONT OFF;CONT?") << QByteArray("0\n") << none;
    QTest::newRow("queries of a line answer on one line")
        << QByteArray("FREQ?;VOLT?;*TST?") << QByteArray("+1.00000E+03;+1.00000E+00;0\n") << none;
    QTest::newRow("no error") << QByteArray("SYST:ERR?") << QByteArray("0,\"No error\"\n") << none;
    QTest::newRow("list frequencies")
        << QByteArray("LIST:FREQ 1E3, 2KHZ ,100;LIST:FREQ?")
        << QByteArray("+1.00000E+03,+2.00000E+03,+1.00000E+02\n") << none;
    QTest::newRow("list frequency outside the model")
        << QByteArray("LIST:FREQ 1E3,1E9") << QByteArray() << QList<int>{DataOutOfRange};
    QTest::newRow("carriage return") << QByteArray("*TST?\r") << QByteArray("0\n") << none;
}

void TestScpiCommands::exchanges() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, line), answer);
    QCOMPARE(Errors(session), errors);
}

void TestScpiCommands::identityWithoutMeter() {
    Fake::Instrument meter;
    meter.line = LineState::NoMeter;
    meter.info.name.clear();
    meter.info.port.clear();
    Client session(meter);
    QCOMPARE(Send(session, "*IDN?"), QByteArray("Impedix,no meter,," IMPEDIX_VERSION "\n"));
    QCOMPARE(Send(session, "FREQ 1000;FETC?"), QByteArray("+9.90000E+37,+9.90000E+37,-1\n"));
    QCOMPARE(Errors(session), (QList<int>{HardwareError, HardwareError}));
    meter.line = LineState::LineLost;
    QCOMPARE(Send(session, "TRIG"), QByteArray());
    QCOMPARE(Errors(session), QList<int>{HardwareError});
    // A name that would split the identity into more fields.
    meter.line = LineState::Ready;
    meter.info.name = "A,B";
    QCOMPARE(Send(session, "*IDN?"), QByteArray("Impedix,A B,," IMPEDIX_VERSION "\n"));
}

void TestScpiCommands::resetDefaults() {
    Fake::Instrument meter;
    meter.info.lowestFrequency = 50000; // a model that cannot go down to 1 kHz
    meter.state.levelMillivolts = 5;
    meter.state.biasMillivolts = 3000;
    meter.state.biasOn = true;
    meter.state.autoRange = false;
    meter.state.normalSpeed = false;
    meter.state.seriesCircuit = false;
    Client session(meter);
    Send(session, "FUNC:IMP RX;TRIG:SOUR BUS;DISP:PAGE LIST;APER LONG,8");
    QCOMPARE(Send(session, "*RST;FUNC:IMP?;TRIG:SOUR?;DISP:PAGE?;APER?"),
             QByteArray("CPD;INT;MEAS;MED,1\n"));
    QCOMPARE(meter.calls.last(), QStringLiteral("APPLY"));
    QCOMPARE(meter.state.frequency, 50000);
    QCOMPARE(meter.state.levelMillivolts, 1000);
    QCOMPARE(meter.state.biasMillivolts, 0);
    QVERIFY(!meter.state.biasOn);
    QVERIFY(meter.state.autoRange);
    QVERIFY(meter.state.normalSpeed);
    QVERIFY(meter.state.seriesCircuit);
    meter.info.lowestFrequency = 25;
    Send(session, "*RST");
    QCOMPARE(meter.state.frequency, 1000);
    QCOMPARE(Errors(session), QList<int>{});
}

void TestScpiCommands::fetchWaitsForReadingAfterChange() {
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

void TestScpiCommands::fetchAfterSilence() {
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

void TestScpiCommands::fetchStatus() {
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

void TestScpiCommands::averagingIsComplex() {
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

void TestScpiCommands::busTrigger() {
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

void TestScpiCommands::listSequence() {
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

void TestScpiCommands::listStepAndAbort() {
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

void TestScpiCommands::settingLists_data() {
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

void TestScpiCommands::settingLists() {
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
void TestScpiCommands::settingListRuns() {
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
void TestScpiCommands::settingStepsPutBack() {
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
void TestScpiCommands::biasNotRestoredTold() {
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
void TestScpiCommands::sweepDataOfSettingRun() {
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

void TestScpiCommands::errorQueueBound() {
    Fake::Instrument meter;
    Client session(meter);
    for (int i = 0; i < 20; ++i)
        Send(session, "FOO");
    Send(session, "FREQ ABC");
    const QList<int> codes = Errors(session);
    QCOMPARE(codes.size(), 16);
    QCOMPARE(codes.first(), int(UndefinedHeader));
    QCOMPARE(codes.at(14), int(UndefinedHeader));
    QCOMPARE(codes.last(), int(QueueOverflow));
    QCOMPARE(Send(session, "SYST:ERR?"), QByteArray("0,\"No error\"\n"));
}

void TestScpiCommands::overlongLines() {
    Fake::Instrument meter;
    Client session(meter);
    // An incomplete line that grows past the bound, in pieces.
    const QByteArray piece(16 * 1024, 'A');
    for (int i = 0; i < 5; ++i)
        session.feed(piece);
    QVERIFY(session.queuedInputBytes() <= Client::MaxLine);
    session.feed("BBB;*TST?\n*TST?\n");
    // Its end held a query: it answers an empty line, then the next line runs.
    QCOMPARE(Drain(session), QByteArray("\n0\n"));
    QCOMPARE(Errors(session), QList<int>{CommandError});
    // A complete line over the bound in one piece; the line at the bound still runs.
    session.feed(QByteArray(Client::MaxLine + 1, ' ') + "\n");
    session.feed(QByteArray(Client::MaxLine - 5, ' ') + "*TST?\n");
    QCOMPARE(Drain(session), QByteArray("0\n"));
    QCOMPARE(Errors(session), QList<int>{CommandError});
}

void TestScpiCommands::statusRegisters() {
    Fake::Instrument meter;
    Client session(meter);
    Send(session, "*ESE 32;FOO;FREQ 1E9;*SRE 32");
    QCOMPARE(Send(session, "*STB?"), QByteArray("100\n")); // 4 queue + 32 ESB + 64 MSS
    QCOMPARE(Send(session, "*ESR?"), QByteArray("48\n"));  // command and execution error
    QCOMPARE(Send(session, "*ESR?"), QByteArray("0\n"));
    QCOMPARE(Send(session, "*STB?"), QByteArray("4\n")); // the queue alone, which *SRE leaves out
    Send(session, "*CLS");
    QCOMPARE(Send(session, "*STB?;SYST:ERR?"), QByteArray("0;0,\"No error\"\n"));
    QCOMPARE(Send(session, "*ESE 256;*ESE?"), QByteArray("32\n"));
    QCOMPARE(Errors(session), QList<int>{DataOutOfRange});
    // Status is the client's own.
    Client other(meter);
    Send(other, "FOO");
    QCOMPARE(Send(session, "*ESR?"), QByteArray("16\n"));
    QCOMPARE(Send(other, "*ESR?"), QByteArray("32\n"));
}

void TestScpiCommands::pumpIsBounded() {
    Fake::Instrument meter;
    Client session(meter);
    QByteArray line;
    for (int i = 0; i < 1000; ++i)
        line += "*TST?;";
    session.feed(line + "\n");
    QVERIFY(session.pump(256));
    QCOMPARE(session.takeOutput().count('0'), 256);
    const QByteArray rest = Drain(session);
    QCOMPARE(rest.count('0'), 744);
    QCOMPARE(rest.count('\n'), 1); // the line's answers on one line
}

void TestScpiCommands::sweepPlan_data() {
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    // The linear fill is the window's: its step is held in single precision.
    QTest::newRow("linear") << QByteArray("SWE:STAR 100;STOP 1000;POIN 5")
                            << QByteArray("100,325,550,775,1000") << none;
    QTest::newRow("log") << QByteArray("SWE:SPAC LOG;STAR 100;STOP 1E5;POIN 4")
                         << QByteArray("100,1000,10000,100000") << none;
    QTest::newRow("suffixes and long forms")
        << QByteArray("SWEEP:SPACING LOGARITHMIC;START 1KHZ;STOP 1MAHZ;POINTS 3")
        << QByteArray("1000,31623,1000000") << none;
    QTest::newRow("bounds of the model")
        << QByteArray("SWE:STAR MIN;STOP MAX;POIN 2") << QByteArray("25,3000000") << none;
    QTest::newRow("below the model") << QByteArray("SWE:STAR 20;STOP 1000;POIN 2")
                                     << QByteArray("100,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("above the model") << QByteArray("SWE:STOP 4E6;POIN 2")
                                     << QByteArray("100,100000") << QList<int>{DataOutOfRange};
    QTest::newRow("too few points")
        << QByteArray("SWE:POIN 1;STOP 1000")
        << QByteArray("100,200,300,400,500,600,700,800,900,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("too many points")
        << QByteArray("SWE:STOP 1000;POIN 257")
        << QByteArray("100,200,300,400,500,600,700,800,900,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("points not whole")
        << QByteArray("SWE:STOP 1000;POIN 2.5")
        << QByteArray("100,200,300,400,500,600,700,800,900,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("unknown spacing")
        << QByteArray("SWE:SPAC CUBIC") << QByteArray() << QList<int>{IllegalParameterValue};
    QTest::newRow("a list replaces the plan")
        << QByteArray("SWE:STAR 100;STOP 1000;POIN 5;:LIST:FREQ 50,60") << QByteArray("50,60")
        << none;
}

void TestScpiCommands::sweepPlan() {
    QFETCH(QByteArray, commands);
    QFETCH(QByteArray, list);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    Client session(meter);
    Send(session, commands);
    QByteArray hertz;
    const QByteArray answer = Send(session, "LIST:FREQ?");
    for (double f : answer.trimmed().isEmpty() ? QList<double>{} : Numbers(answer)) {
        if (!hertz.isEmpty()) hertz += ',';
        hertz += QByteArray::number(static_cast<qint64>(std::llround(f)));
    }
    QCOMPARE(hertz, list);
    QCOMPARE(Errors(session), errors);
}

void TestScpiCommands::sweepPlanConflicts() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "SWE:SPAC?;STAR?;STOP?;POIN?"),
             QByteArray("LIN;+1.00000E+02;+1.00000E+05;+10\n"));
    // A start above the stop leaves the list as it was, and a run of it is refused, until the
    // stop is put above it.
    Send(session, "SWE:STAR 100;STOP 1000;POIN 2;STAR 5000");
    QCOMPARE(Send(session, "LIST:FREQ?"), QByteArray("+1.00000E+02,+1.00000E+03\n"));
    Send(session, "DISP:PAGE LIST;:TRIG:SOUR BUS;:TRIG");
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
    QVERIFY(!meter.listState().running);
    Send(session, "SWE:STOP 6000;:TRIG");
    QCOMPARE(Errors(session), QList<int>{});
    QVERIFY(meter.listState().running);
    // The plan belongs to the client.
    Client other(meter);
    QCOMPARE(Send(other, "SWE:STAR?"), QByteArray("+1.00000E+02\n"));
}

void TestScpiCommands::sweepDataOfLastRun() {
    Fake::Instrument meter;
    Client session(meter);
    // No run yet: one empty line, and no data on the queue.
    QCOMPARE(Send(session, "SWE:DATA?"), QByteArray("\n"));
    QCOMPARE(Errors(session), QList<int>{DataStale});
    Send(session, "SWE:SPAC LOG;STAR 100;STOP 10000;POIN 3;:DISP:PAGE LIST;:TRIG:SOUR BUS");
    // The answer waits for the run's end, whoever asks.
    Client other(meter);
    QCOMPARE(Send(session, "TRIG;SWE:DATA?"), QByteArray());
    meter.deliver();
    meter.overload = true;
    meter.deliver();
    meter.overload = false;
    session.poll();
    QCOMPARE(Drain(session), QByteArray());
    QCOMPARE(Send(other, "SWE:DATA?"), QByteArray());
    meter.deliver();
    session.poll();
    other.poll();
    const QByteArray answer = Drain(session);
    QCOMPARE(Drain(other), answer);
    const QList<double> v = Numbers(answer);
    constexpr int Fields = 15; // planned f, the eleven, raw |Z|, theta, reported f
    QCOMPARE(v.size(), 3 * Fields);
    const double planned[] = {100, 1000, 10000};
    for (int i : {0, 2}) {
        const double *p = &v[i * Fields];
        const double f = planned[i];
        const double x = meter.part.reactance(f);
        const double z = meter.part.magnitude(f);
        QCOMPARE(p[0], f);
        QVERIFY(Near(p[1], meter.part.capacitance));          // C (F), series
        QVERIFY(Near(p[3], meter.part.resistance));           // R (Ohm)
        QVERIFY(Near(p[4], meter.part.resistance / (z * z))); // G = Re Y
        QVERIFY(Near(p[5], -x / (z * z)));                    // B = Im Y
        QVERIFY(Near(p[6], x));                               // X (Ohm)
        QVERIFY(Near(p[7], 1.0 / z));                         // |Y| (S)
        QVERIFY(Near(p[8], meter.part.resistance / std::fabs(x)));
        QVERIFY(Near(p[10], meter.part.phase(f) * 180.0 / M_PI));
        QVERIFY(Near(p[12], z));
        QVERIFY(Near(p[13], meter.part.phase(f)));
        QCOMPARE(p[14], f);
    }
    // An overloaded point: its values are the overload's, its frequencies stand.
    QCOMPARE(v[Fields], 1000.0);
    for (int c = 1; c <= 13; ++c)
        QCOMPARE(v[Fields + c], 9.9e37);
    QCOMPARE(v[Fields + 14], 1000.0);
    QCOMPARE(Errors(session), QList<int>{});
    // Frequencies and single-precision values come back whole.
    QVERIFY(answer.startsWith("+1.00000000E+02,"));
    QCOMPARE(Send(session, "SWE:DATA? 1"), QByteArray("\n"));
    QCOMPARE(Errors(session), QList<int>{ParameterNotAllowed});
}

void TestScpiCommands::fitOfLastRun() {
    Fake::Instrument meter;
    Client session(meter);
    Send(session, "FIT? series-rc");
    QCOMPARE(Errors(session), QList<int>{DataStale});
    Send(session, "SWE:SPAC LOG;STAR 100;STOP 100000;POIN 12;:DISP:PAGE LIST;:INIT");
    QCOMPARE(Send(session, "FIT? \"Series-RC\""), QByteArray());
    for (int i = 0; i < 12; ++i)
        meter.deliver();
    session.poll();
    const QByteArray answer = Drain(session);
    QVERIFY2(answer.endsWith('\n') && answer.count('\n') == 1, answer.constData());
    const QJsonObject fit = QJsonDocument::fromJson(answer).object();
    QCOMPARE(fit.value("model").toString(), QString("series-rc"));
    QCOMPARE(fit.value("status").toString(), QString("ok"));
    QCOMPARE(fit.value("points_used").toInt(), 12);
    const QJsonObject elements = fit.value("elements").toObject();
    QVERIFY(Near(elements.value("R").toObject().value("value").toDouble(), 50.0));
    QVERIFY(Near(elements.value("C").toObject().value("value").toDouble(), 100e-9));
    // auto picks the series R-C of this part.
    const QJsonObject best = QJsonDocument::fromJson(Send(session, "FIT? AUTO")).object();
    QCOMPARE(best.value("model").toString(), QString("series-rc"));
    // A circuit string, which arrives in lower case: its own keys, the same values.
    const QJsonObject string = QJsonDocument::fromJson(Send(session, "FIT? \"R1-C1\"")).object();
    QCOMPARE(string.value("model").toString(), QString("R1-C1"));
    const QJsonObject values = string.value("elements").toObject();
    QVERIFY(Near(values.value("R1").toObject().value("value").toDouble(), 50.0));
    QVERIFY(Near(values.value("C1").toObject().value("value").toDouble(), 100e-9));
    QCOMPARE(Errors(session), QList<int>{});
    // An unknown model and a missing one are refused with one empty line each.
    QCOMPARE(Send(session, "FIT? cubic;FIT?"), QByteArray(";\n"));
    QCOMPARE(Errors(session), (QList<int>{IllegalParameterValue, MissingParameter}));
}

void TestScpiCommands::correctionSettings_data() {
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

void TestScpiCommands::correctionSettings() {
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
void TestScpiCommands::correctionRuns() {
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
void TestScpiCommands::correctedReading() {
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

void TestScpiCommands::comparatorSettings_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    const QByteArray noLimitsField = "+9.91000E+37,+9.91000E+37";
    const QByteArray noLimits = noLimitsField + "\n";
    QTest::newRow("state") << QByteArray("COMP ON;COMP?;:COMP:STAT OFF;STAT?")
                           << QByteArray("1;0\n") << none;
    QTest::newRow("mode") << QByteArray("COMP:MODE?;MODE ATOL;MODE?;MODE sequence;MODE?;MODE XYZ")
                          << QByteArray("PTOL;ATOL;SEQ\n") << QList<int>{IllegalParameterValue};
    QTest::newRow("nominal with a prefix")
        << QByteArray("COMP:TOL:NOM 100n;NOM?") << QByteArray("+1.00000E-07\n") << none;
    QTest::newRow("nominal no number")
        << QByteArray("COMP:TOL:NOM ABC;NOM MAX;NOM 1V;NOM?") << QByteArray("+0.00000E+00\n")
        << QList<int>{DataTypeError, IllegalParameterValue, InvalidSuffix};
    QTest::newRow("bins") << QByteArray("COMP:TOL:NOM 100n;BIN1 -1,1;BIN2 -5,5;BIN1?;BIN2?;BIN3?")
                          << QByteArray("-1.00000E+00,+1.00000E+00;-5.00000E+00,+5.00000E+00;") +
                                 noLimits
                          << none;
    QTest::newRow("percent bins without a nominal")
        << QByteArray("COMP:TOL:BIN1 -1,1;BIN1?") << noLimits << QList<int>{SettingsConflict};
    QTest::newRow("nominal taken away from percent bins")
        << QByteArray("COMP:TOL:NOM 1;BIN1 -1,1;NOM 0;NOM?") << QByteArray("+1.00000E+00\n")
        << QList<int>{SettingsConflict};
    QTest::newRow("percent mode over bins without a nominal")
        << QByteArray("COMP:MODE ATOL;TOL:BIN1 -1,1;:COMP:MODE PTOL;MODE?") << QByteArray("ATOL\n")
        << QList<int>{SettingsConflict};
    QTest::newRow("bin reversed") << QByteArray("COMP:TOL:NOM 1;BIN1 2,1;BIN1?") << noLimits
                                  << QList<int>{DataOutOfRange};
    QTest::newRow("bin above a gap") << QByteArray("COMP:TOL:NOM 1;BIN1 -1,1;BIN3 -2,2;BIN3?")
                                     << noLimits << QList<int>{SettingsConflict};
    QTest::newRow("bin parameters")
        << QByteArray("COMP:TOL:NOM 1;BIN1 1;BIN1 1,2,3;BIN1 A,1") << QByteArray()
        << QList<int>{MissingParameter, ParameterNotAllowed, DataTypeError};
    QTest::newRow("no tenth bin") << QByteArray("COMP:TOL:BIN10 -1,1") << QByteArray()
                                  << QList<int>{UndefinedHeader};
    QTest::newRow("sequence") << QByteArray("COMP:SEQ:BIN 1n,2n,5n;BIN?")
                              << QByteArray("+1.00000E-09,+2.00000E-09,+5.00000E-09\n") << none;
    QTest::newRow("sequence not ascending")
        << QByteArray("COMP:SEQ:BIN 1,2;BIN 1,3,3;BIN?")
        << QByteArray("+1.00000E+00,+2.00000E+00\n") << QList<int>{DataOutOfRange};
    QTest::newRow("sequence of 2 to 10")
        << QByteArray("COMP:SEQ:BIN 1;BIN 1,2,3,4,5,6,7,8,9,10,11;BIN 1,2,3,4,5,6,7,8,9,10")
        << QByteArray() << QList<int>{MissingParameter, ParameterNotAllowed};
    QTest::newRow("secondary limits")
        << QByteArray("COMP:SLIM 0,10m;SLIM?;SLIM 0.1,0.01;SLIM?")
        << QByteArray("+0.00000E+00,+1.00000E-02;+0.00000E+00,+1.00000E-02\n")
        << QList<int>{DataOutOfRange};
    QTest::newRow("switches")
        << QByteArray("COMP:ABIN?;ABIN ON;ABIN?;SWAP?;SWAP 1;SWAP?;BIN:COUN?;COUN OFF;COUN:STAT?")
        << QByteArray("0;1;0;1;1;0\n") << none;
    QTest::newRow("clear every limit")
        << QByteArray("COMP:TOL:NOM 1;BIN1 -1,1;:COMP:SEQ:BIN 1,2;:COMP:SLIM 0,1;:COMP:BIN:CLE;"
                      ":COMP:TOL:BIN1?;:COMP:SEQ:BIN?;:COMP:SLIM?;:COMP:TOL:NOM?")
        << noLimitsField + ";;" + noLimitsField + ";+1.00000E+00\n"
        << none;
    QTest::newRow("counts") << QByteArray("COMP:BIN:COUN:DATA?;CLE")
                            << QByteArray("0,0,0,0,0,0,0,0,0,0,0\n") << none;
}

void TestScpiCommands::comparatorSettings() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, line), answer);
    QCOMPARE(Errors(session), errors);
}

// The plan in the quantities of the function type: its circuit, SWAP, an angle in radians
// judged in degrees (its limits converted, percentages left as they are).
void TestScpiCommands::comparatorPlan() {
    ComparatorSettings settings;
    settings.mode = Sort::Mode::AbsoluteTolerance;
    settings.nominal = 1.0;
    settings.bins = {{-0.5, 0.5}};
    settings.secondary = {0.0, 0.1};
    Sort::Plan plan = ComparatorPlan(settings, FindFunctionType("CPD"));
    QCOMPARE(plan.primary, static_cast<int>(Device::ParC));
    QCOMPARE(plan.secondary, static_cast<int>(Device::ParD));
    QCOMPARE(plan.seriesCircuit, std::optional<bool>(false));
    QCOMPARE(*plan.bins[0].high, 0.5);
    plan = ComparatorPlan(settings, FindFunctionType("LSRS"));
    QCOMPARE(plan.primary, static_cast<int>(Device::ParL));
    QCOMPARE(plan.seriesCircuit, std::optional<bool>(true));
    settings.swap = true;
    plan = ComparatorPlan(settings, FindFunctionType("ZTR"));
    QCOMPARE(plan.primary, static_cast<int>(Device::ParFiz));
    QCOMPARE(plan.secondary, static_cast<int>(Device::ParZ));
    QVERIFY(Near(plan.nominal, 57.2957795));
    QVERIFY(Near(*plan.bins[0].high, 28.6478898));
    QCOMPARE(*plan.secondaryLimits.high, 0.1);
    settings.mode = Sort::Mode::PercentTolerance;
    plan = ComparatorPlan(settings, FindFunctionType("YTR"));
    QCOMPARE(plan.primary, static_cast<int>(Device::ParFiy));
    QCOMPARE(*plan.bins[0].high, 0.5);
    settings.mode = Sort::Mode::Sequential;
    settings.boundaries = {-1.0, 1.0};
    plan = ComparatorPlan(settings, FindFunctionType("YTR"));
    QVERIFY(Near(plan.boundaries[1], 57.2957795));
    QVERIFY(plan.bins.empty());
}

// One meter, one comparator: a second client sees and changes the first one's; the plan is in
// the function of the client that set it last, and follows FUNC:IMP while the comparator is on.
void TestScpiCommands::comparatorShared() {
    Fake::Instrument meter;
    Client first(meter);
    Client second(meter);
    Send(first, "FUNC:IMP CSRS;:COMP:TOL:NOM 100n;BIN1 -1,1;:COMP ON");
    QCOMPARE(meter.comparatorSettings.function, FindFunctionType("CSRS"));
    QCOMPARE(Send(second, "COMP?;:COMP:TOL:BIN1?"), QByteArray("1;-1.00000E+00,+1.00000E+00\n"));
    Send(second, "FUNC:IMP LSD");
    QCOMPARE(meter.comparatorSettings.function, FindFunctionType("LSD"));
    Send(second, "COMP OFF;:FUNC:IMP RX");
    QCOMPARE(meter.comparatorSettings.function, FindFunctionType("LSD"));
    QCOMPARE(Send(first, "COMP?"), QByteArray("0\n"));
    QCOMPARE(Errors(first), QList<int>{});
    // Limits that no longer fit in degrees leave the plan in the function it had.
    Send(second, "COMP:MODE SEQ;SEQ:BIN 0,1E307;:COMP:SWAP ON;:COMP ON;:FUNC:IMP ZTR");
    QCOMPARE(meter.comparatorSettings.function, FindFunctionType("RX"));
    QCOMPARE(Errors(second), QList<int>{DataOutOfRange});
    QCOMPARE(Errors(second), QList<int>{});
}

// FETC? answers the bin of the reading it gives, judged in the client's function: 1 to 9, 0 OUT,
// 10 AUX, -1 without a verdict; off, its three fields as ever, and the list's four.
void TestScpiCommands::comparatorBinInFetch() {
    Fake::Instrument meter;
    meter.deliver();
    Client session(meter);
    const QByteArray off = Send(session, "FETC?");
    QCOMPARE(off.count(','), 2);
    Send(session, "FUNC:IMP CSRS;:COMP:TOL:NOM 100n;BIN1 -1,1;BIN2 -5,5;:COMP ON");
    const auto bin = [&](double capacitance) {
        meter.part.capacitance = capacitance;
        meter.deliver();
        const QByteArray answer = Send(session, "FETC?");
        return answer.mid(answer.lastIndexOf(',') + 1).trimmed();
    };
    QCOMPARE(bin(100.5e-9), QByteArray("+1"));
    QCOMPARE(bin(97e-9), QByteArray("+2"));
    QCOMPARE(bin(94e-9), QByteArray("+0"));
    QCOMPARE(bin(105e-9), QByteArray("+2")); // on the limit: inside
    Send(session, "COMP:SLIM 0,1m");         // D of 50 ohm at 1 kHz is about 0.03
    QCOMPARE(bin(100e-9), QByteArray("+0"));
    Send(session, "COMP:ABIN ON");
    QCOMPARE(bin(100e-9), QByteArray("+10"));
    Send(session, "COMP:SWAP ON;SWAP OFF;:COMP:BIN:CLE;:COMP:TOL:BIN1 -1,1");
    meter.overload = true;
    QCOMPARE(bin(100e-9), QByteArray("-1"));
    meter.overload = false;
    // In the client's own function: Cp of the same part lies 0.1 % below its Cs.
    Send(session, "FUNC:IMP CPD;:COMP:TOL:NOM 99.9n");
    QCOMPARE(bin(100e-9), QByteArray("+1"));
    QCOMPARE(Send(session, "FETC?").count(','), 3);
    QCOMPARE(Send(session, "DISP:PAGE LIST;:FETC?"),
             QByteArray("+9.90000E+37,+9.90000E+37,-1,+0\n"));
    Errors(session);
    QCOMPARE(Send(session, "DISP:PAGE MEAS;:COMP OFF;:FETC?"), off);
    QCOMPARE(Errors(session), QList<int>{});
}

// A trigger's complete reading has the instrument sort the part, once per trigger, only with the
// comparator on and only on a measurement.
void TestScpiCommands::comparatorCountsTriggers() {
    Fake::Instrument meter;
    meter.deliver();
    Client session(meter);
    Send(session, "TRIG:SOUR BUS;:APER MED,2;:TRIG");
    meter.deliver();
    session.poll();
    meter.deliver();
    session.poll();
    QCOMPARE(meter.triggeredSorts, 0);
    Send(session, "COMP ON;:TRIG");
    meter.deliver();
    session.poll();
    QCOMPARE(meter.triggeredSorts, 0); // one of the trigger's two readings
    meter.deliver();
    session.poll();
    meter.deliver();
    session.poll();
    QCOMPARE(meter.triggeredSorts, 1);
    Send(session, "TRIG");
    meter.overload = true;
    meter.deliver();
    session.poll();
    meter.overload = false;
    meter.deliver();
    session.poll();
    QCOMPARE(meter.triggeredSorts, 1);
    Send(session, "TRIG:SOUR INT;:TRIG");
    meter.deliver();
    session.poll();
    QCOMPARE(meter.triggeredSorts, 1);
    meter.counters[0] = 3;
    meter.counters[10] = 1;
    QCOMPARE(Send(session, "COMP:BIN:COUN:DATA?"), QByteArray("3,0,0,0,0,0,0,0,0,0,1\n"));
    Send(session, "COMP:BIN:COUN:CLE");
    QCOMPARE(meter.counters, BinCounters{});
}

QTEST_GUILESS_MAIN(TestScpiCommands)
#include "test_scpi_commands.moc"
