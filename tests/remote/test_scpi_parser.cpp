// The SCPI syntax as pure functions: units, headers, numbers and suffixes, booleans, answers,
// header patterns, the meter's levels and ranges, and the values of the function types.
#include "remote/command_table.h"
#include "remote/function_types.h"
#include "remote/instrument.h"
#include "remote/meter_values.h"
#include "remote/scpi_parser.h"

#include <QtTest>

#include <cmath>

using namespace Remote;

class TestScpiParser : public QObject {
    Q_OBJECT
private slots:
    void units_data();
    void units();
    void headers_data();
    void headers();
    void numbers_data();
    void numbers();
    void booleans_data();
    void booleans();
    void answers();
    void patterns_data();
    void patterns();
    void levelsAndRanges();
    void functionTypes_data();
    void functionTypes();
    void complexMean();
};

void TestScpiParser::units_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("units");
    QTest::newRow("one") << QByteArray("FREQ 1000") << QStringList{"FREQ 1000"};
    QTest::newRow("two") << QByteArray("FREQ 1;VOLT 1") << QStringList{"FREQ 1", "VOLT 1"};
    QTest::newRow("blanks and empty units") << QByteArray("  ;; *IDN? ; ") << QStringList{"*IDN?"};
    QTest::newRow("semicolon in a string")
        << QByteArray("DISP:PAGE \"a;b\";*CLS") << QStringList{"DISP:PAGE \"a;b\"", "*CLS"};
    QTest::newRow("single quotes") << QByteArray("X 'a;b'") << QStringList{"X 'a;b'"};
    QTest::newRow("nothing") << QByteArray("") << QStringList{};
}

void TestScpiParser::units() {
    QFETCH(QByteArray, line);
    QFETCH(QStringList, units);
    QStringList got;
    int pos = 0;
    QByteArray unit;
    while (NextUnit(line, pos, unit))
        got << QString::fromLatin1(unit);
    QCOMPARE(got, units);
}

void TestScpiParser::headers_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("common");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<bool>("query");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QStringList>("parameters");
    QTest::newRow("common query") << QByteArray("*idn?") << 0 << true << false << true
                                  << QStringList{"*IDN"} << QStringList{};
    QTest::newRow("long form, lower case")
        << QByteArray("sense:frequency:cw 1e3") << 0 << false << false << false
        << QStringList{"SENSE", "FREQUENCY", "CW"} << QStringList{"1e3"};
    QTest::newRow("root colon") << QByteArray(":FREQ?") << 0 << false << true << true
                                << QStringList{"FREQ"} << QStringList{};
    QTest::newRow("parameters trimmed")
        << QByteArray("LIST:FREQ 1e3 ,  2KHZ,3000") << 0 << false << false << false
        << QStringList{"LIST", "FREQ"} << QStringList{"1e3", "2KHZ", "3000"};
    QTest::newRow("string keeps its comma")
        << QByteArray("X \"a,b\",1") << 0 << false << false << false << QStringList{"X"}
        << QStringList{"\"a,b\"", "1"};
    QTest::newRow("empty parameter")
        << QByteArray("LIST:FREQ 1,,2") << int(SyntaxError) << false << false << false
        << QStringList{"LIST", "FREQ"} << QStringList{"1"};
    QTest::newRow("trailing comma")
        << QByteArray("LIST:FREQ 1,") << int(SyntaxError) << false << false << false
        << QStringList{"LIST", "FREQ"} << QStringList{"1"};
    QTest::newRow("open string") << QByteArray("X \"abc") << int(SyntaxError) << false << false
                                 << false << QStringList{"X"} << QStringList{};
    QTest::newRow("double colon") << QByteArray("FREQ::CW 1") << int(SyntaxError) << false << false
                                  << false << QStringList{"FREQ"} << QStringList{};
    QTest::newRow("no blank before parameter")
        << QByteArray("FREQ,1") << int(SyntaxError) << false << false << false
        << QStringList{"FREQ"} << QStringList{};
    QTest::newRow("star alone") << QByteArray("*?") << int(SyntaxError) << true << false << false
                                << QStringList{} << QStringList{};
    QTest::newRow("digit first") << QByteArray("1FREQ") << int(SyntaxError) << false << false
                                 << false << QStringList{} << QStringList{};
    QTest::newRow("control byte") << QByteArray("FR\x01Q 1") << int(SyntaxError) << false << false
                                  << false << QStringList{"FR"} << QStringList{};
}

