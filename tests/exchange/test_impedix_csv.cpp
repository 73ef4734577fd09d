// The program's sweep table read back in both dialects, files told apart by content, and readers
// fed random bytes and cut-off files.
#include "exchange/any_file.h"
#include "exchange/impedance_csv.h"
#include "exchange/impedix_csv.h"
#include "exchange/touchstone.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Exchange;

namespace {

// A run whose every value is exact in the store's types (float, whole hertz, mV), so the table
// gives back the same numbers.
SweepData Run(Sweep::Quantity quantity) {
    SweepData data;
    data.quantity = quantity;
    const bool frequencyRun = quantity == Sweep::Quantity::Frequency;
    for (int i = 0; i < 5; ++i) {
        SweepPoint p;
        p.frequency = frequencyRun ? 100.0 * std::pow(10.0, i) + i : 1000.0;
        p.planned = frequencyRun ? 100.0 * std::pow(10.0, i) : -0.5 + 0.25 * i;
        p.magnitude = double(1591.565f * float(i + 1));
        p.phase = double(-1.2f + 0.6f * float(i));
        p.bias = quantity == Sweep::Quantity::Bias ? p.planned + 0.001 : 0.0;
        p.status = i == 3 ? 5 : 0;
        data.points.push_back(p);
    }
    return data;
}

QByteArray Written(const SweepData &data, Export::CsvDialect dialect) {
    QByteArray text;
    QBuffer out(&text);
    out.open(QIODevice::WriteOnly);
    const WriteResult w = WriteImpedixCsv(out, data, dialect);
    return w.written ? text : QByteArray();
}

template <typename Reader> ReadResult ReadText(Reader reader, const QByteArray &text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return reader(buffer);
}

} // namespace

class TestImpedixCsv : public QObject {
    Q_OBJECT

private slots:
    void roundTripInBothDialects_data() {
        QTest::addColumn<int>("quantity");
        QTest::addColumn<bool>("semicolon");
        for (const bool semicolon : {false, true}) {
            const char *dialect = semicolon ? "; and ," : ", and .";
            QTest::addRow("frequency %s", dialect) << int(Sweep::Quantity::Frequency) << semicolon;
            QTest::addRow("bias %s", dialect) << int(Sweep::Quantity::Bias) << semicolon;
            QTest::addRow("level %s", dialect) << int(Sweep::Quantity::Level) << semicolon;
        }
    }
    void roundTripInBothDialects() {
        QFETCH(int, quantity);
        QFETCH(bool, semicolon);
        const SweepData data = Run(Sweep::Quantity(quantity));
        const QByteArray text =
            Written(data, semicolon ? Export::SemicolonDialect() : Export::CommaDialect());
        QVERIFY(!text.isEmpty());
        QVERIFY(text.startsWith(semicolon ? "point;" : "point,"));
        const ReadResult r = ReadText(ReadImpedixCsv, text);
        QVERIFY2(r.data, qPrintable(r.refusal.reason));
        QCOMPARE(int(r.data->quantity), quantity);
        QCOMPARE(r.data->points.size(), data.points.size());
        for (std::size_t i = 0; i < data.points.size(); ++i) {
            const SweepPoint &a = data.points[i];
            const SweepPoint &b = r.data->points[i];
            QCOMPARE(b.planned, a.planned);
            QCOMPARE(b.frequency, a.frequency);
            // |Z| and θ are kept as floats, written as the shortest text that reads back as one.
            QCOMPARE(float(b.magnitude), float(a.magnitude));
            QCOMPARE(float(b.phase), float(a.phase));
            QCOMPARE(b.bias, a.bias);
            QCOMPARE(b.status, a.status);
        }
    }

