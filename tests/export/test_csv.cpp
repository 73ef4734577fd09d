// CSV records and numbers: quoting, both dialects, UTF-8, full precision that reads back exactly,
// the SI columns of the parameters, and a device that refuses the record.
#include "export/csv.h"
#include "export/parameter_columns.h"
#include "tests/export/csv_reader.h"

#include <QBuffer>
#include <QtTest>

#include <cmath>
#include <random>

using namespace Export;

class TestCsv : public QObject {
    Q_OBJECT

private slots:
    void numbersInShortestForm_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("integer") << 1000.0 << "1000";
        QTest::newRow("fixed on a tie") << 10000.0 << "10000";
        QTest::newRow("scientific when shorter") << 100000.0 << "1e+05";
        QTest::newRow("fraction") << 0.1 << "0.1";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("small") << 1.5e-7 << "1.5e-07";
        QTest::newRow("large") << 1e21 << "1e+21";
        QTest::newRow("all digits") << 0.30000000000000004 << "0.30000000000000004";
        QTest::newRow("not a number") << std::nan("") << "nan";
        QTest::newRow("infinite") << -HUGE_VAL << "-inf";
    }
    void numbersInShortestForm() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatNumber(value), text);
        QString comma = text;
        comma.replace(QLatin1Char('.'), QLatin1Char(','));
        QCOMPARE(FormatNumber(value, QLatin1Char(',')), comma);
    }

    // Stored units to SI by moving the decimal point: no digits the float does not carry.
    void scaledValues_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("exponent");
        QTest::addColumn<QString>("text");
        QTest::newRow("pF to F") << 159154.9f << -12 << "1.591549e-07";
        QTest::newRow("mOhm to Ohm") << 1234.5f << -3 << "1.2345";
        QTest::newRow("whole after the shift") << 1000.0f << -3 << "1";
        QTest::newRow("zeros appended") << 5.0f << 3 << "5000";
        QTest::newRow("leading zeros") << 25.0f << -3 << "0.025";
        QTest::newRow("scientific when shorter") << 9.9e12f << -3 << "9.9e+09";
        QTest::newRow("negative nH to H") << -1.591549e8f << -9 << "-0.1591549";
        QTest::newRow("zero stays zero") << 0.0f << -12 << "0";
        QTest::newRow("no shift") << -90.0f << 0 << "-90";
        QTest::newRow("not finite") << float(INFINITY) << -9 << "inf";
    }
    void scaledValues() {
        QFETCH(float, value);
        QFETCH(int, exponent);
        QFETCH(QString, text);
        QCOMPARE(FormatScaled(value, exponent), text);
    }

    // Whatever the value, the text reads back to the same number in its own precision.
    void fullPrecisionReadsBack() {
        std::mt19937 random(7);
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        std::uniform_int_distribution<int> power(-40, 40);
        std::uniform_int_distribution<int> shift(-12, 3);
        for (int i = 0; i < 20000; ++i) {
            const double d = mantissa(random) * std::pow(10.0, power(random));
            QCOMPARE(FormatNumber(d).toDouble(), d);
            QCOMPARE(CsvText::Number(FormatNumber(d, QLatin1Char(',')), QLatin1Char(',')), d);

            const auto f = static_cast<float>(mantissa(random) * std::pow(10.0, power(random) / 4));
            const int e = shift(random);
            bool ok = false;
            const double read = FormatScaled(f, e).toDouble(&ok);
            QVERIFY(ok);
            QCOMPARE(static_cast<float>(read / std::pow(10.0, e)), f);
        }
    }

    void fieldsQuotedWhereNeeded_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "KT-44" << QChar(',') << "KT-44";
        QTest::newRow("separator") << "a,b" << QChar(',') << "\"a,b\"";
        QTest::newRow("comma under semicolons") << "1,5" << QChar(';') << "1,5";
        QTest::newRow("semicolon") << "a;b" << QChar(';') << "\"a;b\"";
        QTest::newRow("quote") << "10 \"M\"" << QChar(',') << "\"10 \"\"M\"\"\"";
        QTest::newRow("line feed") << "a\nb" << QChar(',') << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb" << QChar(';') << "\"a\rb\"";
        QTest::newRow("empty") << "" << QChar(',') << "";
    }
    void fieldsQuotedWhereNeeded() {
        QFETCH(QString, field);
        QFETCH(QChar, separator);
        QFETCH(QString, quoted);
        QCOMPARE(QuoteField(field, separator), quoted);
    }

    // Records written in either dialect read back field for field, in UTF-8 with CRLF.
    void recordsReadBack_data() {
        QTest::addColumn<bool>("semicolon");
        QTest::newRow("comma and point") << false;
        QTest::newRow("semicolon and comma") << true;
    }
    void recordsReadBack() {
        QFETCH(bool, semicolon);
        const CsvDialect dialect = semicolon ? SemicolonDialect() : CommaDialect();
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        CsvWriter csv(&buffer, dialect);
        csv.addText(QStringLiteral("R (Ω)"));
        csv.addText(QStringLiteral("Fiz (°)"));
        csv.addText(QStringLiteral("remark"));
        QVERIFY(csv.endRow());
        csv.addScaled(1234.5f, -3);
        csv.addNumber(-0.25);
        csv.addText(QStringLiteral("say \"hi\";\r\nthen, go"));
        QVERIFY(csv.endRow());
        csv.addInteger(1000000);
        csv.addEmpty();
        csv.addScaled(159154.9f, -12);
        QVERIFY(csv.endRow());

        const QByteArray bytes = buffer.data();
        QVERIFY(bytes.contains("\xCE\xA9")); // Ω in UTF-8
        QVERIFY(bytes.endsWith("\r\n"));
        const CsvText::Table table = CsvText::Read(bytes, dialect.separator);
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 3);
        QCOMPARE(table.records.at(0),
                 (QStringList{QStringLiteral("R (Ω)"), QStringLiteral("Fiz (°)"), "remark"}));
        const QStringList &second = table.records.at(1);
        QCOMPARE(second.size(), 3);
        QCOMPARE(CsvText::Number(second.at(0), dialect.decimalMark), 1.2345);
        QCOMPARE(CsvText::Number(second.at(1), dialect.decimalMark), -0.25);
        QCOMPARE(second.at(2), QStringLiteral("say \"hi\";\r\nthen, go"));
        const QStringList &third = table.records.at(2);
        QCOMPARE(third.size(), 3);
        QCOMPARE(third.at(0), QStringLiteral("1000000"));
        QCOMPARE(third.at(1), QString());
        QCOMPARE(static_cast<float>(CsvText::Number(third.at(2), dialect.decimalMark) * 1e12),
                 159154.9f);
    }

    void refusedRecordIsReported() {
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        CsvWriter csv(&buffer);
        csv.addText(QStringLiteral("x"));
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        QVERIFY(!csv.endRow());
        QVERIFY(csv.pendingRow().isEmpty()); // the next record starts afresh
    }

    // The link keeps C in pF, L in nH, R, X and Z in mΩ, G, B and Y in nS and the bias in mV.
    void parameterColumnsInSiUnits() {
        const struct {
            int exponent;
            const char *header;
        } columns[14] = {{-12, "C (F)"}, {-9, "L (H)"}, {-3, "R (Ω)"},  {-9, "G (S)"},
                         {-9, "B (S)"},  {-3, "X (Ω)"}, {-3, "Z (Ω)"},  {-9, "Y (S)"},
                         {0, "D"},       {0, "Q"},      {0, "Fiz (°)"}, {0, "Fiy (°)"},
                         {0, "F (Hz)"},  {-3, "Ub (V)"}};
        for (int index = 0; index < 14; ++index) {
            QCOMPARE(SiExponent(index), columns[index].exponent);
            QCOMPARE(ColumnHeader(index), QString::fromUtf8(columns[index].header));
        }
        QCOMPARE(ColumnHeader(14), QString());
        QCOMPARE(SiExponent(-1), 0);
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "test_csv.moc"