void TestScpiParser::headers() {
    QFETCH(QByteArray, unit);
    QFETCH(int, error);
    const ParsedCommand c = ParseCommand(unit);
    QCOMPARE(c.error, error);
    if (error != 0) return;
    QFETCH(bool, common);
    QFETCH(bool, absolute);
    QFETCH(bool, query);
    QFETCH(QStringList, nodes);
    QFETCH(QStringList, parameters);
    QCOMPARE(c.common, common);
    QCOMPARE(c.absolute, absolute);
    QCOMPARE(c.query, query);
    QStringList gotNodes;
    for (const QByteArray &n : c.nodes)
        gotNodes << QString::fromLatin1(n);
    QCOMPARE(gotNodes, nodes);
    QStringList gotParameters;
    for (const QByteArray &p : c.parameters)
        gotParameters << QString::fromLatin1(p);
    QCOMPARE(gotParameters, parameters);
}

void TestScpiParser::numbers_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("value");
    const int V = Number::Value;
    QTest::newRow("integer") << QByteArray("1000") << QByteArray("HZ") << 0 << V << 1000.0;
    QTest::newRow("NR2") << QByteArray("-.5") << QByteArray("") << 0 << V << -0.5;
    QTest::newRow("NR3") << QByteArray("1.5E+3") << QByteArray("HZ") << 0 << V << 1500.0;
    QTest::newRow("exponent with blanks")
        << QByteArray("1 e -3") << QByteArray("V") << 0 << V << 0.001;
    QTest::newRow("kHz") << QByteArray("1KHZ") << QByteArray("HZ") << 0 << V << 1000.0;
    QTest::newRow("k alone") << QByteArray("2.5k") << QByteArray("HZ") << 0 << V << 2500.0;
    QTest::newRow("MHZ is mega") << QByteArray("1MHZ") << QByteArray("HZ") << 0 << V << 1e6;
    QTest::newRow("M alone is milli") << QByteArray("1M") << QByteArray("HZ") << 0 << V << 1e-3;
    QTest::newRow("MA alone is mega") << QByteArray("1MA") << QByteArray("HZ") << 0 << V << 1e6;
    QTest::newRow("mA for a current") << QByteArray("1MA") << QByteArray("A") << 0 << V << 1e-3;
    QTest::newRow("mV") << QByteArray("100MV") << QByteArray("V") << 0 << V << 0.1;
    QTest::newRow("mV lower case") << QByteArray("100mv") << QByteArray("V") << 0 << V << 0.1;
    QTest::newRow("MOHM is mega") << QByteArray("1MOHM") << QByteArray("OHM") << 0 << V << 1e6;
    QTest::newRow("kOhm") << QByteArray("10 KOHM") << QByteArray("OHM") << 0 << V << 1e4;
    QTest::newRow("unit alone") << QByteArray("5V") << QByteArray("V") << 0 << V << 5.0;
    QTest::newRow("micro") << QByteArray("20UV") << QByteArray("V") << 0 << V << 20e-6;
    QTest::newRow("min") << QByteArray("min") << QByteArray("HZ") << 0 << int(Number::Minimum)
                         << 0.0;
    QTest::newRow("maximum") << QByteArray("MAXimum") << QByteArray("HZ") << 0
                             << int(Number::Maximum) << 0.0;
    QTest::newRow("wrong unit") << QByteArray("1V") << QByteArray("HZ") << int(InvalidSuffix) << V
                                << 0.0;
    QTest::newRow("unknown suffix")
        << QByteArray("1QQ") << QByteArray("HZ") << int(InvalidSuffix) << V << 0.0;
    QTest::newRow("digits after suffix")
        << QByteArray("1K5") << QByteArray("HZ") << int(InvalidSuffix) << V << 0.0;
    QTest::newRow("word") << QByteArray("ABC") << QByteArray("HZ") << int(DataTypeError) << V
                          << 0.0;
    QTest::newRow("sign only") << QByteArray("-") << QByteArray("") << int(DataTypeError) << V
                               << 0.0;
    QTest::newRow("too large") << QByteArray("1E400") << QByteArray("") << int(DataOutOfRange) << V
                               << 0.0;
}

void TestScpiParser::numbers() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, unit);
    QFETCH(int, error);
    QFETCH(int, kind);
    QFETCH(double, value);
    const Number n = ParseNumber(text, unit.constData());
    QCOMPARE(n.error, error);
    if (error != 0) return;
    QCOMPARE(int(n.kind), kind);
    if (kind == Number::Value)
        QVERIFY2(std::fabs(n.value - value) <= 1e-12 * std::fabs(value),
                 qPrintable(QString::number(n.value, 'g', 17)));
}

