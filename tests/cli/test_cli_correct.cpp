// impedix-cli correct and --correction as processes against the demo meter behind a simulated
// fixture of 0.5 Ω + 50 nH leads and 5 pF ∥ 1 nS stray, a 10 pF part in its contacts. What sits
// in the contacts changes between the processes through the simulator's control file. Each test
// keeps its fixture files in a temporary data directory, never the user's.
#include "tests/common/process_outcome.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

using TestProcess::Outcome;

constexpr int Generous = 180000; // ms; a guard against hanging, never a measured time

QList<QJsonObject> JsonLines(const QString &text) {
    QList<QJsonObject> lines;
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (!line.isEmpty()) lines << QJsonDocument::fromJson(line.toUtf8()).object();
    return lines;
}

// A home and data directory of its own, and the control file of the demo's terminals.
struct Bench {
    Bench() { QDir(dir.path()).mkpath(QStringLiteral("data")); }

    bool Terminals(const char *word) {
        QFile control(dir.filePath(QStringLiteral("terminals")));
        return control.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               control.write(word) == qint64(qstrlen(word));
    }

    // Where the found KT-44 keeps the fixture "default": the window's data directory.
    QString FixtureFile() const {
        return dir.filePath(QStringLiteral("data/Impedix/compensation/KT-44-default.txt"));
    }

    // impedix-cli with the arguments, on the demo meter behind the fixture.
    Outcome Run(QStringList arguments) const {
        arguments << "--demo"
                  << "--demo-sim"
                  << QStringLiteral("--fixture R=0.5,L=50n,C=5p,G=1n --dut C=10p --load R=100 "
                                    "--terminals open --control %1")
                         .arg(dir.filePath(QStringLiteral("terminals")));
        QProcessEnvironment environment = TestProcess::WithoutDisplay();
        environment.insert(QStringLiteral("HOME"), dir.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(dir.path());
        program.start(QStringLiteral(IMPEDIX_CLI_PATH), arguments);
        return TestProcess::Finish(program, Generous);
    }

    QTemporaryDir dir;
};

// The capacitance of a row or point is the part's to within 0.5 %.
bool PartsCapacitance(const QJsonObject &row) {
    return std::fabs(row.value("C_F").toDouble() / 10e-12 - 1.0) < 0.005;
}

} // namespace

class TestCliCorrect : public QObject {
    Q_OBJECT

private slots:
    // Open, then short (which keeps the open in the file), then the part: measure and sweep
    // give the part's 10 pF, not the 15 pF the stray makes of it, name the correction, and keep
    // the frame's own |Z| beside the corrected quantities; then the load standard, kept beside
    // both.
    void openShortLoadThenThePart() {
        Bench b;
        QVERIFY(b.dir.isValid());
        QVERIFY(b.Terminals("open"));
        const Outcome open = b.Run({"correct", "open", "--averaging", "2"});
        QVERIFY2(open.code == 0, qPrintable(open.err));
        QVERIFY2(open.out.contains(b.FixtureFile()), qPrintable(open.out));
        QVERIFY(b.Terminals("short"));
        const Outcome shorted = b.Run({"correct", "short", "--averaging", "2"});
        QVERIFY2(shorted.code == 0, qPrintable(shorted.err));
        QVERIFY2(shorted.err.contains("correct short: 100 %"), qPrintable(shorted.err));

        QVERIFY(b.Terminals("part"));
        const Outcome measured =
            b.Run({"measure", "--correction", "open-short", "--count", "3", "--format", "json"});
        QVERIFY2(measured.code == 0, qPrintable(measured.err));
        const QList<QJsonObject> rows = JsonLines(measured.out);
        QCOMPARE(rows.size(), 3);
        for (const QJsonObject &row : rows) {
            QVERIFY2(PartsCapacitance(row), qPrintable(QJsonDocument(row).toJson()));
            QCOMPARE(row.value("correction").toString(), QString("open-short"));
            // The raw |Z| is the frame's: the part with the stray beside it reads lower.
            QVERIFY(row.value("z_magnitude_ohm").toDouble() < 0.8 * row.value("Z_ohm").toDouble());
        }

        const Outcome swept =
            b.Run({"sweep", "--correction", "open-short", "--from", "1000", "--to", "100000",
                   "--points", "3", "--spacing", "log", "--format", "json"});
        QVERIFY2(swept.code == 0, qPrintable(swept.err));
        const QList<QJsonObject> points = JsonLines(swept.out);
        QCOMPARE(points.size(), 3);
        for (const QJsonObject &point : points) {
            QVERIFY2(PartsCapacitance(point), qPrintable(QJsonDocument(point).toJson()));
            QCOMPARE(point.value("correction").toString(), QString("open-short"));
            QVERIFY(point.value("z_magnitude_ohm").toDouble() <
                    0.8 * point.value("Z_ohm").toDouble());
        }

        // The load standard on the terminals, then the part corrected by all three kinds.
        QVERIFY(b.Terminals("load"));
        const Outcome load =
            b.Run({"correct", "load", "--standard", "R+X:100,0", "--averaging", "2"});
        QVERIFY2(load.code == 0, qPrintable(load.err));
        QVERIFY(b.Terminals("part"));
        const Outcome all = b.Run(
            {"measure", "--correction", "open-short-load", "--count", "2", "--format", "json"});
        QVERIFY2(all.code == 0, qPrintable(all.err));
        const QList<QJsonObject> allRows = JsonLines(all.out);
        QCOMPARE(allRows.size(), 2);
        for (const QJsonObject &row : allRows) {
            QVERIFY2(PartsCapacitance(row), qPrintable(QJsonDocument(row).toJson()));
            QCOMPARE(row.value("correction").toString(), QString("open-short-load"));
        }

        // Without --correction nothing changes: the stray's 15 pF, no correction named.
        const Outcome plain = b.Run({"measure", "--count", "1", "--format", "json"});
        QVERIFY2(plain.code == 0, qPrintable(plain.err));
        const QList<QJsonObject> plainRows = JsonLines(plain.out);
        QCOMPARE(plainRows.size(), 1);
        QCOMPARE(plainRows.first().value("correction").toString(), QString("none"));
        QVERIFY(!PartsCapacitance(plainRows.first()));
    }

