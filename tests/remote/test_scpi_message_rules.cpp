// The rules a client's messages follow, without sockets: bounded input, one answer line per line
// of queries, the reaction to query lines that cannot be parsed, runs that another client cannot
// spoil, and the status registers a script polls.
#include "fake_instrument.h"

#include "remote/client.h"
#include "remote/input_lines.h"
#include "remote/scpi_parser.h"

#include "tests/remote/client_exchange.h"

#include <QtTest>

using namespace Remote;

namespace {

using RemoteTest::Drain;
using RemoteTest::Errors;
using RemoteTest::Send;

// A list run of two points started by session on the fake meter.
void StartListRun(Client &session) {
    QCOMPARE(Send(session, "LIST:FREQ 100,200;:DISP:PAGE LIST;:INIT;:SYST:ERR?"),
             QByteArray("0,\"No error\"\n"));
}

} // namespace

class TestScpiMessageRules : public QObject {
    Q_OBJECT
private slots:
    void inputBounds_data();
    void inputBounds();
    void overlongLineOwesAnswerOnlyToQueries();
    void holdsQuery_data();
    void holdsQuery();
    void oneLinePerMessage_data();
    void oneLinePerMessage();
    void heldAnswerJoinsItsLine();
    void limitQueries_data();
    void limitQueries();
    void refusedSettings();
    void runOfAnotherClient();
    void resetEndsAnotherClientsRun();
    void incompleteRunIsTold();
    void serviceRequestMask();
    void statusSubsystem();
};

// What the server may read more of: never past the byte or the line bound, whatever the mix.
void TestScpiMessageRules::inputBounds_data() {
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<bool>("full");
    QTest::newRow("few lines") << QByteArray("*CLS\n") << 10 << false;
    QTest::newRow("as many lines as allowed")
        << QByteArray("*CLS\n") << InputLines::MaxLines << true;
    QTest::newRow("one line fewer") << QByteArray("*CLS\n") << InputLines::MaxLines - 1 << false;
    QTest::newRow("empty lines count") << QByteArray("\n") << InputLines::MaxLines << true;
    QTest::newRow("long lines fill the bytes") << QByteArray(1000, 'A') + '\n'
                                               << InputLines::MaxLine / 1000 + 1 << true;
    QTest::newRow("an incomplete line at the bound")
        << QByteArray(1024, 'A') << InputLines::MaxLine / 1024 << false;
    QTest::newRow("an incomplete line past the bound is dropped")
        << QByteArray(1024, 'A') << InputLines::MaxLine / 1024 + 8 << false;
}

void TestScpiMessageRules::inputBounds() {
    QFETCH(QByteArray, chunk);
    QFETCH(int, repeat);
    QFETCH(bool, full);
    InputLines lines;
    for (int i = 0; i < repeat; ++i)
        lines.feed(chunk);
    QCOMPARE(lines.full(), full);
    QVERIFY(lines.queuedBytes() <= InputLines::MaxLine + chunk.size());
    // Taking a line makes room again.
    InputLines::Line line;
    if (lines.take(line)) QVERIFY(!lines.full() || lines.queuedLines() >= InputLines::MaxLines);
}

void TestScpiMessageRules::overlongLineOwesAnswerOnlyToQueries() {
    Fake::Instrument meter;
    Client session(meter);
    // A '?' only at the end of an overlong line, after the bound was passed.
    session.feed(QByteArray(Client::MaxLine + 10, 'X'));
    session.feed(QByteArray(100, 'Y') + ";*IDN?\n");
    QCOMPARE(Drain(session), QByteArray("\n"));
    // An overlong command without a query answers nothing, but its error.
    session.feed(QByteArray(Client::MaxLine + 10, 'X') + "\n*TST?\n");
    QCOMPARE(Drain(session), QByteArray("0\n"));
    QCOMPARE(Errors(session), (QList<int>{CommandError, CommandError}));
}

void TestScpiMessageRules::holdsQuery_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<bool>("query");
    QTest::newRow("query") << QByteArray("FREQ?") << true;
    QTest::newRow("command") << QByteArray("FREQ 100") << false;
    QTest::newRow("space before the mark") << QByteArray("FREQ ?") << true;
    QTest::newRow("double colon") << QByteArray("::FREQ?") << true;
    QTest::newRow("NUL before") << QByteArray("\0*IDN?", 6) << true;
    QTest::newRow("quoted mark") << QByteArray("FIT \"a?b\"") << false;
    QTest::newRow("quoted then query") << QByteArray("FIT? 'x'") << true;
}

void TestScpiMessageRules::holdsQuery() {
    QFETCH(QByteArray, unit);
    QFETCH(bool, query);
    QCOMPARE(HoldsQuery(unit), query);
}