void TestScpiParser::booleans_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("value");
    QTest::newRow("ON") << QByteArray("on") << 0 << true;
    QTest::newRow("OFF") << QByteArray("OFF") << 0 << false;
    QTest::newRow("1") << QByteArray("1") << 0 << true;
    QTest::newRow("0") << QByteArray("0") << 0 << false;
    QTest::newRow("0.4 rounds to 0") << QByteArray("0.4") << 0 << false;
    QTest::newRow("word") << QByteArray("YES") << int(IllegalParameterValue) << false;
}

void TestScpiParser::booleans() {
    QFETCH(QByteArray, text);
    QFETCH(int, error);
    QFETCH(bool, value);
    const Boolean b = ParseBoolean(text);
    QCOMPARE(b.error, error);
    if (error == 0) QCOMPARE(b.value, value);
}

void TestScpiParser::answers() {
    QCOMPARE(FormatNr3(1e-7), QByteArray("+1.00000E-07"));
    QCOMPARE(FormatNr3(6.28318e-4), QByteArray("+6.28318E-04"));
    QCOMPARE(FormatNr3(-1500.0), QByteArray("-1.50000E+03"));
    QCOMPARE(FormatNr3(std::nan("")), QByteArray("+9.91000E+37"));
    QCOMPARE(FormatNr3(INFINITY), QByteArray("+9.91000E+37"));
    QCOMPARE(FormatNr3(2154435.0, 9), QByteArray("+2.15443500E+06"));
    QCOMPARE(FormatNr3(2154435.0), QByteArray("+2.15444E+06"));
    QCOMPARE(FormatNr1(0), QByteArray("+0"));
    QCOMPARE(FormatNr1(-1), QByteArray("-1"));
    const char *const forms[] = {"SHORt", "MEDium", "LONG", nullptr};
    QCOMPARE(ChooseMnemonic(forms, "med"), 1);
    QCOMPARE(ChooseMnemonic(forms, "MEDIUM"), 1);
    QCOMPARE(ChooseMnemonic(forms, "MEDI"), -1);
    QCOMPARE(ChooseMnemonic(forms, "long"), 2);
}

void TestScpiParser::patterns_data() {
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<bool>("matches");
    const QByteArray freq("[:SENSe]:FREQuency[:CW]");
    QTest::newRow("short") << freq << QStringList{"FREQ"} << true;
    QTest::newRow("long") << freq << QStringList{"FREQUENCY"} << true;
    QTest::newRow("all nodes") << freq << QStringList{"SENS", "FREQ", "CW"} << true;
    QTest::newRow("optional first") << freq << QStringList{"SENSE", "FREQ"} << true;
    QTest::newRow("between forms") << freq << QStringList{"FREQU"} << false;
    QTest::newRow("extra node") << freq << QStringList{"FREQ", "CW", "X"} << false;
    QTest::newRow("order") << freq << QStringList{"CW", "FREQ"} << false;
    const QByteArray range("[:SENSe]:FUNCtion:IMPedance:RANGe:AUTO");
    QTest::newRow("inner nodes required") << range << QStringList{"FUNC", "RANG", "AUTO"} << false;
    QTest::newRow("inner nodes") << range << QStringList{"FUNC", "IMP", "RANG", "AUTO"} << true;
    QTest::newRow("common") << QByteArray("*IDN") << QStringList{"*IDN"} << true;
}

void TestScpiParser::patterns() {
    QFETCH(QByteArray, pattern);
    QFETCH(QStringList, nodes);
    QFETCH(bool, matches);
    QVector<QByteArray> bytes;
    for (const QString &n : nodes)
        bytes.append(n.toLatin1());
    QCOMPARE(MatchPattern(ParsePattern(pattern.constData()), bytes), matches);
}

