// The sweep table: ASCII header, the taken points only, each point's textbook values and raw
// values in both dialects, whole-hertz frequencies, a device that refuses the table; and a
// table saved whole or not at all.
#include "export/parameter_columns.h"
#include "export/save_file.h"
#include "export/sweep_csv.h"
#include "sweep/reference_trace.h"
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

// A finished run of `points`: each point's frame gave a different impedance, some purely
// resistive (no reactance: D and parallel X are undefined), in both circuits; the stored display
// values are guard replacements that must not reach the file.
Main::SweepVariables FinishedRun(int points) {
    Main::SweepVariables store;
    store.SweepPoints = points;
    store.SweepIndex = points - 1;
    store.SweepRunning = false;
    const float phases[] = {-1.5701f, 0.0f, 0.7f, 1.2e-7f, -3.1f};
    for (int i = 0; i < points; ++i) {
        store.SweepFrequencies[i] = float(25 + 39999 * i);
        store.SweepMagnitudes[i] = 1591.565f * float(1 + i) / 3.0f;
        store.SweepPhases[i] = phases[i % 5];
        store.SweepReportedFrequencies[i] = 25 + 39999 * i + (i % 3);
        store.SweepSeriesCircuits[i] = i % 2 == 0;
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            store.SweepSamples[k][i] = 9.9e12f;
    }
    return store;
}

// A run of a capacitor with loss at fixed phase: |Z| = 1/(2 pi f C), so C is flat in f and R
// falls as 1/f. The stored display values are nonsense that must not reach the file.
Main::SweepVariables CapacitorRun(const std::vector<float> &hz, double farads) {
    Main::SweepVariables store;
    store.SweepPoints = int(hz.size());
    store.SweepIndex = store.SweepPoints - 1;
    for (int i = 0; i < store.SweepPoints; ++i) {
        store.SweepFrequencies[i] = hz[std::size_t(i)];
        store.SweepMagnitudes[i] = float(1.0 / (2.0 * M_PI * hz[std::size_t(i)] * farads));
        store.SweepPhases[i] = -1.5f;
        store.SweepReportedFrequencies[i] = std::int32_t(hz[std::size_t(i)]);
        store.SweepSeriesCircuits[i] = true;
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            store.SweepSamples[k][i] = 9.9e12f;
    }
    return store;
}