    void refusesBadTables_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        const QByteArray good = Written(Run(Sweep::Quantity::Frequency), Export::CommaDialect());
        const QList<QByteArray> lines = good.split('\n');
        QTest::newRow("header only") << lines[0] + '\n' << 0;
        QTest::newRow("not a table") << QByteArray("1,2,3\n") << 1;
        QTest::newRow("no raw columns") << QByteArray("point,planned frequency (Hz)\n1,2\n") << 1;
        QByteArray shortRecord = lines[0] + '\n' + lines[1] + '\n' + lines[2];
        shortRecord.truncate(shortRecord.lastIndexOf(','));
        QTest::newRow("short record") << shortRecord << 3;
        QTest::newRow("unterminated quote") << lines[0] + '\n' + lines[1] + "\n\"unterminated\n"
                                            << 3;
        QByteArray status = lines[0] + '\n' + lines[1];
        status.replace(",0,0,", ",x,0,");
        QTest::newRow("bad status") << status << 2;
        QTest::newRow("NUL byte") << good + QByteArray(1, '\0') << 0;
    }
    void refusesBadTables() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        const ReadResult r = ReadText(ReadImpedixCsv, text);
        QVERIFY(!r.data);
        QCOMPARE(r.refusal.line, line);
    }

    void writingRefusesWhatARunCannotHold() {
        QByteArray text;
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        QVERIFY(!WriteImpedixCsv(out, SweepData{}).written);
        SweepData large = Run(Sweep::Quantity::Frequency);
        large.points.resize(257, large.points[0]);
        QVERIFY(!WriteImpedixCsv(out, large).written);
        QVERIFY(text.isEmpty());
    }

    void readsAnyFileByContent_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("magnitude");
        QTest::newRow("impedix") << QStringLiteral("a.csv")
                                 << Written(Run(Sweep::Quantity::Frequency),
                                            Export::SemicolonDialect())
                                 << double(1591.565f);
        QTest::newRow("plain csv") << QStringLiteral("b.csv") << QByteArray("10,3,4\n") << 5.0;
        QTest::newRow("touchstone by suffix")
            << QStringLiteral("c.s1p") << QByteArray("1 0 0\n") << 50.0;
        QTest::newRow("touchstone by content")
            << QStringLiteral("d.txt") << QByteArray("\n! z\n# Hz Z RI R 2\n1 3 4\n") << 10.0;
    }
    void readsAnyFileByContent() {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QFETCH(double, magnitude);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        const ReadResult r = ReadAnySweepFile(file.fileName());
        QVERIFY2(r.data, qPrintable(r.refusal.reason));
        QVERIFY(std::abs(r.data->points[0].magnitude - magnitude) <= 1e-7 * magnitude);
    }

    void refusalNamesTheFormatTried() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("e.s1p")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# Hz Z RI\n1 2\n");
        file.close();
        const ReadResult r = ReadAnySweepFile(file.fileName());
        QVERIFY(!r.data);
        QCOMPARE(r.refusal.line, 2);
        QVERIFY2(r.refusal.reason.contains(QLatin1String("Touchstone")),
                 qPrintable(r.refusal.reason));
        QVERIFY(!ReadAnySweepFile(dir.filePath(QStringLiteral("missing.csv"))).data);
    }

    // Random bytes and cut-off good files: every reader gives data or a refusal, never a crash.
    void survivesRandomInput() {
        QRandomGenerator random(20261210);
        SweepData freq = Run(Sweep::Quantity::Frequency);
        QByteArray touchstone;
        {
            QBuffer out(&touchstone);
            out.open(QIODevice::WriteOnly);
            QVERIFY(WriteTouchstone(out, freq).written);
        }
        QByteArray plain;
        {
            QBuffer out(&plain);
            out.open(QIODevice::WriteOnly);
            QVERIFY(WriteImpedanceCsv(out, freq).written);
        }
        const QList<QByteArray> good = {
            Written(Run(Sweep::Quantity::Bias), Export::SemicolonDialect()), touchstone, plain};
        int refused = 0;
        int read = 0;
        for (int round = 0; round < 600; ++round) {
            QByteArray text;
            if (round % 2 == 0) {
                text.resize(random.bounded(200));
                for (char &c : text)
                    c = char(random.bounded(256));
            } else {
                const QByteArray &source = good[round % good.size()];
                text = source.left(random.bounded(source.size() + 1));
                if (!text.isEmpty() && round % 3 == 0)
                    text[random.bounded(text.size())] = char(random.bounded(256));
            }
            for (const ReadResult &r :
                 {ReadText(ReadImpedixCsv, text), ReadText(ReadImpedanceCsv, text),
                  ReadText(ReadTouchstone, text)}) {
                if (r.data) {
                    ++read;
                    QVERIFY(!r.data->points.empty());
                } else {
                    ++refused;
                    QVERIFY(!r.refusal.reason.isEmpty());
                    QVERIFY(r.refusal.line >= 0);
                }
            }
        }
        QVERIFY(read > 0);
        QVERIFY(refused > 0);
    }
};

QTEST_GUILESS_MAIN(TestImpedixCsv)
#include "test_impedix_csv.moc"
