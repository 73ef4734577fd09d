// The comparator through the command table against a fake meter: its settings, the core's
// plan they make, one state for every client, the bin in FETC? and the counted triggers.
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
using RemoteTest::Send;

} // namespace

class TestScpiComparator : public QObject {
    Q_OBJECT
private slots:
    void comparatorSettings_data();
    void comparatorSettings();
    void comparatorPlan();
    void comparatorShared();
    void comparatorBinInFetch();
    void comparatorCountsTriggers();
    void batchIsARun();
};

void TestScpiComparator::comparatorSettings_data() {
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

void TestScpiComparator::comparatorSettings() {
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
void TestScpiComparator::comparatorPlan() {
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
void TestScpiComparator::comparatorShared() {
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
void TestScpiComparator::comparatorBinInFetch() {
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
void TestScpiComparator::comparatorCountsTriggers() {
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

// The comparator a client switched on sorts a batch of its own, a run like a sweep: another
// client's settings of the conditions are -221 and reach no setter while the owner's go through;
// ABOR or *RST from anyone ends it, and so does the owner's going. A comparator on by the
// window's hand is no client's batch.
void TestScpiComparator::batchIsARun() {
    const QByteArray conflict = "-221,\"Settings conflict\"";
    Fake::Instrument meter;
    Client owner(meter);
    Client other(meter);
    Send(owner, "COMP:TOL:NOM 100n;BIN1 -1,1;:COMP ON");
    QCOMPARE(Send(other, "FREQ 3000;:VOLT 0.1;:SYST:ERR?;ERR?;ERR?"),
             conflict + ';' + conflict + ";0,\"No error\"\n");
    QVERIFY(!meter.calls.contains(QStringLiteral("FREQ 3000")));
    QCOMPARE(Send(owner, "FREQ 4000;:SYST:ERR?"), QByteArray("0,\"No error\"\n"));
    QVERIFY(meter.calls.contains(QStringLiteral("FREQ 4000")));
    Send(other, "ABOR");
    QCOMPARE(Send(owner, "COMP?"), QByteArray("0\n"));
    QCOMPARE(Send(other, "FREQ 3000;:SYST:ERR?"), QByteArray("0,\"No error\"\n"));
    Send(owner, "COMP ON");
    QCOMPARE(Send(other, "*RST;:COMP?;:SYST:ERR?"), QByteArray("0;0,\"No error\"\n"));
    {
        Client going(meter);
        Send(going, "COMP ON");
        QCOMPARE(Send(other, "FREQ 5000;:SYST:ERR?"), conflict + '\n');
    }
    QCOMPARE(Send(other, "COMP?;:FREQ 5000;:SYST:ERR?"), QByteArray("0;0,\"No error\"\n"));
    meter.comparatorSettings.on = true; // the window's
    QCOMPARE(Send(other, "FREQ 6000;:ABOR;:COMP?;:SYST:ERR?"), QByteArray("1;0,\"No error\"\n"));
}

QTEST_GUILESS_MAIN(TestScpiComparator)
#include "test_scpi_comparator.moc"