bool Near(const QString &field, double expected) {
    bool ok = false;
    const double value = field.toDouble(&ok);
    return ok && std::fabs(value - expected) <= 1e-6 * std::fabs(expected);
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
        const QStringList expected{"point",
                                   "planned frequency (Hz)",
                                   "circuit",
                                   "C (F)",
                                   "L (H)",
                                   "R (Ohm)",
                                   "G (S)",
                                   "B (S)",
                                   "X (Ohm)",
                                   "|Y| (S)",
                                   "D",
                                   "Q",
                                   "phase of Z (deg)",
                                   "phase of Y (deg)",
                                   "raw |Z| (Ohm)",
                                   "raw theta (rad)",
                                   "raw frequency (Hz)",
                                   "status",
                                   "connection",
                                   "correction"};
        QCOMPARE(SweepHeader(), expected);
        for (const CsvDialect &dialect : {CommaDialect(), SemicolonDialect()}) {
            const CsvText::Table table = Table(Main::SweepVariables{}, dialect);
            QVERIFY(table.wellFormed);
            QCOMPARE(table.records, QList<QStringList>{expected}); // no point taken
        }
    }

    // Each point from what its frame reported: the raw values exactly, G and B as Re Y and
    // Im Y, R of the point's circuit, undefined values empty; no stored guard value appears.
    void valuesReadBack_data() {
        QTest::addColumn<CsvDialect>("dialect");
        QTest::newRow("comma") << CommaDialect();
        QTest::newRow("semicolon") << SemicolonDialect();
    }
    void valuesReadBack() {
        QFETCH(CsvDialect, dialect);
        const Main::SweepVariables store = FinishedRun(256);
        const CsvText::Table table = Table(store, dialect);
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 257);
        const int column[] = {0,
                              1,
                              2,
                              int(SweepHeader().indexOf("R (Ohm)")),
                              int(SweepHeader().indexOf("G (S)")),
                              int(SweepHeader().indexOf("D")),
                              int(SweepHeader().indexOf("raw |Z| (Ohm)"))};
        enum { Point, Planned, Circuit, R, G, D, Raw };
        for (int i = 0; i < 256; ++i) {
            const QStringList &record = table.records.at(i + 1);
            QCOMPARE(record.size(), 20);
            QCOMPARE(record.at(column[Point]), QString::number(i + 1));
            QCOMPARE(record.at(column[Planned]).toDouble(), double(store.SweepFrequencies[i]));
            const bool series = store.SweepSeriesCircuits[i];
            QCOMPARE(record.at(column[Circuit]),
                     series ? QStringLiteral("series") : QStringLiteral("parallel"));
            const auto number = [&](int at) {
                bool ok = false;
                const double value = CsvText::Number(record.at(at), dialect.decimalMark, &ok);
                return ok ? value : std::numeric_limits<double>::quiet_NaN();
            };
            const float m = store.SweepMagnitudes[i];
            const float t = store.SweepPhases[i];
            QCOMPARE(float(number(column[Raw])), m);
            QCOMPARE(float(number(column[Raw] + 1)), t);
            QCOMPARE(record.at(column[Raw] + 2),
                     QString::number(store.SweepReportedFrequencies[i]));
            const double g = std::cos(t) / m, b = -std::sin(t) / m;
            QVERIFY(std::fabs(number(column[G]) - g) <= 1e-6 * std::fabs(g));
            QVERIFY(std::fabs(number(column[G] + 1) - b) <= 1e-6 * std::fabs(b));
            const double r = series ? m * std::cos(t) : 1.0 / g;
            QVERIFY2(std::fabs(number(column[R]) - r) <= 1e-6 * std::fabs(r),
                     qPrintable(record.at(column[R])));
            QCOMPARE(record.at(column[D]).isEmpty(), t == 0.0f);
            for (const QString &field : record)
                QVERIFY2(!field.contains(QLatin1String("9.9e+12")) &&
                             !field.contains(QLatin1String("9,9e+12")) &&
                             !field.contains(QLatin1String("nan")),
                         qPrintable(field));
        }
        // 25 + 39999 · 255 Hz, whole, not in exponent form.
        QCOMPARE(table.records.last().at(1), QStringLiteral("10199770"));
        QCOMPARE(table.records.at(1).at(column[Raw]), dialect.decimalMark == QLatin1Char(',')
                                                          ? QStringLiteral("530,52167")
                                                          : QStringLiteral("530.52167"));
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

    // The reference's columns: named in ASCII after the run's own, its textbook values rebuilt
    // from what its frames reported and interpolated in log f, the deviations from the run's
    // own columns, and nothing outside the reference's span.
    void referenceColumns() {
        const Sweep::ReferenceTrace reference =
            Sweep::HoldReference(CapacitorRun({1000, 10000, 100000}, 100e-9));
        const Main::SweepVariables run = CapacitorRun({500, 1000, 3162, 200000}, 110e-9);
        const QStringList header = SweepHeader(reference);
        QCOMPARE(header.size(), SweepHeader().size() + 33);
        const int base = SweepHeader().size();
        QCOMPARE(header.mid(base, 2), (QStringList{"reference C (F)", "reference L (H)"}));
        QCOMPARE(header.at(base + 7), QString("reference D"));
        QCOMPARE(header.at(base + 11), QString("delta C (F)"));
        QCOMPARE(header.at(base + 22), QString("delta C (%)"));
        QCOMPARE(header.last(), QString("delta phase of Y (%)"));

        const CsvText::Table table = CsvText::Read(SweepCsv(run, reference), ',');
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 5);
        QCOMPARE(table.records.first(), header);
        const auto raw = [](double hz, double farads) {
            return RawMeasurement{float(1.0 / (2.0 * M_PI * hz * farads)), -1.5f, std::int32_t(hz),
                                  true};
        };
        const double heldC = TextbookColumnValue(raw(1000, 100e-9), 0);
        const double runC = TextbookColumnValue(raw(1000, 110e-9), 0);
        for (int row : {1, 4}) { // 500 Hz and 200 kHz lie outside the reference
            const QStringList &fields = table.records.at(row);
            QCOMPARE(fields.size(), header.size());
            for (int c = base; c < header.size(); ++c)
                QVERIFY2(fields.at(c).isEmpty(), qPrintable(header.at(c)));
        }
        const QStringList &exact = table.records.at(2);
        QVERIFY2(Near(exact.at(base), heldC), qPrintable(exact.at(base)));
        QVERIFY2(Near(exact.at(base + 11), runC - heldC), qPrintable(exact.at(base + 11)));
        QVERIFY2(Near(exact.at(base + 22), 10.0), qPrintable(exact.at(base + 22)));
        QVERIFY(exact.at(base + 7).toDouble() > 0.0); // D of the reference, from its phase

        // R falls as 1/f: between 1 and 10 kHz the reference is a straight line in log f.
        const double r0 = TextbookColumnValue(raw(1000, 100e-9), 2);
        const double r1 = TextbookColumnValue(raw(10000, 100e-9), 2);
        const double share = std::log10(3162.0 / 1000.0);
        const QStringList &between = table.records.at(3);
        QVERIFY2(Near(between.at(base + 2), r0 + share * (r1 - r0)),
                 qPrintable(between.at(base + 2)));
        QVERIFY2(Near(between.at(base + 22), 10.0), qPrintable(between.at(base + 22)));

        // No reference: the table as it always was.
        QCOMPARE(SweepCsv(run, Sweep::ReferenceTrace{}), SweepCsv(run));
        QCOMPARE(SweepCsv(run, Sweep::ReferenceTrace{}, SemicolonDialect()),
                 SweepCsv(run, SemicolonDialect()));
    }

    // A run over the bias carries the planned and the reported bias in volts after the frequency
    // it held, a level run the planned level; every other column is the frequency run's, and a
    // frequency run's table ignores whatever settings the store holds.
    void biasAndLevelColumns() {
        Main::SweepVariables run = FinishedRun(3);
        const std::int32_t planned[] = {0, 12300, 40000};
        const std::int32_t reported[] = {0, 12290, 39990};
        for (int i = 0; i < 3; ++i) {
            run.SweepFrequencies[i] = 1000.0f;
            run.SweepSettings[i] = planned[i];
            run.SweepReportedBiases[i] = reported[i];
        }
        const CsvText::Table frequencyTable = Table(run, SemicolonDialect());
        run.SweepQuantity = Sweep::Quantity::Bias;
        QStringList header = SweepHeader();
        header.insert(2, "planned bias (V)");
        header.insert(3, "reported bias (V)");
        QCOMPARE(SweepHeader(Sweep::Quantity::Bias), header);
        const CsvText::Table bias = Table(run, SemicolonDialect());
        QVERIFY(bias.wellFormed);
        QCOMPARE(bias.records.size(), 4);
        QCOMPARE(bias.records.first(), header);
        const QStringList volts[] = {{"0", "0"}, {"12,3", "12,29"}, {"40", "39,99"}};
        for (int i = 0; i < 3; ++i) {
            QStringList record = bias.records.at(i + 1);
            QCOMPARE(record.at(1), QString("1000"));
            QCOMPARE(record.mid(2, 2), volts[i]);
            record.remove(2, 2);
            QCOMPARE(record, frequencyTable.records.at(i + 1));
        }

        run.SweepQuantity = Sweep::Quantity::Level;
        run.SweepSettings[0] = 5;
        header = SweepHeader();
        header.insert(2, "planned level (V)");
        QCOMPARE(SweepHeader(Sweep::Quantity::Level), header);
        const CsvText::Table level = Table(run, CommaDialect());
        QCOMPARE(level.records.first(), header);
        QCOMPARE(level.records.at(1).at(2), QString("0.005"));
        QCOMPARE(level.records.at(1).size(), header.size());
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