// The answers of one line come on one line, separated by ';'; a query that fails or cannot be
// parsed answers an empty field, so a client always gets exactly one line per line of queries.
void TestScpiMessageRules::oneLinePerMessage_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    QTest::newRow("two queries") << QByteArray("FREQ?;VOLT?")
                                 << QByteArray("+1.00000E+03;+1.00000E+00\n") << none;
    QTest::newRow("commands between") << QByteArray("FREQ 2000;FREQ?;:VOLT 0.1;VOLT?;*TST?")
                                      << QByteArray("+2.00000E+03;+1.00000E-01;0\n") << none;
    QTest::newRow("a failed query keeps its place")
        << QByteArray("FREQ?;FOO?;*TST?") << QByteArray("+1.00000E+03;;0\n")
        << QList<int>{UndefinedHeader};
    QTest::newRow("double colon") << QByteArray("::FREQ?") << QByteArray("\n")
                                  << QList<int>{SyntaxError};
    QTest::newRow("space before the mark")
        << QByteArray("FREQ ?") << QByteArray("\n") << QList<int>{DataTypeError};
    QTest::newRow("NUL before a query")
        << QByteArray("\0*IDN?", 6) << QByteArray("\n") << QList<int>{SyntaxError};
    QTest::newRow("commands only") << QByteArray("FREQ 100;VOLT 0.1") << QByteArray() << none;
    QTest::newRow("a range then its query")
        << QByteArray("FUNC:IMP:RANG 100;FUNC:IMP:RANG?") << QByteArray("+1.00000E+02\n") << none;
}

void TestScpiMessageRules::oneLinePerMessage() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, line), answer);
    QCOMPARE(Errors(session), errors);
}

void TestScpiMessageRules::heldAnswerJoinsItsLine() {
    Fake::Instrument meter;
    Client session(meter);
    meter.deliver();
    QCOMPARE(Send(session, "*TST?;FREQ 2000;FETC?;FREQ?"), QByteArray("0"));
    meter.deliver();
    session.poll();
    const QByteArray answer = Drain(session);
    QVERIFY2(answer.endsWith(";+2.00000E+03\n") && answer.count('\n') == 1, answer.constData());
    QCOMPARE(answer.count(';'), 2);
}

void TestScpiMessageRules::limitQueries_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("frequency") << QByteArray("FREQ? MIN;FREQ? MAX;FREQ?")
                               << QByteArray("+2.50000E+01;+3.00000E+06;+1.00000E+03\n");
    QTest::newRow("level") << QByteArray("VOLT? MIN;VOLT? MAX")
                           << QByteArray("+5.00000E-03;+1.00000E+00\n");
    QTest::newRow("bias") << QByteArray("BIAS:VOLT? MIN;BIAS:VOLT? MAXIMUM")
                          << QByteArray("+0.00000E+00;+4.00000E+01\n");
    QTest::newRow("range") << QByteArray("FUNC:IMP:RANG? MIN;RANG? MAX")
                           << QByteArray("+1.00000E+00;+1.00000E+07\n");
    QTest::newRow("sweep") << QByteArray("SWE:STAR? MIN;STOP? MAX;POIN? MIN;POIN? MAX")
                           << QByteArray("+2.50000E+01;+3.00000E+06;+2;+256\n");
    QTest::newRow("a number is no bound") << QByteArray("FREQ? 5") << QByteArray("\n");
}

void TestScpiMessageRules::limitQueries() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, line), answer);
}

// Settings the meter cannot take are said so, not dropped without a word.
void TestScpiMessageRules::refusedSettings() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "DISP:ENAB OFF;ENAB?"), QByteArray("1\n"));
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
    QCOMPARE(Send(session, "DISP:ENAB ON;ENAB?"), QByteArray("1\n"));
    meter.calls.clear();
    QCOMPARE(Send(session, "BIAS:VOLT 0;STAT ON;STAT?"), QByteArray("0\n"));
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
    QVERIFY(!meter.calls.contains(QStringLiteral("BIASON 1")));
    QCOMPARE(Send(session, "BIAS:VOLT 1;STAT ON;STAT?"), QByteArray("1\n"));
    // *RST takes the bias back to 0 V and off.
    Send(session, "*RST");
    QCOMPARE(meter.state.biasMillivolts, 0);
    QVERIFY(!meter.state.biasOn);
}