void TestScpiParser::levelsAndRanges() {
    QCOMPARE(MatchLevel(1.0), 1000);
    QCOMPARE(MatchLevel(0.0995), 100); // within 1 %
    QCOMPARE(MatchLevel(0.0505), 50);  // exactly 1 %
    QCOMPARE(MatchLevel(0.0506), -1);  // beyond it
    QCOMPARE(MatchLevel(0.2), -1);
    QCOMPARE(MatchLevel(0.005), 5);
    QCOMPARE(RangeFor(1e7), 0);
    QCOMPARE(RangeFor(1.0000001e7), -1);
    QCOMPARE(RangeFor(150.0), 4); // 1 kOm holds 150 ohms
    QCOMPARE(RangeFor(100.0), 5);
    QCOMPARE(RangeFor(0.0), 7);
    QCOMPARE(RangeFor(-1.0), -1);
    QCOMPARE(RangeFor(std::nan("")), -1);
}

void TestScpiParser::functionTypes_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    // Z = 30 - 40j ohms at 1 kHz: |Z| 50, Y = (30 + 40j) / 2500 = 0.012 + 0.016j S.
    const double w = 2 * M_PI * 1000;
    const double rs = 30, xs = -40, g = 0.012, b = 0.016;
    const double cs = -1 / (w * xs), cp = b / w, rp = 1 / g;
    const double ls = xs / w, lp = -1 / (w * b);
    const double d = rs / 40, q = 40 / rs;
    const double theta = std::atan2(-40.0, 30.0);
    QTest::newRow("CPD") << QByteArray("CPD") << cp << d;
    QTest::newRow("CPQ") << QByteArray("cpq") << cp << q;
    QTest::newRow("CPG") << QByteArray("CPG") << cp << g;
    QTest::newRow("CPRP") << QByteArray("CPRP") << cp << rp;
    QTest::newRow("CSD") << QByteArray("CSD") << cs << d;
    QTest::newRow("CSQ") << QByteArray("CSQ") << cs << q;
    QTest::newRow("CSRS") << QByteArray("CSRS") << cs << rs;
    QTest::newRow("LPD") << QByteArray("LPD") << lp << d;
    QTest::newRow("LPQ") << QByteArray("LPQ") << lp << q;
    QTest::newRow("LPG") << QByteArray("LPG") << lp << g;
    QTest::newRow("LPRP") << QByteArray("LPRP") << lp << rp;
    QTest::newRow("LSD") << QByteArray("LSD") << ls << d;
    QTest::newRow("LSQ") << QByteArray("LSQ") << ls << q;
    QTest::newRow("LSRS") << QByteArray("LSRS") << ls << rs;
    QTest::newRow("RX") << QByteArray("RX") << rs << xs;
    QTest::newRow("ZTD") << QByteArray("ZTD") << 50.0 << theta * 180 / M_PI;
    QTest::newRow("ZTR") << QByteArray("ZTR") << 50.0 << theta;
    QTest::newRow("GB") << QByteArray("GB") << g << b;
    QTest::newRow("YTD") << QByteArray("YTD") << 0.02 << -theta * 180 / M_PI;
    QTest::newRow("YTR") << QByteArray("YTR") << 0.02 << -theta;
}

void TestScpiParser::functionTypes() {
    QFETCH(QByteArray, name);
    QFETCH(double, a);
    QFETCH(double, b);
    const int type = FindFunctionType(name);
    QVERIFY(type >= 0);
    QCOMPARE(QByteArray(FunctionTypeName(type)), name.toUpper());
    const ValuePair v = FunctionValues(type, 50.0, std::atan2(-40.0, 30.0), 1000.0);
    QVERIFY2(std::fabs(v.a - a) <= 1e-9 * std::fabs(a), qPrintable(QString::number(v.a)));
    QVERIFY2(std::fabs(v.b - b) <= 1e-9 * std::fabs(b), qPrintable(QString::number(v.b)));
}

void TestScpiParser::complexMean() {
    // +j and -j average to zero reactance, not to a mean angle of zero with |Z| 1.
    Reading r[2];
    r[0].magnitude = 1.0;
    r[0].phase = M_PI / 2;
    r[1].magnitude = 1.0;
    r[1].phase = -M_PI / 2;
    r[1].frequency = 500;
    r[1].overload = false;
    r[0].overload = true;
    const Reading mean = AverageReadings(r, 2);
    QVERIFY(mean.magnitude < 1e-12);
    QCOMPARE(mean.frequency, 500.0);
    QVERIFY(mean.overload);
    r[0].phase = 0.0;
    r[1].phase = 0.0;
    r[1].magnitude = 3.0;
    QCOMPARE(AverageReadings(r, 2).magnitude, 2.0);
    QCOMPARE(FindFunctionType("XX"), -1);
}

QTEST_GUILESS_MAIN(TestScpiParser)
#include "test_scpi_parser.moc"
