// impedix-cli library and fit: their command lines, a sweep kept by the run that measured it and
// fitted alike from every copy of it, and the files and libraries they refuse.
#include "cli/invocation.h"
#include "library/sweep_library.h"
#include "tests/cli/cli_process.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <complex>

using CliProcess::Run;
using TestProcess::Outcome;

namespace {

QString Fitted(const QString &err) {
    const int at = err.indexOf(QLatin1String("fit: "));
    return at < 0 ? QString() : err.mid(at);
}

bool Write(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Digest(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

} // namespace

class TestCliLibrary : public QObject {
    Q_OBJECT
private slots:
    void commandLines_data();
    void commandLines();
    void aKeptRunFitsAlikeFromEveryCopy();
    void theSideFileCarriesConditionsAndFit();
    void importRenameAndDelete();
    void filesAndLibrariesThatCannotBeUsed();
    void theSimulatedPartsOwnFileFitsBackToThePart();
    void theExitStatusCarriesTheFitsVerdict();
    void aSteeredFitWithItsKramersKronigCheck();
};

void TestCliLibrary::commandLines_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("list json") << QStringList{"library", "list", "--format", "json"} << "";
    QTest::newRow("no action") << QStringList{"library"} << "needs an action";
    QTest::newRow("unknown action")
        << QStringList{"library", "drop", "1"} << "unknown library action";
    QTest::newRow("show without id") << QStringList{"library", "show"} << "wrong number";
    QTest::newRow("id not a number") << QStringList{"library", "show", "x1"} << "no sweep id";
    QTest::newRow("id zero") << QStringList{"library", "delete", "3", "0"} << "no sweep id";
    QTest::newRow("export kind") << QStringList{"library", "export", "1", "a.txt", "--as", "xls"}
                                 << "--as takes";
    QTest::newRow("rename") << QStringList{"library", "rename", "4", "C12 до"} << "";
    QTest::newRow("prune without rule") << QStringList{"library", "prune"} << "needs --keep";
    QTest::newRow("prune bad date")
        << QStringList{"library", "prune", "--before", "10.12.2026"} << "YYYY-MM-DD";
    QTest::newRow("prune") << QStringList{"library", "prune", "--keep", "100"} << "";
    QTest::newRow("fit file") << QStringList{"fit", "a.s1p", "--model", "auto"} << "";
    QTest::newRow("fit nothing") << QStringList{"fit"} << "one sweep";
    QTest::newRow("side file to a file")
        << QStringList{"sweep",    "--from", "1000",     "--to",  "2000",
                       "--points", "3",      "--output", "a.csv", "--side-file"}
        << "";
    QTest::newRow("side file without a file")
        << QStringList{"sweep", "--from", "1000", "--to", "2000", "--points", "3", "--side-file"}
        << "--side-file needs --output FILE";
    QTest::newRow("fit file and id") << QStringList{"fit", "a.csv", "--id", "2"} << "one sweep";
    QTest::newRow("fit model") << QStringList{"fit", "a.csv", "--model", "spline"}
                               << "--model takes";
    QTest::newRow("fit circuit string")
        << QStringList{"fit", "a.csv", "--model", "R0-p(R1,Q1)"} << "";
    QTest::newRow("fit broken circuit string")
        << QStringList{"fit", "a.csv", "--model", "R0-p(R1"} << "position 7: 'p(' is not closed";
    QTest::newRow("fit steered") << QStringList{"fit",         "a.csv",  "--model",
                                                "R0-p(R1,Q1)", "--fix",  "R0=10,Q1_alpha=0.9",
                                                "--fix",       "R1=1e3", "--weighting",
                                                "proportional"}
                                 << "";
    QTest::newRow("fix without value")
        << QStringList{"fit", "a.csv", "--fix", "R0"} << "--fix takes KEY=VALUE";
    QTest::newRow("fix not positive")
        << QStringList{"fit", "a.csv", "--fix", "R0=-1"} << "positive number";
    QTest::newRow("fix twice") << QStringList{"fit", "a.csv", "--fix", "R0=1", "--fix", "R0=2"}
                               << "R0 twice";
    QTest::newRow("fit bounded") << QStringList{"fit",     "a.csv", "--bound", "R1=10:,C1=:1e-6",
                                                "--bound", "R0=1:2"}
                                 << "";
    QTest::newRow("bound without sides")
        << QStringList{"fit", "a.csv", "--bound", "R1=:"} << "--bound R1=: gives neither side";
    QTest::newRow("bound without colon")
        << QStringList{"fit", "a.csv", "--bound", "R1=10"} << "--bound takes KEY=LOW:HIGH";
    QTest::newRow("bound reversed")
        << QStringList{"fit", "a.csv", "--bound", "R1=10:1"} << "LOW must be below HIGH";
    QTest::newRow("bound not a number")
        << QStringList{"fit", "a.csv", "--bound", "R1=x:1"} << "positive numbers";
    QTest::newRow("bound and fix of one key")
        << QStringList{"fit", "a.csv", "--fix", "R1=5", "--bound", "r1=1:10"}
        << "give r1 more than once";
    QTest::newRow("weighting") << QStringList{"fit", "a.csv", "--weighting", "log"}
                               << "--weighting takes modulus, proportional or unit";
    QTest::newRow("sweep fix without fit")
        << QStringList{"sweep", "--from", "1000", "--to", "2000", "--points", "3", "--fix", "R=1"}
        << "steer --fit";
    QTest::newRow("fit format") << QStringList{"fit", "a.csv", "--format", "csv"}
                                << "--format takes";
}

void TestCliLibrary::commandLines() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const Cli::Invocation invocation = Cli::ParseInvocation(arguments);
    if (error.isEmpty())
        QVERIFY2(invocation.error.isEmpty(), qPrintable(invocation.error));
    else
        QVERIFY2(invocation.error.contains(error), qPrintable(invocation.error));
    QVERIFY(!invocation.helpText.isEmpty());
}

