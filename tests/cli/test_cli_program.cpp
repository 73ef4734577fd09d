// impedix-cli as a process against the simulated meter: each subcommand, refusals before
// anything is sent, the exit codes, a stop signal in the middle of a sweep, and a binary that
// needs no Qt Gui or Qt Widgets.
#include "library/sweep_library.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_plan.h"
#include "tests/cli/cli_process.h"
#include "tests/common/lost_answer.h"
#include "tests/common/peer.h"
#include "tests/common/process_outcome.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>

#include <csignal>

namespace {

using CliProcess::Finish;
using CliProcess::Generous;
using CliProcess::Run;
using CliProcess::RunOnce;
using TestProcess::Outcome;
using TestProcess::WithoutDisplay;

// Starts a demo run and reads its stderr until it shows `progress`; a run whose demo meter's
// answers were all lost (see Run) is started once more, printed and counted. The text read.
QByteArray StartUntil(QProcess &program, const QStringList &arguments, const QByteArray &progress) {
    QByteArray err;
    do {
        program.setProcessEnvironment(WithoutDisplay());
        program.start(QStringLiteral(IMPEDIX_CLI_PATH), arguments);
        if (!program.waitForStarted(Generous)) return err;
        err.clear();
        QDeadlineTimer deadline(Generous);
        while (!err.contains(progress) && !deadline.hasExpired() &&
               program.state() == QProcess::Running) {
            program.waitForReadyRead(100);
            err += program.readAllStandardError();
        }
        if (program.state() == QProcess::NotRunning) err += program.readAllStandardError();
    } while (!err.contains(progress) && program.state() == QProcess::NotRunning &&
             err.contains("no meter answered") &&
             TestLostAnswer::MayStartAgain("impedix-cli run", QString::fromLocal8Bit(err)));
    return err;
}

// The frequencies the meter was told, in order, from its 0x43 requests.
QList<int> FrequenciesSent(const QList<QByteArray> &requests) {
    QList<int> sent;
    for (const QByteArray &request : requests)
        if (request.size() == 6 && std::uint8_t(request.at(1)) == 0x43)
            sent << int(qFromBigEndian<quint32>(request.constData() + 2));
    return sent;
}

QByteArray TestFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

QStringList Lines(const QString &text) {
    return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

} // namespace

class TestCliProgram : public QObject {
    Q_OBJECT

private slots:
    void helpAndUsageMistakes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text"); // on stdout for 0, on stderr otherwise
        QTest::newRow("overview") << QStringList{"--help"} << 0 << "measure";
        QTest::newRow("measure help") << QStringList{"measure", "--help"} << 0 << "--level <V>";
        QTest::newRow("nothing") << QStringList{} << 2 << "command";
        QTest::newRow("bad level")
            << QStringList{"measure", "--demo", "--level", "2"} << 2 << "0.005";
        QTest::newRow("bad option") << QStringList{"sweep", "--fro", "1"} << 2 << "fro";
        QTest::newRow("unknown fit model")
            << QStringList{"sweep", "--demo",   "--from", "1000",  "--to",
                           "2000",  "--points", "3",      "--fit", "diode"}
            << 2 << "resistor, series-rc, series-rl, parallel-rc, capacitor, inductor, resonator";
        QTest::newRow("fit of samples") << QStringList{"sweep",       "--demo", "--samples", "5",
                                                       "--frequency", "1000",   "--fit",     "auto"}
                                        << 2 << "--fit needs a frequency sweep";
        // Refused before the search, so before anything listens.
        QTest::newRow("serve port too high")
            << QStringList{"serve", "--demo", "--scpi", "70000"} << 2
            << "impedix-cli: --scpi takes a TCP port from 0 to 65535, not \"70000\"";
        QTest::newRow("serve on a host name")
            << QStringList{"serve", "--demo", "--listen", "localhost"} << 2
            << "impedix-cli: --listen takes an IP address, not \"localhost\"";
    }
    void helpAndUsageMistakes() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, text);
        const Outcome outcome = Run(arguments);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.code, code);
        QVERIFY2((code == 0 ? outcome.out : outcome.err).contains(text), qPrintable(outcome.err));
        if (code != 0) QVERIFY(outcome.out.isEmpty());
    }

    // A port another program holds: named with the reason, exit 2, the meter's port let go.
    void serveOnAPortInUse() {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const QString port = QString::number(holder.serverPort());
        const Outcome outcome = Run({"serve", "--demo", "--scpi", port});
        QVERIFY(outcome.finished);
        QVERIFY2(outcome.code == 2, qPrintable(outcome.err));
        QVERIFY2(
            outcome.err.contains("impedix-cli: cannot listen on 127.0.0.1 port " + port + ": "),
            qPrintable(outcome.err));
        QVERIFY(outcome.out.isEmpty());
    }

    void identifyTheDemoMeter() {
        const Outcome outcome = Run({"identify", "--demo=KT-45"});
        QCOMPARE(outcome.code, 0);
        QVERIFY2(outcome.out.contains("port: COM1") && outcome.out.contains("model: KT-45") &&
                     outcome.out.contains("frequency: 50000 to 30000000 Hz"),
                 qPrintable(outcome.out));
    }

    void noMeterExitsOne() {
        QTemporaryDir dir;
        const Outcome outcome = Run({"measure", "--port", "COM2=" + dir.filePath("ttyUSB7")});
        QCOMPARE(outcome.code, 1);
        QVERIFY2(outcome.err.contains("COM -"), qPrintable(outcome.err));
        QVERIFY(outcome.out.isEmpty());
    }

    // Two damaged identity replies: the window's single question misses the meter, the
    // command line's third finds it.
    void damagedIdentityIsAskedAgain() {
        TestPeer::ScriptedMeter meter;
        Sim::PtyHost host(meter.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        host.setFault(Sim::Fault::ShortFrame, 2, 3);
        const Outcome outcome = Run({"identify", "--port", "COM4=" + host.slavePath()});
        QCOMPARE(outcome.code, 0);
        QVERIFY2(outcome.out.contains("COM4") && outcome.out.contains("KT-44"),
                 qPrintable(outcome.err));
        const QList<QByteArray> requests = TestPeer::TakeRequests(host, 3);
        QCOMPARE(requests.size(), 3);
        for (const QByteArray &request : requests)
            QCOMPARE(request, TestPeer::Request(0x40));
    }

    // The conditions go out as the controls send them, before the first reading is printed;
    // a condition the model cannot take sends nothing but the identity query.
    void conditionsOnTheWire() {
        TestPeer::ScriptedMeter meter;
        Sim::PtyHost host(meter.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        const QString port = "COM2=" + host.slavePath();
        const auto forget = [&host] { host.takeRequests(); };
        Outcome outcome = Run({"measure", "--port", port, "--frequency", "20000000"}, forget);
        QCOMPARE(outcome.code, 2);
        QVERIFY2(outcome.err.contains("25 to 10000000 Hz"), qPrintable(outcome.err));
        QCOMPARE(host.takeRequests(), QList<QByteArray>{TestPeer::Request(0x40)});

        outcome = Run({"measure", "--port", port, "--frequency", "5000", "--level", "0.1",
                       "--range", "1000", "--speed", "fast", "--count", "2"},
                      forget);
        QCOMPARE(outcome.code, 0);
        const QList<QByteArray> sent = TestPeer::TakeRequests(host, 5, true);
        QCOMPARE(sent,
                 (QList<QByteArray>{TestPeer::Request(0x40), TestPeer::Request(0x43, 5000, 4),
                                    TestPeer::Request(0x42, 4, 1), TestPeer::Request(0x44, 100, 2),
                                    TestPeer::Request(0x21)}));
    }

    void measureCsvAndJson() {
        Outcome outcome = Run({"measure", "--demo", "--count", "3"});
        QCOMPARE(outcome.code, 0);
        const QStringList lines = Lines(outcome.out);
        QCOMPARE(lines.size(), 4); // header and three readings
        QVERIFY2(lines.first().startsWith("time,"), qPrintable(lines.first()));
        const QStringList header = lines.first().split(',');
        const QStringList row = lines.at(1).split(',');
        QCOMPARE(row.size(), header.size());
        QCOMPARE(row.at(header.indexOf("model")), QString("KT-44"));
        QCOMPARE(row.at(header.indexOf("raw frequency (Hz)")), QString("1000"));

        outcome = Run({"measure", "--demo", "--count", "2", "--format", "json"});
        QCOMPARE(outcome.code, 0);
        const QStringList objects = outcome.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(objects.size(), 2);
        const QJsonObject o = QJsonDocument::fromJson(objects.first().toUtf8()).object();
        QVERIFY(std::fabs(o.value("C_F").toDouble() - 100e-9) < 1e-9); // the demo part
        QCOMPARE(o.value("circuit").toString(), QString("series"));
    }

    void sweepToAFile() {
        QTemporaryDir dir;
        const QString file = dir.filePath("sweep.csv");
        const Outcome outcome = Run({"sweep", "--demo", "--from", "1000", "--to", "2000",
                                     "--points", "3", "--output", file});
        QCOMPARE(outcome.code, 0);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.contains("sweep: 100 % (3/3)"), qPrintable(outcome.err));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = Lines(QString::fromUtf8(csv.readAll()));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(1).startsWith("1,1000,"));
        QVERIFY(lines.at(2).startsWith("2,1500,"));
        QVERIFY(lines.at(3).startsWith("3,2000,"));
    }

    // The demo part fitted with auto: the points, then one line with the fit; a summary on
    // stderr. A CSV run gets the summary alone.
    void sweepWithFit() {
        Outcome outcome = Run({"sweep", "--demo", "--from", "1000", "--to", "10000000", "--points",
                               "100", "--format", "json", "--fit", "auto"});
        QCOMPARE(outcome.code, 0);
        QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 101);
        QVERIFY(QJsonDocument::fromJson(lines.first().toUtf8()).object().contains("point"));
        const QJsonObject fit =
            QJsonDocument::fromJson(lines.last().toUtf8()).object().value("fit").toObject();
        QCOMPARE(fit.value("model").toString(), QString("capacitor"));
        QCOMPARE(fit.value("status").toString(), QString("ok"));
        QCOMPARE(fit.value("points_used").toInt(), 100);
        const QJsonObject elements = fit.value("elements").toObject();
        const struct {
            const char *key;
            double value;
        } expected[] = {{"C", 100e-9}, {"ESR", 3.0}, {"ESL", 20e-9}};
        for (const auto &e : expected) {
            const double got = elements.value(e.key).toObject().value("value").toDouble();
            QVERIFY2(std::fabs(got / e.value - 1.0) < 0.01, qPrintable(QString::number(got)));
        }
        QVERIFY2(outcome.err.contains("fit: capacitor (R-L-C in series), 100 points"),
                 qPrintable(outcome.err));

        // The same part as a circuit string: the string's own keys, the same values.
        outcome = Run({"sweep", "--demo", "--from", "1000", "--to", "10000000", "--points", "100",
                       "--format", "json", "--fit", "R1-L1-C1"});
        QCOMPARE(outcome.code, 0);
        lines = outcome.out.split('\n', Qt::SkipEmptyParts);
        const QJsonObject string =
            QJsonDocument::fromJson(lines.last().toUtf8()).object().value("fit").toObject();
        QCOMPARE(string.value("model").toString(), QString("R1-L1-C1"));
        const QJsonObject values = string.value("elements").toObject();
        const struct {
            const char *key;
            double value;
        } written[] = {{"C1", 100e-9}, {"R1", 3.0}, {"L1", 20e-9}};
        for (const auto &e : written) {
            const double got = values.value(e.key).toObject().value("value").toDouble();
            QVERIFY2(std::fabs(got / e.value - 1.0) < 0.01, qPrintable(QString::number(got)));
        }

        outcome = Run({"sweep", "--demo", "--from", "1000", "--to", "2000", "--points", "3",
                       "--fit", "series-rc"});
        QCOMPARE(outcome.code, 0);
        QCOMPARE(Lines(outcome.out).size(), 4);
        QVERIFY(!outcome.out.contains("fit"));
        QVERIFY2(outcome.err.contains("fit: series-rc (R-C in series), 3 points"),
                 qPrintable(outcome.err));
    }

    // A log run: the meter is told exactly the planned frequencies, in order (the last once
    // more as the run ends, as the designed run does), and the table carries them.
    void logSweepOnTheWire() {
        TestPeer::ScriptedMeter meter;
        Sim::PtyHost host(meter.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        const Outcome outcome = Run({"sweep", "--port", "COM3=" + host.slavePath(), "--from", "100",
                                     "--to", "1000000", "--points", "6", "--spacing", "log"},
                                    [&host] { host.takeRequests(); });
        QCOMPARE(outcome.code, 0);
        QList<int> planned;
        for (std::int32_t hz : Sweep::LogPlan(100, 1000000, 6))
            planned << hz;
        QCOMPARE(planned, (QList<int>{100, 631, 3981, 25119, 158489, 1000000}));
        QList<QByteArray> requests;
        const QDeadlineTimer deadline(Generous);
        while (FrequenciesSent(requests).size() < planned.size() + 1 && !deadline.hasExpired())
            requests += TestPeer::TakeRequests(host, 1, true);
        QCOMPARE(FrequenciesSent(requests), planned + QList<int>{planned.last()});
        const QStringList lines = Lines(outcome.out);
        QCOMPARE(lines.size(), planned.size() + 1);
        for (int i = 0; i < planned.size(); ++i)
            QVERIFY2(lines.at(i + 1).startsWith(QString("%1,%2,").arg(i + 1).arg(planned.at(i))),
                     qPrintable(lines.at(i + 1)));
    }

    // A bias run on the simulated meter (10 mV steps): each row's planned bias as asked, the bias
    // each frame reported the same, the meter's bias put back to what it had before the run (in its
    // state and as the last bias request on the wire), all at the frequency the meter had.
    void biasRunPutsTheBiasBack() {
        Sim::Instrument meter(2, *Sim::parseComponent(QStringLiteral("C=100n,R=3"))); // KT-44
        constexpr std::uint8_t BiasCommand = 0x46;
        meter.respond(TestPeer::Request(BiasCommand, 150, 2)); // 1.5 V before the run
        meter.respond(TestPeer::Request(0x43, 5000, 4));       // at 5 kHz
        Sim::PtyHost host(meter, TestPeer::Timing());
        QVERIFY(host.start());
        const Outcome outcome =
            Run({"sweep", "--port", "COM2=" + host.slavePath(), "--bias-list", "0.5,2,0.25"},
                [&host] { host.takeRequests(); });
        QVERIFY2(outcome.code == 0, qPrintable(outcome.err));
        const QStringList lines = Lines(outcome.out);
        QCOMPARE(lines.size(), 4);
        const QStringList header = lines.first().split(',');
        QCOMPARE(header.mid(0, 5),
                 (QStringList{"point", "planned frequency (Hz)", "planned bias (V)",
                              "reported bias (V)", "circuit"}));
        const QStringList volts{"0.5", "2", "0.25"};
        for (int i = 0; i < 3; ++i) {
            const QStringList row = lines.at(i + 1).split(',');
            QCOMPARE(row.size(), header.size());
            QCOMPARE(row.mid(0, 4),
                     (QStringList{QString::number(i + 1), "5000", volts.at(i), volts.at(i)}));
            QCOMPARE(row.at(header.indexOf("status")), QString("0"));
        }
        QCOMPARE(meter.state().biasMillivolts, 1500);
        QList<int> biasSent;
        const QDeadlineTimer deadline(Generous);
        while (biasSent.size() < 4 && !deadline.hasExpired())
            for (const QByteArray &request : TestPeer::TakeRequests(host, 1, true))
                if (request.size() == 4 && std::uint8_t(request.at(1)) == BiasCommand)
                    biasSent << int(qFromBigEndian<quint16>(request.constData() + 2));
        QCOMPARE(biasSent, (QList<int>{50, 200, 25, 150}));
    }

    // A bias beyond the found model's source is refused after the identity query, in English,
    // and nothing else goes to the meter.
    void biasRunRefusedBeforeAnythingIsSent() {
        TestPeer::ScriptedMeter meter;
        Sim::PtyHost host(meter.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        const Outcome outcome =
            Run({"sweep", "--port", "COM2=" + host.slavePath(), "--bias", "0:45:3"},
                [&host] { host.takeRequests(); });
        QCOMPARE(outcome.code, 2);
        QVERIFY2(outcome.err.contains("impedix-cli: --bias 0:45:3: 45 V is outside the KT-44's "
                                      "bias source: 0 to 40 V in steps of 0.01 V"),
                 qPrintable(outcome.err));
        QVERIFY(outcome.out.isEmpty());
        QCOMPARE(TestPeer::TakeRequests(host, 2), QList<QByteArray>{TestPeer::Request(0x40)});
    }

    // A stop signal in the middle of a bias run: the bias set back to the one from before, then
    // the rows taken so far written. With the line lost the bias cannot be set back: said on
    // stderr, exit 5 rather than the signal's code, the rows written all the same.
    void stopSignalMidBiasRun_data() {
        QTest::addColumn<bool>("lineLost");
        QTest::newRow("line up") << false;
        QTest::newRow("line lost") << true;
    }
    void stopSignalMidBiasRun() {
        QFETCH(bool, lineLost);
        Sim::Instrument meter(2, *Sim::parseComponent(QStringLiteral("C=100n,R=3")));
        meter.respond(TestPeer::Request(0x46, 150, 2)); // 1.5 V before the run
        Sim::PtyHost host(meter, TestPeer::Timing());
        QVERIFY(host.start());
        QTemporaryDir dir;
        const QString file = dir.filePath("bias.csv");
        QProcess program;
        QByteArray err = StartUntil(
            program,
            {"sweep", "--port", "COM2=" + host.slavePath(), "--bias", "0:40:41", "--output", file},
            "sweep: 10 %");
        QVERIFY2(err.contains("sweep: 10 %"), err.constData());
        if (lineLost) {
            host.hangUp();
            const QDeadlineTimer deadline(Generous);
            while (!err.contains("the line to the meter is lost") && !deadline.hasExpired() &&
                   program.state() == QProcess::Running) {
                program.waitForReadyRead(100);
                err += program.readAllStandardError();
            }
            QVERIFY2(err.contains("the line to the meter is lost"), err.constData());
        }
        ::kill(static_cast<pid_t>(program.processId()), SIGINT);
        const Outcome outcome = Finish(program);
        if (lineLost) {
            QVERIFY2(outcome.code == 5, qPrintable(outcome.err));
            QVERIFY2(outcome.err.contains("impedix-cli: the bias could not be set back to 1.5 V: "
                                          "the line to the meter is lost; the part may still be "
                                          "charged to "),
                     qPrintable(outcome.err));
        } else {
            QVERIFY2(outcome.code == 128 + SIGINT, qPrintable(outcome.err));
            QCOMPARE(meter.state().biasMillivolts, 1500);
        }
        const QStringList lines = Lines(QString::fromUtf8(TestFile(file)));
        QVERIFY2(lines.size() > 4 && lines.size() < 42, qPrintable(QString::number(lines.size())));
        const int column = lines.first().split(',').indexOf("planned bias (V)");
        QCOMPARE(column, 2);
        for (int i = 1; i < lines.size(); ++i)
            QCOMPARE(lines.at(i).split(',').at(column), QString::number(i - 1));
    }

    // A list file that cannot be run is refused before the port is opened; one the model
    // cannot sweep after the meter has said who it is. Either way nothing else is sent.
    void listRefusedBeforeAnythingIsSent() {
        TestPeer::ScriptedMeter meter;
        meter.identity = QByteArray("KT45", 4); // sweeps from 50 kHz
        Sim::PtyHost host(meter.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        QTemporaryDir dir;
        const QString path = dir.filePath("parts.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# resonators\n100000\n200 kHz\n");
        file.close();
        const QString port = "COM2=" + host.slavePath();
        Outcome outcome = Run({"sweep", "--port", port, "--list", path});
        QCOMPARE(outcome.code, 2);
        QVERIFY2(outcome.err.contains("line 3: not a whole number of hertz"),
                 qPrintable(outcome.err));
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(host.takeRequests().isEmpty());

        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("100000\n1000\n");
        file.close();
        outcome = Run({"sweep", "--port", port, "--list", path}, [&host] { host.takeRequests(); });
        QCOMPARE(outcome.code, 2);
        QVERIFY2(outcome.err.contains("1000 Hz is outside"), qPrintable(outcome.err));
        QCOMPARE(TestPeer::TakeRequests(host, 2), QList<QByteArray>{TestPeer::Request(0x40)});
    }

    // A stop signal in the middle of a run: the points taken so far, in a whole file, and the
    // port's lock released.
    void stopSignalMidSweep_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void stopSignalMidSweep() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString file = dir.filePath("sweep.csv");
        QProcess program;
        const QByteArray err =
            StartUntil(program,
                       {"sweep", "--demo", "--from", "25", "--to", "10000000", "--points", "256",
                        "--output", file, "--library", dir.filePath("kept.sqlite")},
                       "sweep: 10 %");
        QVERIFY2(err.contains("sweep: 10 %"), err.constData());
        QVERIFY(!QFile::exists(file)); // nothing in place while the run goes
        ::kill(static_cast<pid_t>(program.processId()), signal);
        const Outcome outcome = Finish(program);
        QCOMPARE(outcome.code, 128 + signal);
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        const QStringList lines = Lines(QString::fromUtf8(bytes));
        QVERIFY2(lines.size() > 26 && lines.size() < 257,
                 qPrintable(QString::number(lines.size())));
        QVERIFY(lines.last().startsWith(QString::number(lines.size() - 1) + ","));
        // Kept as it ended: interrupted, with the points the file holds.
        Library::SweepLibrary library;
        QVERIFY(library.open(dir.filePath("kept.sqlite")).ok());
        QVector<Library::Entry> kept;
        QVERIFY(library.list(kept).ok());
        QCOMPARE(kept.size(), 1);
        QVERIFY(kept[0].interrupted);
        QCOMPARE(kept[0].pointCount, lines.size() - 1);
    }

    // Killed outright mid-run: every row reported before the kill is on disk, whole, under
    // FILE.partial; an earlier FILE is untouched, and the next run refuses to write over the
    // partial file rather than lose it.
    void killedRunKeepsItsRows() {
        QTemporaryDir dir;
        const QString file = dir.filePath("run.csv");
        const QString partial = file + ".partial";
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        QVERIFY(earlier.write("earlier run\r\n") > 0);
        earlier.close();
        QProcess program;
        const QByteArray err = StartUntil(
            program, {"measure", "--demo", "--count", "40", "--output", file}, "measure: 10 %");
        QVERIFY2(err.contains("measure: 10 %"), err.constData());
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished(Generous));
        QFile csv(partial);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        QVERIFY2(Lines(QString::fromUtf8(bytes)).size() >= 1 + 4, bytes.constData());
        QVERIFY(bytes.startsWith("time,"));
        QCOMPARE(TestFile(file), QByteArray("earlier run\r\n"));

        const Outcome again = RunOnce({"measure", "--demo", "--count", "1", "--output", file});
        QCOMPARE(again.code, 3);
        QVERIFY2(again.err.contains(partial), qPrintable(again.err));
        QCOMPARE(TestFile(partial), bytes);
    }

    // The command line runs where no display library is installed.
    void linksNoDisplayLibrary() {
        QProcess readelf;
        readelf.start(QStringLiteral("readelf"), {"-d", QStringLiteral(IMPEDIX_CLI_PATH)});
        QVERIFY(readelf.waitForFinished(Generous));
        const QString dynamic = QString::fromLatin1(readelf.readAllStandardOutput());
        QVERIFY2(dynamic.contains("libQt6Core"), qPrintable(dynamic));
        QVERIFY2(dynamic.contains("libQt6SerialPort"), qPrintable(dynamic));
        QVERIFY2(!dynamic.contains("libQt6Gui"), qPrintable(dynamic));
        QVERIFY2(!dynamic.contains("libQt6Widgets"), qPrintable(dynamic));
    }
};

QTEST_GUILESS_MAIN(TestCliProgram)
#include "test_cli_program.moc"