// While one client's run goes, another's settings are refused and reach no setter; the owner's
// own go through, and once the run is over everyone's do.
void TestScpiMessageRules::runOfAnotherClient() {
    Fake::Instrument meter;
    Client owner(meter);
    Client other(meter);
    StartListRun(owner);
    meter.calls.clear();
    for (const QByteArray &setting :
         {QByteArray("FREQ 5000"), QByteArray("VOLT 0.1"), QByteArray("BIAS:VOLT 2"),
          QByteArray("FUNC:IMP:RANG 100"), QByteArray("FUNC:IMP:RANG:AUTO ON"),
          QByteArray("APER LONG"), QByteArray("BIAS:SOUR EXT")}) {
        Send(other, setting);
        QCOMPARE(Errors(other), QList<int>{SettingsConflict});
    }
    QVERIFY2(meter.calls.isEmpty(), qPrintable(meter.calls.join(',')));
    // Queries and the client's own choices are no settings of the meter.
    QCOMPARE(Send(other, "FREQ?;FUNC:IMP RX;FUNC:IMP?"), QByteArray("+1.00000E+03;RX\n"));
    QCOMPARE(Errors(other), QList<int>());
    Send(owner, "VOLT 0.5");
    QCOMPARE(Errors(owner), QList<int>());
    meter.deliver();
    meter.deliver();
    QVERIFY(!meter.listState().running);
    Send(other, "FREQ 5000");
    QCOMPARE(Errors(other), QList<int>());
    QVERIFY(meter.calls.contains(QStringLiteral("FREQ 5000")));
}

void TestScpiMessageRules::resetEndsAnotherClientsRun() {
    Fake::Instrument meter;
    Client owner(meter);
    Client other(meter);
    StartListRun(owner);
    meter.deliver(); // one of two points
    Send(other, "*RST");
    QCOMPARE(Errors(other), QList<int>());
    QVERIFY(!meter.listState().running);
    QVERIFY(meter.calls.contains(QStringLiteral("APPLY")));
    // The run that was stopped says so, and is fitted by no one.
    QCOMPARE(Send(owner, "SWE:DATA?").count(','), 14);
    QCOMPARE(Errors(owner), QList<int>{RunIncomplete});
    QCOMPARE(Send(other, "FIT? AUTO"), QByteArray("\n"));
    QCOMPARE(Errors(other), QList<int>{RunIncomplete});
}

void TestScpiMessageRules::incompleteRunIsTold() {
    Fake::Instrument meter;
    Client session(meter);
    StartListRun(session);
    meter.deliver();
    meter.deliver();
    QCOMPARE(Send(session, "SWE:DATA?").count(','), 2 * 15 - 1);
    QCOMPARE(Errors(session), QList<int>());
    StartListRun(session);
    meter.deliver();
    Send(session, "ABOR");
    QCOMPARE(Send(session, "SWE:STAT?"), QByteArray("0,0\n"));
    QCOMPARE(Errors(session), QList<int>{RunIncomplete});
}

// *STB? sets the master summary only for what *SRE enables; the summaries follow the registers.
void TestScpiMessageRules::serviceRequestMask() {
    Fake::Instrument meter;
    Client session(meter);
    Send(session, "*ESE 32;FOO");
    QCOMPARE(Send(session, "*STB?"), QByteArray("36\n")); // queue and event summary, no MSS
    QCOMPARE(Send(session, "*SRE 4;*SRE?;*STB?"), QByteArray("4;100\n"));
    QCOMPARE(Send(session, "*SRE 64;*SRE?"), QByteArray("0\n")); // bit 6 cannot be enabled
    Send(session, "*SRE 128");
    QCOMPARE(Send(session, "*STB?"), QByteArray("36\n"));
    Send(session, "STAT:OPER:ENAB 16");
    meter.deliver();
    QCOMPARE(Send(session, "*STB?"), QByteArray("228\n")); // + operation summary + MSS
    Send(session, "*CLS");
    QCOMPARE(Send(session, "*STB?"), QByteArray("0\n"));
}

void TestScpiMessageRules::statusSubsystem() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "STAT:OPER?;STAT:OPER:COND?"), QByteArray("0;16\n"));
    meter.deliver();
    QCOMPARE(Send(session, "STAT:OPER:EVEN?;:STAT:OPER?"), QByteArray("16;0\n"));
    StartListRun(session);
    QCOMPARE(Send(session, "STAT:OPER:COND?"), QByteArray("24\n"));
    meter.deliver();
    meter.deliver();
    QCOMPARE(Send(session, "STAT:OPER?"), QByteArray("24\n")); // readings and the run's end
    QCOMPARE(Send(session, "STAT:OPER:ENAB 24;ENAB?;:STAT:PRES;:STAT:OPER:ENAB?"),
             QByteArray("24;0\n"));
    meter.overload = true;
    meter.deliver();
    QCOMPARE(Send(session, "STAT:QUES?;QUES?;QUES:COND?"), QByteArray("1;0;0\n"));
    meter.line = LineState::LineLost;
    QCOMPARE(Send(session, "STAT:QUES:COND?;:STAT:QUES?"), QByteArray("2;2\n"));
    QCOMPARE(Send(session, "STAT:QUES:ENAB 40000"), QByteArray());
    QCOMPARE(Errors(session), QList<int>{DataOutOfRange});
    // Another client's events are its own.
    Client other(meter);
    meter.line = LineState::Ready;
    meter.deliver();
    QCOMPARE(Send(other, "STAT:OPER?"), QByteArray("16\n"));
}

QTEST_GUILESS_MAIN(TestScpiMessageRules)
#include "test_scpi_message_rules.moc"