// One run, its data file, its kept copy and a Touchstone export of that copy: one fit.
void TestCliLibrary::aKeptRunFitsAlikeFromEveryCopy() {
    QTemporaryDir dir;
    const QString library = dir.filePath("kept.sqlite");
    const QString run = dir.filePath("run.csv");
    const Outcome swept =
        Run({"sweep", "--demo", "--from", "1000", "--to", "1000000", "--points", "16", "--spacing",
             "log", "--fit", "auto", "--output", run, "--library", library});
    QCOMPARE(swept.code, 0);
    const QString fit = Fitted(swept.err);
    QVERIFY2(fit.startsWith("fit: "), qPrintable(swept.err));

    const Outcome listed = Run({"library", "list", "--format", "json", "--library", library});
    QCOMPARE(listed.code, 0);
    const QJsonObject entry = QJsonDocument::fromJson(listed.out.toUtf8()).object();
    QCOMPARE(entry["points"].toInt(), 16);
    QCOMPARE(entry["interrupted"].toBool(), false);
    QCOMPARE(entry["swept"].toString(), QStringLiteral("frequency"));
    QCOMPARE(entry["first_planned"].toDouble(), 1000.0);
    const QString id = QString::number(entry["id"].toInteger());

    const QString touchstone = dir.filePath("copy.s1p");
    QCOMPARE(Run({"library", "export", id, touchstone, "--library", library}).code, 0);
    for (const QStringList &source : {QStringList{run}, QStringList{touchstone},
                                      QStringList{"--id", id, "--library", library}}) {
        const Outcome refit = Run(QStringList{"fit"} + source);
        QCOMPARE(refit.code, 0);
        QCOMPARE(refit.out, fit);
    }
}

// --side-file: beside the table its run's context and the fit printed as --format json prints
// it; without it, no side file.
void TestCliLibrary::theSideFileCarriesConditionsAndFit() {
    QTemporaryDir dir;
    const QString run = dir.filePath("run.csv");
    const Outcome swept =
        Run({"sweep", "--demo", "--from", "1000", "--to", "100000", "--points", "8", "--circuit",
             "parallel", "--fit", "auto", "--output", run, "--side-file", "--no-keep"});
    QCOMPARE(swept.code, 0);
    QFile side(run + ".impedix.json");
    QVERIFY(side.open(QIODevice::ReadOnly));
    const QJsonObject context = QJsonDocument::fromJson(side.readAll()).object();
    QCOMPARE(context["format"].toString(), QStringLiteral("impedix-sweep-context"));
    QCOMPARE(context["data_file"].toString(), QStringLiteral("run.csv"));
    QCOMPARE(context["points"].toInt(), 8);
    QCOMPARE(context["swept"].toString(), QStringLiteral("frequency"));
    QVERIFY(!context["model"].toString().isEmpty());
    QCOMPARE(context["conditions"].toObject()["circuit"].toString(), QStringLiteral("parallel"));
    // The table's points fitted again give the same fit.
    const QJsonObject fit = context["fit"].toObject();
    const Outcome refit = Run({"fit", run, "--format", "json"});
    QCOMPARE(refit.code, 0);
    const QJsonObject again =
        QJsonDocument::fromJson(refit.out.toUtf8()).object()["fit"].toObject();
    QVERIFY(!fit["model"].toString().isEmpty());
    QCOMPARE(fit["model"], again["model"]);
    QCOMPARE(fit["points_used"].toInt(), 8);
    QCOMPARE(fit["elements"].toArray().size(), again["elements"].toArray().size());

    const QString plain = dir.filePath("plain.csv");
    QCOMPARE(Run({"sweep", "--demo", "--from", "1000", "--to", "100000", "--points", "8",
                  "--output", plain, "--no-keep"})
                 .code,
             0);
    QVERIFY(QFileInfo::exists(plain));
    QVERIFY(!QFileInfo::exists(plain + ".impedix.json"));
}

