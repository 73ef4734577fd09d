// The sweep table: header with units, the taken points only, every stored value read back from
// its SI text in both dialects, whole-hertz frequencies, a device that refuses the table; and a
// table saved whole or not at all.
#include "export/save_file.h"
#include "export/sweep_csv.h"
#include "sweep/sweep_store.h"
#include "tests/export/csv_reader.h"
#include "tests/export/file_size_limit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Export;

namespace {

// Powers of ten from the stored units (pF, nH, mΩ, nS, …) to SI, column by column.
constexpr int SiExponents[Main::SweepParameterCount] = {-12, -9, -3, -9, -9, -3, -3, -9, 0, 0, 0};

// A finished run of `points` with values of every kind: tiny, huge, negative, the replacement
// values of a guarded division, and one that is not a number.
Main::SweepVariables FinishedRun(int points) {
    Main::SweepVariables store;
    store.SweepPoints = points;
    store.SweepIndex = points - 1;
    store.SweepRunning = false;
    const float specials[] = {159154.9f, 9.9e12f, -1.591549e8f, 1e-3f, 0.0f, -90.0f, 1.6e9f};
    for (int i = 0; i < points; ++i) {
        store.SweepFrequencies[i] = float(25 + 39999 * i);
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            store.SweepSamples[k][i] = specials[(i + k) % 7] * float(1 + i) / 3.0f;
    }
    store.SweepSamples[8][1] = std::numeric_limits<float>::quiet_NaN();
    return store;
}

CsvText::Table Table(const Main::SweepVariables &store, CsvDialect dialect) {
    return CsvText::Read(SweepCsv(store, dialect), dialect.separator);
}

} // namespace

Q_DECLARE_METATYPE(Export::CsvDialect)

class TestSweepCsv : public QObject {
    Q_OBJECT

private slots:
    void header() {
        const QStringList expected{"point",  "frequency (Hz)", "C (F)", "L (H)", "R (Ω)", "G (S)",
                                   "B (S)",  "X (Ω)",          "Z (Ω)", "Y (S)", "D",     "Q",
                                   "Fiz (°)"};
        QCOMPARE(SweepHeader(), expected);
        for (const CsvDialect &dialect : {CommaDialect(), SemicolonDialect()}) {
            const CsvText::Table table = Table(Main::SweepVariables{}, dialect);
            QVERIFY(table.wellFormed);
            QCOMPARE(table.records, QList<QStringList>{expected}); // no point taken
        }
    }

    void valuesReadBack_data() {
        QTest::addColumn<CsvDialect>("dialect");
        QTest::newRow("comma") << CommaDialect();
        QTest::newRow("semicolon") << SemicolonDialect();
    }
    void valuesReadBack() {
        QFETCH(CsvDialect, dialect);
        Main::SweepVariables store = FinishedRun(256);
        store.SweepSamples[2][0] = 1234.5f; // mΩ
        const CsvText::Table table = Table(store, dialect);
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 257);
        for (int i = 0; i < 256; ++i) {
            const QStringList &record = table.records.at(i + 1);
            QCOMPARE(record.size(), 13);
            QCOMPARE(record.at(0), QString::number(i + 1));
            QCOMPARE(record.at(1).toDouble(), double(store.SweepFrequencies[i]));
            for (int k = 0; k < Main::SweepParameterCount; ++k) {
                bool ok = false;
                const double si = CsvText::Number(record.at(2 + k), dialect.decimalMark, &ok);
                QVERIFY2(ok, qPrintable(record.at(2 + k)));
                const float stored = store.SweepSamples[k][i];
                const float back = float(si / std::pow(10.0, SiExponents[k]));
                if (std::isnan(stored))
                    QVERIFY(std::isnan(back));
                else
                    QCOMPARE(back, stored);
            }
        }
        // 25 + 39999 · 255 Hz, whole, not in exponent form.
        QCOMPARE(table.records.last().at(1), QStringLiteral("10199770"));
        QCOMPARE(table.records.at(1).at(4), dialect.decimalMark == QLatin1Char(',')
                                                ? QStringLiteral("1,2345")
                                                : QStringLiteral("1.2345"));
    }

    // Only what the current run has taken: the points before the index while it runs.
    void takenPointsOnly() {
        Main::SweepVariables store = FinishedRun(10);
        store.SweepRunning = true;
        store.SweepIndex = 3;
        const CsvText::Table running = Table(store, CommaDialect());
        QCOMPARE(running.records.size(), 4);
        QCOMPARE(running.records.last().at(0), QStringLiteral("3"));
        store.SweepIndex = 0;
        QCOMPARE(Table(store, CommaDialect()).records.size(), 1);
    }

    void refusingDevice() {
        QBuffer closed;
        QVERIFY(!WriteSweepCsv(&closed, FinishedRun(3)));
        QByteArray bytes;
        QBuffer readOnly(&bytes);
        readOnly.open(QIODevice::ReadOnly);
        QVERIFY(!WriteSweepCsv(&readOnly, FinishedRun(3)));
    }

    // A saved file replaces the old one only when all of it was written, under any name; a
    // failure gives the system's reason.
    void savedWhole() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("замер.csv"));
        const QByteArray table = SweepCsv(FinishedRun(50));
        QString error;
        QVERIFY2(SaveWhole(path, "earlier\r\n", &error), qPrintable(error));
        {
            const TestDisk::FileSizeLimit limit(static_cast<rlim_t>(table.size() / 2));
            QVERIFY(!SaveWhole(path, table, &error));
        }
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("earlier\r\n"));
        file.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"замер.csv"}); // no leftovers

        QVERIFY2(SaveWhole(path, table, &error), qPrintable(error));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), table);

        error.clear();
        QVERIFY(!SaveWhole(dir.filePath(QStringLiteral("нет/замер.csv")), table, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSweepCsv)
#include "test_sweep_csv.moc"