    // A spot is the meter's present frequency alone (1 kHz at power-on), and only it is kept.
    void spotAtThePresentFrequency() {
        Bench b;
        QVERIFY(b.dir.isValid());
        QVERIFY(b.Terminals("open"));
        const Outcome spot = b.Run({"correct", "open", "--spot", "--averaging", "3"});
        QVERIFY2(spot.code == 0, qPrintable(spot.err));
        QVERIFY2(spot.out.startsWith("open: 1 frequency, 1000 Hz kept in"), qPrintable(spot.out));
        QFile kept(b.FixtureFile());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QStringList readings;
        for (const QByteArray &line : kept.readAll().split('\n'))
            if (line.startsWith("open ") && !line.startsWith("open o")) // not "open on|off"
                readings << QString::fromUtf8(line);
        QCOMPARE(readings.size(), 1);
        QVERIFY2(readings.first().startsWith("open 1000 "), qPrintable(readings.first()));
    }

    // What cannot be used is refused with exit status 2 and a reason, and a fixture file that
    // cannot be read is left as it was.
    void refusals_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("file"); // the fixture's file before the run; empty: none
        QTest::addColumn<QString>("reason");
        const QByteArray damaged = "# Impedix fixture compensation\nmodel KT-44\nopen 1000 x 1\n";
        const QByteArray otherModel = "# Impedix fixture compensation\nmodel KT-41\n"
                                      "open 1000 1e6 -1e6\n";
        QTest::newRow("load without a standard")
            << QStringList{"correct", "load"} << QByteArray() << "correct load needs --standard";
        QTest::newRow("a standard of zero")
            << QStringList{"correct", "load", "--standard", "R+X:0,0"} << QByteArray()
            << "zero impedance";
        QTest::newRow("a standard in no form")
            << QStringList{"correct", "load", "--standard", "100"} << QByteArray() << "R+X:";
        QTest::newRow("a damaged file before short")
            << QStringList{"correct", "short"} << damaged << "line 3";
        QTest::newRow("another model's file")
            << QStringList{"correct", "open"} << otherModel << "KT-41";
        QTest::newRow("a damaged file before measure")
            << QStringList{"measure", "--correction", "open", "--count", "1"} << damaged
            << "line 3";
        QTest::newRow("a kind without data")
            << QStringList{"measure", "--correction", "open-short", "--count", "1"} << QByteArray()
            << "lacks open data, short data";
        QTest::newRow("serve with a kind without data")
            << QStringList{"serve", "--scpi", "0", "--correction", "short"} << QByteArray()
            << "lacks short data";
        QTest::newRow("a range outside the model")
            << QStringList{"correct", "open", "--from", "5", "--to", "1000", "--points", "3"}
            << QByteArray() << "measures from";
    }
    void refusals() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        Bench b;
        QVERIFY(b.dir.isValid());
        QVERIFY(b.Terminals("open"));
        if (!file.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(b.FixtureFile()).absolutePath()));
            QFile kept(b.FixtureFile());
            QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write(file) == file.size());
        }
        const Outcome outcome = b.Run(arguments);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.code, 2);
        QVERIFY2(outcome.err.contains(reason), qPrintable(outcome.err));
        QVERIFY(outcome.out.isEmpty());
        QFile kept(b.FixtureFile());
        if (file.isEmpty()) {
            QVERIFY(!kept.exists());
        } else {
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), file);
        }
    }
};

QTEST_GUILESS_MAIN(TestCliCorrect)
#include "test_cli_correct.moc"