void TestCliLibrary::importRenameAndDelete() {
    QTemporaryDir dir;
    const QString library = dir.filePath("kept.sqlite");
    const QString plain = dir.filePath("coil.csv");
    QVERIFY(Write(plain, "100,1.5,0.25\n1000,1.5,2.5\n10000,1.6,25\n"));
    const Outcome imported = Run({"library", "import", plain, "--library", library});
    QCOMPARE(imported.code, 0);
    const QString id = imported.out.section(' ', 0, 0);
    QCOMPARE(Run({"library", "rename", id, "катушка", "--library", library}).code, 0);
    const Outcome shown = Run({"library", "show", id, "--format", "json", "--library", library});
    QCOMPARE(shown.code, 0);
    const QStringList lines = shown.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4); // the sweep, then its three points
    const QJsonObject sweep =
        QJsonDocument::fromJson(lines[0].toUtf8()).object()["sweep"].toObject();
    QCOMPARE(sweep["name"].toString(), QStringLiteral("катушка"));
    QVERIFY(sweep["source"].toString().endsWith("coil.csv"));
    QCOMPARE(Run({"library", "delete", id, "--library", library}).code, 0);
    const Outcome gone = Run({"library", "show", id, "--library", library});
    QCOMPARE(gone.code, 6);
    QVERIFY2(gone.err.contains("no kept sweep has id " + id), qPrintable(gone.err));
}

void TestCliLibrary::filesAndLibrariesThatCannotBeUsed() {
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.csv");
    QVERIFY(Write(bad, "100,1,2\n1000,1,2\n10000,one,2\n"));
    const QString library = dir.filePath("kept.sqlite");
    const Outcome refused = Run({"library", "import", bad, "--library", library});
    QCOMPARE(refused.code, 6);
    QVERIFY2(refused.err.contains("bad.csv:3: "), qPrintable(refused.err));
    const Outcome unfit = Run({"fit", bad});
    QCOMPARE(unfit.code, 6);
    QVERIFY2(unfit.err.contains("bad.csv:3: "), qPrintable(unfit.err));

    // Someone else's file where the library should be: refused, left as it was, and a sweep
    // still measures (not kept, and says so).
    const QString foreign = dir.filePath("notes.sqlite");
    QVERIFY(Write(foreign, "my own notes\n"));
    const QByteArray before = Digest(foreign);
    const Outcome listed = Run({"library", "list", "--library", foreign});
    QCOMPARE(listed.code, 7);
    QVERIFY2(listed.err.contains("is not an Impedix sweep library"), qPrintable(listed.err));
    const Outcome swept = Run({"sweep", "--demo", "--from", "1000", "--to", "2000", "--points", "3",
                               "--library", foreign});
    QCOMPARE(swept.code, 0);
    QVERIFY2(swept.err.contains("the run is not kept"), qPrintable(swept.err));
    QCOMPARE(swept.out.count('\n'), 4); // the table still comes
    QCOMPARE(Digest(foreign), before);
}

// The file the simulated meter writes of its part, read and fitted as any other: the part again.
void TestCliLibrary::theSimulatedPartsOwnFileFitsBackToThePart() {
    QTemporaryDir dir;
    const QString part = dir.filePath("part.csv");
    QProcess sim;
    sim.start(QStringLiteral(IMPEDIX_SIM_PATH),
              {"--dut", "C=47n,R=2.2", "--write-part", part, "--model", "KT-44"});
    const Outcome written = TestProcess::Finish(sim, CliProcess::Generous);
    QCOMPARE(written.code, 0);
    const Outcome fitted = Run({"fit", part, "--model", "series-rc", "--format", "json"});
    QCOMPARE(fitted.code, 0);
    const QJsonObject fit = QJsonDocument::fromJson(fitted.out.toUtf8()).object()["fit"].toObject();
    const QJsonObject elements = fit["elements"].toObject();
    const double c = elements["C"].toObject()["value"].toDouble();
    const double r = elements["R"].toObject()["value"].toDouble();
    QVERIFY2(qAbs(c / 47e-9 - 1) < 1e-6 && qAbs(r / 2.2 - 1) < 1e-6, qPrintable(fitted.out));
}

