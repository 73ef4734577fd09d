// The command table against a fake meter, without sockets: answers, errors and their queue,
// status registers, the reset and the bounds of one turn.
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
using RemoteTest::Send;

} // namespace

class TestScpiCommands : public QObject {
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void identityWithoutMeter();
    void resetDefaults();
    void errorQueueBound();
    void overlongLines();
    void statusRegisters();
    void pumpIsBounded();
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

QTEST_GUILESS_MAIN(TestScpiCommands)
#include "test_scpi_commands.moc"
