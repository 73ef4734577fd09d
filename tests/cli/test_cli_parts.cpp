// The pure parts of impedix-cli: reading and checking conditions and runs against the models,
// the subcommand parser, the JSON lines and the progress text.
#include "cli/conditions.h"
#include "cli/fixture_options.h"
#include "cli/invocation.h"
#include "cli/progress.h"
#include "cli/records.h"
#include "link/reading_status.h"
#include "sweep/sweep_store.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace Cli;

namespace {

constexpr int KT41 = 0, KT44 = 2, KT45 = 3;

} // namespace

class TestCliParts : public QObject {
    Q_OBJECT

private slots:
    void readers_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value"); // -999: refused
        QTest::newRow("level 1 V") << "level"
                                   << "1" << qint64(1000);
        QTest::newRow("level 5 mV") << "level"
                                    << "0.005" << qint64(5);
        QTest::newRow("level 0.1 as 1e-1") << "level"
                                           << "1e-1" << qint64(100);
        QTest::newRow("level not in list") << "level"
                                           << "0.3" << qint64(-999);
        QTest::newRow("level 2 V") << "level"
                                   << "2" << qint64(-999);
        QTest::newRow("bias 1.6 V") << "bias"
                                    << "1.6" << qint64(1600);
        QTest::newRow("bias 40 V") << "bias"
                                   << "40" << qint64(40000);
        QTest::newRow("bias above 40 V") << "bias"
                                         << "40.01" << qint64(-999);
        QTest::newRow("bias negative") << "bias"
                                       << "-1" << qint64(-999);
        QTest::newRow("bias finer than any step") << "bias"
                                                  << "0.005" << qint64(-999);
        QTest::newRow("bias nan") << "bias"
                                  << "nan" << qint64(-999);
        QTest::newRow("frequency 1000") << "frequency"
                                        << "1000" << qint64(1000);
        QTest::newRow("frequency 1e6") << "frequency"
                                       << "1e6" << qint64(1000000);
        QTest::newRow("frequency fraction") << "frequency"
                                            << "1000.5" << qint64(-999);
        QTest::newRow("frequency 0") << "frequency"
                                     << "0" << qint64(-999);
        QTest::newRow("frequency text") << "frequency"
                                        << "1k" << qint64(-999);
        QTest::newRow("range auto") << "range"
                                    << "auto" << qint64(AutoRangeChoice);
        QTest::newRow("range 10 M") << "range"
                                    << "1e7" << qint64(0);
        QTest::newRow("range 1 k") << "range"
                                   << "1000" << qint64(4);
        QTest::newRow("range 1") << "range"
                                 << "1" << qint64(7);
        QTest::newRow("range not one") << "range"
                                       << "500" << qint64(-999);
        QTest::newRow("count 0") << "count"
                                 << "0" << qint64(-999);
        QTest::newRow("count 5") << "count"
                                 << "5" << qint64(5);
    }
    void readers() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QString error;
        std::optional<qint64> got;
        if (kind == "level") {
            if (auto v = ReadLevel(text, &error)) got = *v;
        } else if (kind == "bias") {
            if (auto v = ReadBias(text, &error)) got = *v;
        } else if (kind == "frequency") {
            if (auto v = ReadFrequency("--frequency", text, &error)) got = *v;
        } else if (kind == "range") {
            if (auto v = ReadRange(text, &error)) got = *v;
        } else {
            got = ReadCount("--count", text, &error);
        }
        if (value == -999) {
            QVERIFY2(!got, qPrintable(kind + " took " + text));
            QVERIFY2(error.contains(text), qPrintable(error)); // names what it refused
        } else {
            QCOMPARE(got.value_or(-12345), value);
        }
    }

    // A refusal names the values the meter takes.
    void refusalsNameTheAllowedValues() {
        QString error;
        ReadLevel("0.3", &error);
        QVERIFY2(error.contains("1, 0.5, 0.1, 0.05, 0.01, 0.005"), qPrintable(error));
        ReadRange("500", &error);
        QVERIFY2(error.contains("10000000") && error.contains("auto"), qPrintable(error));
    }

    void conditionsAgainstModels_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("hz");        // 0: not given
        QTest::addColumn<int>("bias");      // mV, -1: not given
        QTest::addColumn<QString>("names"); // empty: accepted
        QTest::newRow("KT-44 lowest") << KT44 << 25 << -1 << "";
        QTest::newRow("KT-44 highest") << KT44 << 10000000 << -1 << "";
        QTest::newRow("KT-44 above") << KT44 << 10000001 << -1 << "25 to 10000000 Hz";
        QTest::newRow("KT-45 below") << KT45 << 49999 << -1 << "50000 to 30000000 Hz";
        QTest::newRow("KT-45 30 MHz") << KT45 << 30000000 << -1 << "";
        QTest::newRow("KT-41 above") << KT41 << 1000001 << -1 << "KT-41";
        QTest::newRow("KT-41 bias in 100 mV") << KT41 << 0 << 1600 << "";
        QTest::newRow("KT-41 bias 50 mV") << KT41 << 0 << 1650 << "steps of 0.1 V";
        QTest::newRow("KT-44 bias 10 mV") << KT44 << 0 << 1650 << "";
    }
    void conditionsAgainstModels() {
        QFETCH(int, model);
        QFETCH(int, hz);
        QFETCH(int, bias);
        QFETCH(QString, names);
        Conditions c;
        if (hz) c.frequencyHz = hz;
        if (bias >= 0) c.biasMillivolts = bias;
        const QString refusal = CheckConditions(c, model);
        if (names.isEmpty())
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
        else
            QVERIFY2(refusal.contains(names), qPrintable(refusal));
    }

    void sweepsAgainstModels_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("frequencyMode");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("full band") << KT44 << true << 25 << 10000000 << 256 << true;
        QTest::newRow("from = to") << KT44 << true << 1000 << 1000 << 2 << true;
        QTest::newRow("to below from") << KT44 << true << 1000 << 999 << 10 << false;
        QTest::newRow("above START's bound") << KT44 << true << 25 << 10000001 << 10 << false;
        QTest::newRow("below the KT-45") << KT45 << true << 25 << 100000 << 10 << false;
        QTest::newRow("KT-41 to 2 MHz") << KT41 << true << 25 << 2000000 << 10 << false;
        QTest::newRow("one point") << KT44 << true << 25 << 1000 << 1 << false;
        QTest::newRow("257 points") << KT44 << true << 25 << 1000 << 257 << false;
        QTest::newRow("samples") << KT44 << false << 1000 << 1000 << 256 << true;
        QTest::newRow("samples below 25") << KT44 << false << 24 << 24 << 5 << false;
    }
    void sweepsAgainstModels() {
        QFETCH(int, model);
        QFETCH(bool, frequencyMode);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, points);
        QFETCH(bool, accepted);
        SweepPlan plan;
        plan.frequencyMode = frequencyMode;
        plan.fromHz = from;
        plan.toHz = to;
        plan.points = points;
        const QString refusal = CheckSweep(plan, model);
        QCOMPARE(refusal.isEmpty(), accepted);
    }

    // The refusals word the bound broken, the value asked and what the model takes, exactly.
    void refusalsWordedExactly_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("frequencyMode");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("message");
        QTest::newRow("from below") << KT45 << true << 25 << 100000 << 10
                                    << "--from 25: the KT-45 sweeps from 50000 to 10000000 Hz";
        QTest::newRow("samples below") << KT41 << false << 24 << 24 << 5
                                       << "--frequency 24: the KT-41 sweeps from 25 to 1000000 Hz";
        QTest::newRow("to below from")
            << KT44 << true << 1000 << 999 << 10
            << "--to 999: the run ends from --from (1000) to 10000000 Hz";
        QTest::newRow("to above the model")
            << KT41 << true << 25 << 2000000 << 10
            << "--to 2000000: the run ends from --from (25) to 1000000 Hz";
        QTest::newRow("one point")
            << KT44 << true << 25 << 1000 << 1 << "--points 1: a run has 2 to 256 points";
        QTest::newRow("too many samples")
            << KT44 << false << 60000 << 60000 << 300 << "--samples 300: a run has 2 to 256 points";
        QTest::newRow("from checked before points")
            << KT44 << true << 24 << 1000 << 1
            << "--from 24: the KT-44 sweeps from 25 to 10000000 Hz";
    }
    void refusalsWordedExactly() {
        QFETCH(int, model);
        QFETCH(bool, frequencyMode);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, points);
        QFETCH(QString, message);
        SweepPlan plan;
        plan.frequencyMode = frequencyMode;
        plan.fromHz = from;
        plan.toHz = to;
        plan.points = points;
        QCOMPARE(CheckSweep(plan, model), message);
        plan.spacing = Sweep::Spacing::Log; // the same bounds whatever the spacing
        QCOMPARE(CheckSweep(plan, model), message);
    }

    void conditionRefusalsWordedExactly() {
        Conditions c;
        c.frequencyHz = 49999;
        QCOMPARE(CheckConditions(c, KT45),
                 QString("--frequency 49999: the KT-45 measures from 50000 to 30000000 Hz"));
        c.frequencyHz = 1000001;
        QCOMPARE(CheckConditions(c, KT41),
                 QString("--frequency 1000001: the KT-41 measures from 25 to 1000000 Hz"));
        c.frequencyHz.reset();
        c.biasMillivolts = 1650;
        QCOMPARE(CheckConditions(c, KT41),
                 QString("--bias 1.65: the KT-41 takes a bias from 0 to 40 V in steps of 0.1 V"));
        c.biasMillivolts = 1655;
        QCOMPARE(CheckConditions(c, KT45),
                 QString("--bias 1.655: the KT-45 takes a bias from 0 to 40 V in steps of 0.01 V"));
        QString error;
        QVERIFY(!ReadBias("40.01", &error));
        QCOMPARE(error, QString("--bias needs a voltage from 0 to 40 V in steps of 0.01 V, not "
                                "\"40.01\""));
        QVERIFY(!ReadLevel("0.3", &error));
        QCOMPARE(error, QString("--level takes one of the meter's levels: 1, 0.5, 0.1, 0.05, "
                                "0.01, 0.005 (V), not \"0.3\""));
        QVERIFY(!ReadRange("500", &error));
        QCOMPARE(error, QString("--range takes auto or one of the meter's ranges in ohms: auto, "
                                "10000000, 1000000, 100000, 10000, 1000, 100, 10, 1; not \"500\""));
    }

    // A list file's refusal in English, with its line; the file's frequencies and bounds once
    // taken; and a list the model cannot sweep.
    void listFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("problem"); // empty: taken
        QTest::newRow("taken") << QByteArray("# part\n2000\n 500 # low\n\n1000\n") << "";
        QTest::newRow("not whole") << QByteArray("100\n\n1e3\n") << "line 3: not a whole";
        QTest::newRow("out of range") << QByteArray("100\n24\n") << "line 2: a frequency outside";
        QTest::newRow("one entry") << QByteArray("# only\n100\n") << "fewer than 2";
        QByteArray many;
        for (int i = 0; i < 257; ++i)
            many += QByteArray::number(100 + i) + '\n';
        QTest::newRow("257 entries") << many << "line 257: more than 256";
    }
    void listFiles() {
        QFETCH(QByteArray, text);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = dir.filePath("list.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        SweepPlan plan;
        plan.listFile = path;
        QString error;
        const bool taken = TakeListFile(&plan, &error);
        QCOMPARE(taken, problem.isEmpty());
        if (!taken) {
            QVERIFY2(error.startsWith("--list " + path + ": " + problem), qPrintable(error));
            return;
        }
        QCOMPARE(plan.frequencies, (std::vector<std::int32_t>{2000, 500, 1000}));
        QCOMPARE(plan.fromHz, 500);
        QCOMPARE(plan.toHz, 2000);
        QCOMPARE(plan.points, 3);
        QVERIFY(CheckSweep(plan, KT44).isEmpty());
        const QString refusal = CheckSweep(plan, KT45); // from 50 kHz
        QCOMPARE(refusal, "--list " + path +
                              ": 2000 Hz is outside what the KT-45 sweeps, 50000 "
                              "to 10000000 Hz");
    }

    void missingListFile() {
        QTemporaryDir dir;
        SweepPlan plan;
        plan.listFile = dir.filePath("none.txt");
        QString error;
        QVERIFY(!TakeListFile(&plan, &error));
        QVERIFY2(error.endsWith(": no such file"), qPrintable(error));
        plan.listFile = dir.path(); // a directory is no list either
        QVERIFY(!TakeListFile(&plan, &error));
        QVERIFY2(error.endsWith(": no such file"), qPrintable(error));
    }

    void invocations_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // what the message must hold; empty: accepted
        QTest::newRow("measure") << QStringList{"measure", "--count", "3"} << "";
        QTest::newRow("count and seconds")
            << QStringList{"measure", "--count", "3", "--seconds", "1"} << "exclude";
        QTest::newRow("bad speed") << QStringList{"measure", "--speed", "slow"} << "slow";
        QTest::newRow("bad format") << QStringList{"measure", "--format", "xml"} << "xml";
        QTest::newRow("sweep without points")
            << QStringList{"sweep", "--from", "25", "--to", "100"} << "--points";
        QTest::newRow("sweep both kinds")
            << QStringList{"sweep", "--from", "25", "--samples", "3"} << "exclude";
        QTest::newRow("sweep nothing") << QStringList{"sweep"} << "--from";
        QTest::newRow("log sweep") << QStringList{"sweep",    "--from", "25",        "--to", "100",
                                                  "--points", "5",      "--spacing", "log"}
                                   << "";
        QTest::newRow("bad spacing")
            << QStringList{"sweep",    "--from", "25",        "--to", "100",
                           "--points", "5",      "--spacing", "list"}
            << "linear or log";
        QTest::newRow("spacing of samples")
            << QStringList{"sweep", "--samples", "3", "--frequency", "100", "--spacing", "log"}
            << "--samples";
        QTest::newRow("list of samples")
            << QStringList{"sweep", "--samples", "3", "--frequency", "100", "--list", "f"}
            << "--samples";
        QTest::newRow("spacing and list")
            << QStringList{"sweep", "--list", "f", "--spacing", "log"} << "exclude";
        QTest::newRow("file and bounds")
            << QStringList{"sweep", "--list", "f", "--from", "25"} << "from the file";
        QTest::newRow("empty list") << QStringList{"sweep", "--list", ""} << "file name";
        QTest::newRow("standard without to")
            << QStringList{"sweep", "--list", "standard", "--from", "25"} << "--to";
        QTest::newRow("standard with points")
            << QStringList{"sweep", "--list", "standard", "--from", "25",
                           "--to",  "100",    "--points", "3"}
            << "--points";
        QTest::newRow("standard with one frequency")
            << QStringList{"sweep", "--list", "standard", "--from", "101", "--to", "119"}
            << "fewer than 2";
        QTest::newRow("unknown command") << QStringList{"measur"} << "measur";
        QTest::newRow("no command") << QStringList{} << "command";
        QTest::newRow("unknown option") << QStringList{"identify", "--record", "x"} << "record";
        QTest::newRow("stray argument") << QStringList{"identify", "COM1"} << "COM1";
        QTest::newRow("ports has no demo") << QStringList{"ports", "--demo"} << "demo";
        QTest::newRow("same port twice")
            << QStringList{"identify", "--port", "COM3=/a", "--port", "COM3=/b"} << "COM3";
        QTest::newRow("demo on a mapped COM1")
            << QStringList{"identify", "--port", "COM1=/a", "--demo"} << "COM1";
        QTest::newRow("empty demo model") << QStringList{"identify", "--demo="} << "model";
        QTest::newRow("serve") << QStringList{"serve", "--demo"} << "";
        QTest::newRow("simulator options")
            << QStringList{"identify", "--demo", "--demo-sim", "--vanish-after 200 --away 3000"}
            << "";
        QTest::newRow("simulator options without demo")
            << QStringList{"measure", "--demo-sim", "--think 5"} << "--demo-sim needs --demo";
        QTest::newRow("simulator option's mistake") << QStringList{"sweep",
                                                                   "--samples",
                                                                   "2",
                                                                   "--frequency",
                                                                   "1000",
                                                                   "--demo",
                                                                   "--demo-sim=--frame bias=-1"}
                                                    << "--demo-sim: --frame: bias";
        QTest::newRow("unknown demo model") << QStringList{"identify", "--demo=KT-42"} << "KT-42";
        QTest::newRow("ports has no simulator")
            << QStringList{"ports", "--demo-sim", "--think 5"} << "demo-sim";
        QTest::newRow("serve port too high")
            << QStringList{"serve", "--scpi", "70000"}
            << "--scpi takes a TCP port from 0 to 65535, not \"70000\"";
        QTest::newRow("serve port not a number")
            << QStringList{"serve", "--scpi=abc"} << "from 0 to 65535, not \"abc\"";
        QTest::newRow("serve negative port") << QStringList{"serve", "--scpi", "-1"} << "\"-1\"";
        QTest::newRow("serve empty port") << QStringList{"serve", "--scpi", ""} << "not \"\"";
        QTest::newRow("serve on a host name") << QStringList{"serve", "--listen", "localhost"}
                                              << "--listen takes an IP address, not \"localhost\"";
        QTest::newRow("serve on a bad address")
            << QStringList{"serve", "--listen", "300.1.2.3"} << "\"300.1.2.3\"";
        QTest::newRow("serve without address") << QStringList{"serve", "--listen"} << "--listen";
        QTest::newRow("SCPI is serve's") << QStringList{"measure", "--scpi", "5025"} << "scpi";
        QTest::newRow("correct open") << QStringList{"correct", "open", "--spot"} << "";
        QTest::newRow("correct nothing") << QStringList{"correct"} << "open, short or load";
        QTest::newRow("correct a part") << QStringList{"correct", "part"} << "\"part\"";
        QTest::newRow("correct twice") << QStringList{"correct", "open", "short"} << "\"short\"";
        QTest::newRow("standard of open")
            << QStringList{"correct", "open", "--standard", "R+X:100,0"} << "correct load";
        QTest::newRow("grid and spot")
            << QStringList{"correct", "open", "--grid", "--spot"} << "exclude";
        QTest::newRow("range without points")
            << QStringList{"correct", "short", "--from", "100", "--to", "1000"} << "--points";
        QTest::newRow("one point")
            << QStringList{"correct", "short", "--from", "100", "--to", "1000", "--points", "1"}
            << "2 to 256";
        QTest::newRow("no averaging")
            << QStringList{"correct", "open", "--averaging", "0"} << "1 to 256";
        QTest::newRow("correction of a sweep")
            << QStringList{"sweep",        "--samples",      "2", "--frequency", "1000",
                           "--correction", "open-short-load"}
            << "";
        QTest::newRow("correction of serve")
            << QStringList{"serve", "--correction", "short", "--fixture", "jig"} << "";
        QTest::newRow("correction unknown")
            << QStringList{"measure", "--correction", "load"} << "open-short-load, not \"load\"";
        QTest::newRow("correction of identify")
            << QStringList{"identify", "--correction", "open"} << "correction";
    }
    void invocations() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const Invocation invocation = ParseInvocation(arguments);
        if (error.isEmpty())
            QVERIFY2(invocation.error.isEmpty(), qPrintable(invocation.error));
        else
            QVERIFY2(invocation.error.contains(error), qPrintable(invocation.error));
    }

    void invocationValues() {
        const Invocation m =
            ParseInvocation({"measure", "--demo=KT-45", "--frequency=100000", "--range", "auto",
                             "--circuit", "parallel", "--seconds", "2.5", "--format", "json"});
        QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
        QCOMPARE(m.command, Command::Measure);
        QVERIFY(m.demo);
        QCOMPARE(m.demoModel, QString("KT-45"));
        QCOMPARE(m.conditions.frequencyHz.value_or(0), 100000);
        QCOMPARE(m.conditions.range.value_or(99), AutoRangeChoice);
        QCOMPARE(m.conditions.circuit, Circuit::Parallel);
        QCOMPARE(m.duration.seconds.value_or(0), 2.5);
        QCOMPARE(m.format, Format::Json);
        QVERIFY(!m.conditions.levelMillivolts && m.conditions.speed == Speed::Unchanged);

        const Invocation s =
            ParseInvocation({"sweep", "--samples", "7", "--frequency", "1000", "--output", "f"});
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QVERIFY(!s.sweep.frequencyMode);
        QCOMPARE(s.sweep.fromHz, 1000);
        QCOMPARE(s.sweep.toHz, 1000);
        QCOMPARE(s.sweep.points, 7);
        QCOMPARE(s.outputPath, QString("f"));

        const Invocation log = ParseInvocation(
            {"sweep", "--from", "100", "--to", "1000", "--points", "4", "--spacing", "log"});
        QCOMPARE(log.sweep.spacing, Sweep::Spacing::Log);
        QCOMPARE(log.sweep.points, 4);
        const Invocation linear =
            ParseInvocation({"sweep", "--from", "100", "--to", "1000", "--points", "4"});
        QCOMPARE(linear.sweep.spacing, Sweep::Spacing::Linear);

        const Invocation standard =
            ParseInvocation({"sweep", "--list", "standard", "--from", "100", "--to", "1000"});
        QVERIFY2(standard.error.isEmpty(), qPrintable(standard.error));
        QCOMPARE(standard.sweep.spacing, Sweep::Spacing::List);
        QCOMPARE(standard.sweep.frequencies, Sweep::MeterListPlan(100, 1000));
        QCOMPARE(standard.sweep.points, int(standard.sweep.frequencies.size()));
        QVERIFY(standard.sweep.listFile.isEmpty());

        const Invocation file = ParseInvocation({"sweep", "--list", "parts.txt"});
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QCOMPARE(file.sweep.listFile, QString("parts.txt"));
        QVERIFY(file.sweep.frequencies.empty()); // read by the run, not by the parser

        const Invocation plain = ParseInvocation({"serve"});
        QCOMPARE(plain.command, Command::Serve);
        QCOMPARE(int(plain.serve.port), 5025);
        QCOMPARE(plain.serve.address, QString("127.0.0.1"));
        const Invocation wide = ParseInvocation({"serve", "--scpi=0", "--listen", "::1"});
        QVERIFY2(wide.error.isEmpty(), qPrintable(wide.error));
        QCOMPARE(int(wide.serve.port), 0);
        QCOMPARE(wide.serve.address, QString("::1"));
        QCOMPARE(int(ParseInvocation({"serve", "--scpi", "65535"}).serve.port), 65535);

        const Invocation h = ParseInvocation({"sweep", "--help"});
        QVERIFY(h.help);
        QVERIFY2(h.helpText.startsWith("Usage: impedix-cli sweep") &&
                     h.helpText.contains("--points"),
                 qPrintable(h.helpText));
    }

    void correctValues() {
        const Invocation load = ParseInvocation({"correct", "load", "--standard", "C+D:4.7n,0.001",
                                                 "--fixture", "jig", "--from", "100", "--to",
                                                 "100000", "--points", "7", "--averaging", "3"});
        QVERIFY2(load.error.isEmpty(), qPrintable(load.error));
        QCOMPARE(load.command, Command::Correct);
        QCOMPARE(load.correct.kind, Comp::LoadCorrection);
        QVERIFY(load.correct.standard.has_value());
        QCOMPARE(load.correct.standard->first, 4.7e-9);
        QCOMPARE(load.correct.span.form, FixtureSpan::Form::Range);
        QCOMPARE(load.correct.span.points, 7);
        QCOMPARE(load.correct.averaging, 3);
        QCOMPARE(load.correction.fixture, QString("jig"));
        const Invocation open = ParseInvocation({"correct", "open"});
        QCOMPARE(open.correct.span.form, FixtureSpan::Form::Grid); // the default
        QCOMPARE(open.correct.averaging, 8);
        QCOMPARE(ParseInvocation({"measure"}).correction.kinds, unsigned(Comp::NoCorrection));
        QCOMPARE(ParseInvocation({"measure", "--correction", "open-short"}).correction.kinds,
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
    }

    // The standard's forms, each number with or without an SI suffix; a standard of zero, or
    // one a form cannot be, is refused.
    void loadStandards_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("form"); // -1: refused
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("second");
        using F = Comp::LoadStandard::Form;
        QTest::newRow("resistor") << "R+X:100,0" << int(F::ResistanceReactance) << 100.0 << 0.0;
        QTest::newRow("kilo-ohms, a reactance")
            << "r+x:1.5k,-20" << int(F::ResistanceReactance) << 1500.0 << -20.0;
        QTest::newRow("capacitor") << "C+D:1n,0.001" << int(F::CapacitanceD) << 1e-9 << 0.001;
        QTest::newRow("micro sign") << "C+D:2\u00b5,0" << int(F::CapacitanceD) << 2e-6 << 0.0;
        QTest::newRow("inductor") << "L+Q:1m,50" << int(F::InductanceQ) << 1e-3 << 50.0;
        QTest::newRow("exponent") << "L+Q:1e-6,2" << int(F::InductanceQ) << 1e-6 << 2.0;
        QTest::newRow("zero") << "R+X:0,0" << -1 << 0.0 << 0.0;
        QTest::newRow("zero as 0m") << "R+X:0m,0k" << -1 << 0.0 << 0.0;
        QTest::newRow("no capacitance") << "C+D:0,0.1" << -1 << 0.0 << 0.0;
        QTest::newRow("negative D") << "C+D:1n,-0.1" << -1 << 0.0 << 0.0;
        QTest::newRow("Q of zero") << "L+Q:1m,0" << -1 << 0.0 << 0.0;
        QTest::newRow("one value") << "R+X:100" << -1 << 0.0 << 0.0;
        QTest::newRow("three values") << "R+X:100,0,1" << -1 << 0.0 << 0.0;
        QTest::newRow("no form") << "100,0" << -1 << 0.0 << 0.0;
        QTest::newRow("unknown form") << "Z+T:100,0" << -1 << 0.0 << 0.0;
        QTest::newRow("unknown suffix") << "R+X:100x,0" << -1 << 0.0 << 0.0;
        QTest::newRow("a suffix alone") << "R+X:k,0" << -1 << 0.0 << 0.0;
        QTest::newRow("infinite") << "R+X:inf,0" << -1 << 0.0 << 0.0;
    }
    void loadStandards() {
        QFETCH(QString, text);
        QFETCH(int, form);
        QFETCH(double, first);
        QFETCH(double, second);
        QString error;
        const std::optional<Comp::LoadStandard> standard = ReadLoadStandard(text, &error);
        if (form < 0) {
            QVERIFY(!standard);
            QVERIFY2(error.startsWith("--standard"), qPrintable(error));
            return;
        }
        QVERIFY2(standard, qPrintable(error));
        QCOMPARE(int(standard->form), form);
        QVERIFY(std::fabs(standard->first - first) <= 1e-12 * std::fabs(first));
        QCOMPARE(standard->second, second);
    }

    // The frequencies of a range lie within it, rising, once each; a range or a spot outside
    // the model's window is refused with the window.
    void fixtureSpans() {
        QString error;
        FixtureSpan range{FixtureSpan::Form::Range, 25, 40, 30};
        const std::vector<double> hz = SpanFrequencies(range, KT44, 1000, &error);
        QVERIFY2(!hz.empty(), qPrintable(error));
        QCOMPARE(hz.front(), 25.0);
        QCOMPARE(hz.back(), 40.0);
        QVERIFY(std::adjacent_find(hz.begin(), hz.end(), std::greater_equal<double>()) == hz.end());
        QVERIFY(hz.size() < 30); // 30 points over 15 Hz round together
        const std::vector<double> grid = SpanFrequencies(FixtureSpan{}, KT44, 1000, &error);
        QVERIFY(grid.size() > 10);
        QCOMPARE(SpanFrequencies(FixtureSpan{FixtureSpan::Form::Spot, 0, 0, 0}, KT44, 1234, &error),
                 std::vector<double>{1234.0});
        error.clear();
        QVERIFY(
            SpanFrequencies(FixtureSpan{FixtureSpan::Form::Range, 10, 1000, 3}, KT44, 1000, &error)
                .empty());
        QVERIFY2(error.contains("25 to"), qPrintable(error));
    }

    // A quantity the impedance leaves undefined is null, never a guard value; the raw values
    // are the frame's own.
    void readingJson() {
        Reading r;
        r.time = "2024-01-01T00:00:00.000+00:00";
        r.frame.model = "KT-44";
        r.frame.frequencyHz = 1000;
        r.frame.seriesCircuit = true;
        r.magnitude = 0.0f; // a short circuit: Y, G, B undefined
        r.phase = 0.0f;
        QJsonObject o = QJsonDocument::fromJson(ReadingJson(r)).object();
        QVERIFY(o.value("G_S").isNull());
        QVERIFY(o.value("Y_S").isNull());
        QCOMPARE(o.value("R_ohm").toDouble(), 0.0);
        QCOMPARE(o.value("model").toString(), QString("KT-44"));

        // 1 µF with 1 Ω at 1 kHz: G is Re Y, not 1/R.
        const double x = -1.0 / (2 * M_PI * 1000 * 1e-6);
        r.magnitude = float(std::hypot(1.0, x));
        r.phase = float(std::atan2(x, 1.0));
        o = QJsonDocument::fromJson(ReadingJson(r)).object();
        QVERIFY2(std::fabs(o.value("G_S").toDouble() - 1.0 / (1 + x * x)) < 1e-8,
                 qPrintable(QString::number(o.value("G_S").toDouble())));
        QVERIFY(std::fabs(o.value("C_F").toDouble() - 1e-6) < 1e-11);
        QCOMPARE(float(o.value("z_magnitude_ohm").toDouble()), r.magnitude);
        QCOMPARE(ReadingJson(r).count('\n'), 1);
        QVERIFY(ReadingJson(r).endsWith("}\n"));
    }

    void sweepJsonHasTheTakenPoints() {
        Main::SweepVariables store;
        store.SweepPoints = 4;
        store.SweepIndex = 2;
        store.SweepRunning = true; // two taken so far
        for (int i = 0; i < 4; ++i) {
            store.SweepFrequencies[i] = 1000.0f * (i + 1);
            store.SweepSamples[6][i] = 2000.0f; // the display's |Z| in mΩ: never written
            store.SweepMagnitudes[i] = 1.0f;    // what the frame reported: a 1 Ω resistor
            store.SweepPhases[i] = 0.0f;
            store.SweepReportedFrequencies[i] = 1000 * (i + 1);
            store.SweepConnections[i] = 1;
        }
        // The first point was given up: the meter never reported its frequency.
        store.SweepStatuses[0] = int(Device::ReadingStatus::OtherFrequency);
        store.SweepReportedFrequencies[0] = 25;
        store.SweepConnections[1] = 2;
        const QList<QByteArray> lines = SweepJson(store, true).split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest
        const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
        QVERIFY(first.value("R_ohm").isNull()); // no measurement: no textbook values
        QCOMPARE(first.value("status").toInt(), 5);
        QCOMPARE(first.value("reported_frequency_hz").toInt(), 25);
        const QJsonObject second = QJsonDocument::fromJson(lines.at(1)).object();
        QCOMPARE(second.value("point").toInt(), 2);
        QCOMPARE(second.value("frequency_hz").toDouble(), 2000.0);
        QCOMPARE(second.value("R_ohm").toDouble(), 1.0);
        QVERIFY(second.value("D").isNull()); // no reactance: D undefined
        QCOMPARE(second.value("status").toInt(), 0);
        QCOMPARE(second.value("connection").toInt(), 2);
    }

    void progressLinesPerTenth() {
        QByteArray text;
        Progress progress("sweep", false, [&](const QByteArray &t) { text += t; });
        for (int done = 0; done <= 256; ++done)
            progress.update(done, 256);
        progress.finish();
        QCOMPARE(text.count('\n'), 10);
        QVERIFY2(text.startsWith("sweep: 10 % (26/256)\n"), text.constData());
        QVERIFY(text.endsWith("sweep: 100 % (256/256)\n"));
    }

    void progressBarOnATerminal() {
        QByteArray text;
        Progress progress("measure", true, [&](const QByteArray &t) { text += t; });
        progress.update(5, 10);
        progress.update(5, 10); // unchanged: not drawn again
        progress.finish();
        QCOMPARE(text.count('\r'), 1);
        QVERIFY2(text.contains(Progress::Bar(5, 10).toLatin1()), text.constData());
        QVERIFY(text.endsWith('\n'));
        QCOMPARE(Progress::Bar(5, 10).count('#'), 20);
    }
};

QTEST_GUILESS_MAIN(TestCliParts)
#include "test_cli_parts.moc"