// A part no model describes (R parallel L) exits 12 with its verdict poor; a file of two points
// asked for a three-element model exits 13; a resistor's file exits 0.
void TestCliLibrary::theExitStatusCarriesTheFitsVerdict() {
    QTemporaryDir dir;
    QByteArray parallel, resistor;
    for (int i = 0; i < 40; ++i) {
        const double hz = 100.0 * std::pow(1e5, i / 39.0);
        const std::complex<double> x(0.0, 6.283185307179586 * hz * 1e-3);
        const std::complex<double> z = 100.0 * x / (100.0 + x);
        parallel += QByteArray::number(hz, 'g', 10) + ',' + QByteArray::number(z.real(), 'g', 10) +
                    ',' + QByteArray::number(z.imag(), 'g', 10) + '\n';
        resistor += QByteArray::number(hz, 'g', 10) + ",47,0\n";
    }
    const QString poor = dir.filePath("rl.csv");
    const QString few = dir.filePath("few.csv");
    const QString good = dir.filePath("r.csv");
    QVERIFY(Write(poor, parallel) && Write(few, "100,1,-2\n1000,1,-0.2\n") &&
            Write(good, resistor));
    const Outcome poorFit = Run({"fit", poor, "--format", "json"});
    QCOMPARE(poorFit.code, Cli::ExitFitPoor);
    const QJsonObject fit =
        QJsonDocument::fromJson(poorFit.out.toUtf8()).object()["fit"].toObject();
    QCOMPARE(fit["verdict"].toString(), QStringLiteral("poor"));
    QCOMPARE(Run({"fit", few, "--model", "capacitor"}).code, Cli::ExitFitRefused);
    const Outcome goodFit = Run({"fit", good});
    QCOMPARE(goodFit.code, Cli::ExitDone);
    QVERIFY2(goodFit.out.contains("verdict good"), qPrintable(goodFit.out));
}

// The simulated part's file fitted with an element fixed, one bounded and a key the model lacks;
// every fit carries the Kramers-Kronig check of the points; an unusable option is a usage error.
void TestCliLibrary::aSteeredFitWithItsKramersKronigCheck() {
    QTemporaryDir dir;
    const QString part = dir.filePath("part.csv");
    QProcess sim;
    sim.start(QStringLiteral(IMPEDIX_SIM_PATH),
              {"--dut", "C=47n,R=2.2", "--write-part", part, "--model", "KT-44"});
    QCOMPARE(TestProcess::Finish(sim, CliProcess::Generous).code, 0);
    const auto fitOf = [](const Outcome &o) {
        return QJsonDocument::fromJson(o.out.toUtf8()).object()["fit"].toObject();
    };
    const Outcome fixed = Run({"fit", part, "--model", "series-rc", "--fix", "R=2", "--weighting",
                               "proportional", "--format", "json"});
    QCOMPARE(fixed.code, Cli::ExitFitPoor); // R held 10 % off: the model misses the data
    const QJsonObject elements = fitOf(fixed)["elements"].toObject();
    QCOMPARE(elements["R"].toObject()["state"].toString(), QStringLiteral("fixed"));
    QCOMPARE(elements["R"].toObject()["value"].toDouble(), 2.0);
    const QJsonObject check = fitOf(fixed)["kramers_kronig"].toObject();
    QCOMPARE(check["consistent"].toBool(false), true);
    QVERIFY(check["elements"].toInt() >= 1);

    const Outcome bounded = Run({"fit", part, "--model", "series-rc", "--bound", "C=:40e-9"});
    QCOMPARE(bounded.code, Cli::ExitFitPoor);
    QVERIFY2(bounded.out.contains("(at the given bound)") &&
                 bounded.out.contains("Kramers-Kronig: consistent"),
             qPrintable(bounded.out));

    const Outcome lacking = Run({"fit", part, "--model", "series-rc", "--fix", "ESL=1e-9"});
    QCOMPARE(lacking.code, Cli::ExitFitRefused);
    QVERIFY2(lacking.out.contains("no element ESL"), qPrintable(lacking.out));
    const Outcome usage = Run({"fit", part, "--bound", "C=2:1"});
    QCOMPARE(usage.code, Cli::ExitUsage);
    QVERIFY2(usage.err.contains("LOW must be below HIGH"), qPrintable(usage.err));
}

QTEST_GUILESS_MAIN(TestCliLibrary)
#include "test_cli_library.moc"
