// CSV records and numbers: quoting, both dialects, UTF-8, full precision that reads back exactly,
// the measured columns (textbook values, empty where undefined, raw values), and a device that
// refuses the record.
#include "export/csv.h"
#include "export/parameter_columns.h"
#include "tests/export/csv_reader.h"

#include <QBuffer>
#include <QtTest>

#include <cmath>
#include <limits>
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

    // Derived values carry the digits of the single-precision measurements they come from; what
    // is not finite is an empty field; values beyond float's range keep their own digits.
    void measuredNumbers_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("derived") << double(1.591549e-07f) * (1.0 + 1e-12) << "1.591549e-07";
        QTest::newRow("float as it is") << double(0.1f) << "0.1";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("undefined") << std::numeric_limits<double>::quiet_NaN() << "";
        QTest::newRow("infinite") << -std::numeric_limits<double>::infinity() << "";
        QTest::newRow("below float") << 1.25e-50 << "1.25e-50";
        QTest::newRow("above float") << 3e45 << "3e+45";
    }
    void measuredNumbers() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatMeasured(value), text);
        QCOMPARE(FormatMeasured(value, QLatin1Char(',')),
                 QString(text).replace(QLatin1Char('.'), QLatin1Char(',')));
    }

    // Headers a spreadsheet in any locale shows as written: ASCII, each named once.
    void measuredHeaders() {
        const QStringList headers = MeasuredHeaders();
        QCOMPARE(headers.size(), 14);
        QCOMPARE(QStringList(headers).removeDuplicates(), 0);
        for (const QString &header : headers)
            for (const QChar c : header)
                QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7F, qPrintable(header));
        QCOMPARE(headers.at(3), QStringLiteral("G (S)"));
        QCOMPARE(headers.at(4), QStringLiteral("B (S)"));
        QCOMPARE(headers.mid(11),
                 (QStringList{"raw |Z| (Ohm)", "raw theta (rad)", "raw frequency (Hz)"}));
    }

    // The fields of one measurement: C, L, R, X of the circuit, G = Re Y and B = Im Y in both,
    // |Y|, D, Q, both angles, then the raw values exactly as the frame gave them. A value that
    // needs a division by zero is empty, never a stand-in number.
    void measuredFields_data() {
        QTest::addColumn<float>("magnitude");
        QTest::addColumn<float>("phase");
        QTest::addColumn<int>("frequency");
        QTest::addColumn<bool>("series");
        QTest::addColumn<QList<double>>(
            "expected"); // C L R G B X |Y| D Q phaseZ phaseY; NaN: empty
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // 1 µF in series with 1 Ω at 1 kHz: Xs = -159.15494 Ω, Y = (Rs - j Xs) / |Z|², so G is
        // small and B positive. The angle is close to -90°, where its float rounding shows in
        // Rs: the expected values come from the rounded |Z| and angle.
        const double ideal = -159.15494309189535;
        const float m = float(std::hypot(1.0, ideal));
        const float t = float(std::atan2(ideal, 1.0));
        const double rs = double(m) * std::cos(double(t)), xs = double(m) * std::sin(double(t));
        const double z2 = rs * rs + xs * xs;
        const double w = 2 * M_PI * 1000;
        const double g = rs / z2, b = -xs / z2;
        const double angle = double(t) * 180 / M_PI;
        QTest::newRow("capacitor, series")
            << m << t << 1000 << true
            << QList<double>{-1 / (w * xs),     xs / w,   rs,       g,     b,     xs,
                             1 / std::sqrt(z2), rs / -xs, -xs / rs, angle, -angle};
        QTest::newRow("capacitor, parallel")
            << m << t << 1000 << false
            << QList<double>{b / w,    -1 / (w * b), 1 / g, g,     b, -1 / b, 1 / std::sqrt(z2),
                             rs / -xs, -xs / rs,     angle, -angle};
        QVERIFY(std::fabs(-1 / (w * xs) - 1e-6) < 1e-11 && g > 0 && g < 4e-5 && b > 6e-3);
        // A pure resistor: no reactance, so no C, no D and no parallel X; B is a true zero.
        QTest::newRow("resistor, parallel")
            << 1e6f << 0.0f << 1000 << false
            << QList<double>{0, nan, 1e6, 1e-6, 0, nan, 1e-6, nan, 0, 0, 0};
        QTest::newRow("resistor, series")
            << 1e6f << 0.0f << 1000 << true
            << QList<double>{nan, 0, 1e6, 1e-6, 0, 0, 1e-6, nan, 0, 0, 0};
        // A short: nothing of Y is defined.
        QTest::newRow("short, series")
            << 0.0f << 0.5f << 100 << true
            << QList<double>{
                   nan, 0, 0, nan, nan, 0, nan, nan, nan, 0.5 * 180 / M_PI, -0.5 * 180 / M_PI};
    }
    void measuredFields() {
        QFETCH(float, magnitude);
        QFETCH(float, phase);
        QFETCH(int, frequency);
        QFETCH(bool, series);
        QFETCH(QList<double>, expected);
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        CsvWriter csv(&buffer);
        AddMeasuredFields(csv, {magnitude, phase, frequency, series});
        QVERIFY(csv.endRow());
        const QStringList fields = CsvText::Read(buffer.data()).records.value(0);
        QCOMPARE(fields.size(), MeasuredHeaders().size());
        for (int i = 0; i < expected.size(); ++i) {
            const QString &field = fields.at(i);
            const QByteArray where = MeasuredHeaders().at(i).toUtf8() + ": " + field.toUtf8();
            if (std::isnan(expected.at(i))) {
                QVERIFY2(field.isEmpty(), where.constData());
                continue;
            }
            bool ok = false;
            const double value = field.toDouble(&ok);
            QVERIFY2(ok, where.constData());
            QVERIFY2(std::fabs(value - expected.at(i)) <= 2e-6 * std::fabs(expected.at(i)),
                     where.constData());
        }
        QCOMPARE(fields.at(11).toFloat(), magnitude); // the raw values as the frame gave them
        QCOMPARE(fields.at(12).toFloat(), phase);
        QCOMPARE(fields.at(13), QString::number(frequency));
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "test_csv.moc"
