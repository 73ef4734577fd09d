// The program as a process: command-line mistakes answered without a display, the reasons for
// ports given with --port that cannot be opened, and SIGTERM or SIGINT ending it as closing the
// window does, with the port's lock released.
#include "app/command_line.h"
#include "app/display_check.h"
#include "launch/demo.h"
#include "launch/scpi_options.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sim/simulator.h"
#include "tests/common/lost_answer.h"
#include "tests/common/process_outcome.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using TestProcess::Outcome;
using TestProcess::WithoutDisplay;

constexpr int Generous = 15000; // ms; a guard against hanging, never a measured time

Outcome Finish(QProcess &program) {
    return TestProcess::Finish(program, Generous);
}

QProcessEnvironment Offscreen() {
    QProcessEnvironment environment = WithoutDisplay();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

Outcome Run(const QStringList &arguments,
            const QProcessEnvironment &environment = WithoutDisplay()) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(IMPEDIX_PATH), arguments);
    return Finish(program);
}

// The lock file the serial port leaves for a device while it is open ("LCK..pts_3" for
// /dev/pts/3), in whichever of the usual lock folders it is.
QStringList LockFiles(const QString &devicePath) {
    QString name = devicePath;
    name.remove(QRegularExpression(QStringLiteral("^/dev/")));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    QStringList found;
    for (const char *folder : {"/run/lock", "/var/lock", "/etc/locks", "/var/spool/locks",
                               "/var/spool/uucp", "/tmp", "/var/tmp"}) {
        const QString path =
            QDir(QString::fromLatin1(folder)).filePath(QStringLiteral("LCK..") + name);
        if (QFileInfo::exists(path)) found << QFileInfo(path).canonicalFilePath();
    }
    found.removeDuplicates();
    return found;
}

QProcessEnvironment With(std::initializer_list<std::pair<const char *, const char *>> names) {
    QProcessEnvironment environment;
    for (const auto &[name, value] : names)
        environment.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return environment;
}

// An X display number that nothing on this machine serves.
int UnservedDisplay() {
    for (int n = 700; n < 800; ++n)
        if (!App::LocalDisplayAnswers(n)) return n;
    return -1;
}

// Listens where an X server of display n would, in the kernel's abstract socket names, so the
// machine's own X socket folder is left alone.
int ListenAsDisplay(int n) {
    const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(n);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0 ||
        ::listen(fd, 4) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

    // The programs started here keep their sweeps under this folder, never the user's.
    QTemporaryDir m_data;

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    }
    void ownArguments() {
        using App::OwnArguments;
        QCOMPARE(OwnArguments({"-platform", "offscreen", "--demo"}), QStringList{"--demo"});
        QCOMPARE(OwnArguments({"-reverse", "-style=Fusion", "--help"}), QStringList{"--help"});
        QCOMPARE(OwnArguments({"-", "-x", "-help", "-h"}), QStringList({"-", "-x", "-help", "-h"}));
        // A framework option without its value is not the framework's.
        QCOMPARE(OwnArguments({"-platform"}), QStringList{"-platform"});
    }

    void portClashes() {
        using App::ParseCommandLine;
        QVERIFY(ParseCommandLine({"--port", "COM3=/a", "--port", "COM4=/a"}).error.isEmpty());
        const QString twice = ParseCommandLine({"--port", "COM3=/a", "--port=com03=/b"}).error;
        QVERIFY2(twice.contains(QLatin1String("COM3")) && twice.contains(QLatin1String("/b")),
                 qPrintable(twice));
        QVERIFY(!ParseCommandLine({"--port", "COM1=/a", "--demo"}).error.isEmpty());
        QVERIFY(!ParseCommandLine({"--demo=KT-45", "--port=COM1=/a"}).error.isEmpty());
        QVERIFY(ParseCommandLine({"--port", "COM2=/a", "--demo"}).error.isEmpty());
    }

    // --demo-sim reaches the demo's simulator after its own options: a link asked for is the
    // port mapped, the demo's part stays, and a mistake is named with the option's reason.
    void demoSimulatorOptions() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("meter"));
        const App::CommandLine line = App::ParseCommandLine(
            {"--demo=KT-45", "--demo-sim", QStringLiteral("--link \"%1\" --think 5").arg(link)});
        QVERIFY2(line.error.isEmpty(), qPrintable(line.error));
        QCOMPARE(line.demoSimArguments, QStringList({"--link", link, "--think", "5"}));
        QString error;
        const std::unique_ptr<Sim::Simulator> demo =
            Launch::StartDemo(line.demoModel, line.demoSimArguments, &error);
        QVERIFY2(demo, qPrintable(error));
        QCOMPARE(demo->portPath(), link);
        QCOMPARE(QFileInfo(link).symLinkTarget(), demo->slavePath());
        QCOMPARE(QByteArray(demo->instrument().model().name), QByteArray("KT-45"));
        QVERIFY(demo->instrument().component().inductance); // the demo part's 20 nH

        QVERIFY(!Launch::StartDemo({}, {"--vanish-after", "x"}, &error));
        QVERIFY2(error.startsWith(QLatin1String("--demo-sim: ")) && error.contains("'x'"),
                 qPrintable(error));
        QVERIFY(!Launch::StartDemo(QStringLiteral("KT-42"), {"--think", "5"}, &error));
        QVERIFY2(error.startsWith(QLatin1String("--demo: ")) && error.contains("KT-42"),
                 qPrintable(error));
    }

    // The SCPI options as the window's program reads them; a refusal names the value and what
    // would have been taken.
    void scpiOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // what the message must say; empty: accepted
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("address");
        const QString loopback = QStringLiteral("127.0.0.1");
        QTest::newRow("no server") << QStringList{"--demo"} << "" << 5025 << loopback;
        QTest::newRow("default port") << QStringList{"--scpi"} << "" << 5025 << loopback;
        QTest::newRow("free port") << QStringList{"--scpi=0"} << "" << 0 << loopback;
        QTest::newRow("highest port") << QStringList{"--scpi=65535"} << "" << 65535 << loopback;
        QTest::newRow("IPv6 loopback")
            << QStringList{"--listen", "::1", "--scpi=5026"} << "" << 5026 << "::1";
        QTest::newRow("every address")
            << QStringList{"--scpi", "--listen=0.0.0.0"} << "" << 5025 << "0.0.0.0";
        QTest::newRow("port too high")
            << QStringList{"--scpi=70000"}
            << "--scpi takes a TCP port from 0 to 65535, not \"70000\"" << 0 << "";
        QTest::newRow("port not a number")
            << QStringList{"--scpi=abc"} << "--scpi takes a TCP port from 0 to 65535, not \"abc\""
            << 0 << "";
        QTest::newRow("negative port") << QStringList{"--scpi=-1"} << "not \"-1\"" << 0 << "";
        QTest::newRow("empty port")
            << QStringList{"--scpi="} << "--scpi= needs a TCP port" << 0 << "";
        QTest::newRow("port after a space")
            << QStringList{"--scpi", "5025"}
            << "--scpi takes its port after \"=\", as in --scpi=5025" << 0 << "";
        QTest::newRow("listen alone")
            << QStringList{"--listen", "::1"} << "--listen needs --scpi" << 0 << "";
        QTest::newRow("listen alone, joined")
            << QStringList{"--demo", "--listen=::1"} << "--listen needs --scpi" << 0 << "";
        QTest::newRow("host name") << QStringList{"--scpi", "--listen", "localhost"}
                                   << "--listen takes an IP address, not \"localhost\"" << 0 << "";
        QTest::newRow("bad address")
            << QStringList{"--scpi", "--listen", "300.1.2.3"} << "not \"300.1.2.3\"" << 0 << "";
        QTest::newRow("listen without address")
            << QStringList{"--scpi", "--listen"} << "--listen needs an IP address" << 0 << "";
    }
    void scpiOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(int, port);
        QFETCH(QString, address);
        const App::CommandLine line = App::ParseCommandLine(arguments);
        if (!error.isEmpty()) {
            QVERIFY2(line.error.contains(error), qPrintable(line.error));
            return;
        }
        QVERIFY2(line.error.isEmpty(), qPrintable(line.error));
        QCOMPARE(line.scpi, arguments.filter(QStringLiteral("--scpi")).size() > 0);
        QCOMPARE(int(line.scpiPort), port);
        QCOMPARE(line.listenAddress, address);
    }

    void listeningText() {
        QCOMPARE(Launch::ListeningText(QHostAddress(QStringLiteral("127.0.0.1")), 5025),
                 QStringLiteral("127.0.0.1:5025"));
        QCOMPARE(Launch::ListeningText(QHostAddress(QStringLiteral("::1")), 80),
                 QStringLiteral("[::1]:80"));
    }

    void displayRules_data() {
        QTest::addColumn<QProcessEnvironment>("environment");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("names"); // empty: the check lets the framework start
        QTest::newRow("nothing set") << QProcessEnvironment() << QStringList() << "DISPLAY";
        QTest::newRow("empty DISPLAY") << With({{"DISPLAY", ""}}) << QStringList() << "DISPLAY";
        QTest::newRow("offscreen")
            << With({{"QT_QPA_PLATFORM", "offscreen"}}) << QStringList() << "";
        QTest::newRow("minimal") << With({{"QT_QPA_PLATFORM", "minimal"}}) << QStringList() << "";
        QTest::newRow("-platform")
            << QProcessEnvironment() << QStringList{"--demo", "-platform", "offscreen"} << "";
        QTest::newRow("-display") << QProcessEnvironment() << QStringList{"-display", "host:0"}
                                  << "";
        QTest::newRow("Wayland") << With({{"WAYLAND_DISPLAY", "wayland-0"}}) << QStringList() << "";
        QTest::newRow("local X, answers") << With({{"DISPLAY", ":0"}}) << QStringList() << "";
        QTest::newRow("local X, silent") << With({{"DISPLAY", ":1"}}) << QStringList() << ":1";
        QTest::newRow("local X, screen")
            << With({{"DISPLAY", "unix:1.0"}}) << QStringList() << "unix:1.0";
        QTest::newRow("Wayland beside a silent X")
            << With({{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "wayland-0"}}) << QStringList() << "";
        // Forwarded or remote displays are tried by the framework itself.
        QTest::newRow("ssh -X") << With({{"DISPLAY", "localhost:10.0"}}) << QStringList() << "";
    }
    void displayRules() {
        QFETCH(QProcessEnvironment, environment);
        QFETCH(QStringList, arguments);
        QFETCH(QString, names);
        const auto onlyZeroAnswers = [](int n) { return n == 0; };
        const QString reason = App::MissingDisplay(arguments, environment, onlyZeroAnswers);
        if (names.isEmpty()) {
            QVERIFY2(reason.isEmpty(), qPrintable(reason));
        } else {
            QVERIFY2(reason.contains(QLatin1String("graphical session")) && reason.contains(names),
                     qPrintable(reason));
        }
    }

    void localDisplayNumbers() {
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral(":0")), 0);
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral(":12.1")), 12);
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral("unix:3")), 3);
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral("localhost:10.0")), -1);
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral("/tmp/launch-x/org.xquartz:0")), -1);
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral(":")), -1);
        QCOMPARE(App::LocalDisplayNumber(QStringLiteral(":99999999999")), -1);
    }

    // A server in the kernel's abstract names counts, as it does for the X library.
    void localDisplayAnswersWhileSomethingListens() {
        const int n = UnservedDisplay();
        QVERIFY(n >= 0);
        const int fd = ListenAsDisplay(n);
        QVERIFY(fd >= 0);
        QVERIFY(App::LocalDisplayAnswers(n));
        ::close(fd);
        QVERIFY(!App::LocalDisplayAnswers(n));
    }

    // From an SSH prompt: a plain reason and exit 1, not an abort inside the framework.
    void withoutDisplayExplainsAndExits_data() {
        QTest::addColumn<QString>("display"); // empty: not set
        QTest::newRow("no DISPLAY") << QString();
        QTest::newRow("DISPLAY nobody serves") << QStringLiteral(":%1").arg(UnservedDisplay());
    }
    void withoutDisplayExplainsAndExits() {
        QFETCH(QString, display);
        QProcessEnvironment environment = WithoutDisplay();
        if (!display.isEmpty()) environment.insert(QStringLiteral("DISPLAY"), display);
        const Outcome outcome = Run({QStringLiteral("--demo")}, environment);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.status, QProcess::NormalExit);
        QCOMPARE(outcome.code, 1);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.startsWith(QLatin1String("impedix: the window needs a graphical "
                                                      "session")) &&
                     outcome.err.contains(QLatin1String("impedix-cli")) &&
                     outcome.err.contains(display.isEmpty() ? QStringLiteral("DISPLAY") : display),
                 qPrintable(outcome.err));
    }

    void mistakesExitWithUsage_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("names"); // what the message must name
        QTest::newRow("-") << QStringList{"-"} << "\"-\"";
        QTest::newRow("-x") << QStringList{"-x"} << "-x";
        QTest::newRow("-help") << QStringList{"-help"} << "-help";
        QTest::newRow("framework option without value") << QStringList{"-platform"} << "-platform";
        QTest::newRow("same port twice")
            << QStringList{"--port", "COM3=/a", "--port", "COM3=/b"} << "COM3";
        QTest::newRow("demo on a mapped COM1")
            << QStringList{"--port", "COM1=/dev/ttyUSB0", "--demo"} << "COM1";
        QTest::newRow("SCPI port too high") << QStringList{"--demo", "--scpi=70000"} << "70000";
        QTest::newRow("SCPI port not a number") << QStringList{"--demo", "--scpi=abc"} << "abc";
        QTest::newRow("listen without SCPI")
            << QStringList{"--demo", "--listen", "::1"} << "--listen needs --scpi";
        QTest::newRow("listen on a name")
            << QStringList{"--demo", "--scpi=0", "--listen", "localhost"} << "localhost";
        QTest::newRow("simulator options without demo")
            << QStringList{"--demo-sim", "--think 5"} << "--demo-sim needs --demo";
        QTest::newRow("simulator option's mistake")
            << QStringList{"--demo", "--demo-sim", "--vanish-after 0"} << "--vanish-after";
        QTest::newRow("unknown simulator option")
            << QStringList{"--demo", "--demo-sim=--port x"} << "--port";
        QTest::newRow("unknown demo model") << QStringList{"--demo=KT-42"} << "KT-42";
    }
    void mistakesExitWithUsage() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, names);
        const Outcome outcome = Run(arguments);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.status, QProcess::NormalExit);
        QCOMPARE(outcome.code, 2);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.startsWith(QLatin1String("impedix: ")) &&
                     outcome.err.section(QLatin1Char('\n'), 0, 0).contains(names),
                 qPrintable(outcome.err));
        QVERIFY2(outcome.err.contains(QLatin1String("Usage: impedix")), qPrintable(outcome.err));
    }

    // Each port of the command line that cannot be opened is named on stderr with its reason,
    // and the program goes on to its window.
    void unopenablePortsAreReportedAtStartUp() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString missing = dir.filePath(QStringLiteral("ttyUSB9"));
        QProcess program;
        program.setProcessEnvironment(Offscreen());
        program.start(QStringLiteral(IMPEDIX_PATH),
                      {"--port", "COM3=" + missing, "--port", "COM5=" + dir.path()});
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromLocal8Bit(program.readAllStandardError()),
                                  err.contains(QLatin1String("COM5"))),
                                 Generous);
        QVERIFY2(err.contains(QStringLiteral("impedix: COM3: нет устройства ") + missing),
                 qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("impedix: COM5: ") + dir.path() +
                              QStringLiteral(" не последовательный порт")),
                 qPrintable(err));
        QCOMPARE(program.state(), QProcess::Running);
        program.terminate();
        const Outcome outcome = Finish(program);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.status, QProcess::NormalExit);
        QCOMPARE(outcome.code, 0);
    }

    void stopSignalsReleaseThePort_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void stopSignalsReleaseThePort() {
        QFETCH(int, signal);
        Sim::Component dut;
        dut.capacitance = 100e-9;
        Sim::Instrument meter(2, dut);
        Sim::HostOptions timing;
        timing.thinkMs = 8;
        Sim::PtyHost host(meter, timing);
        QVERIFY(host.start());
        const QString port = host.slavePath();

        QProcess program;
        program.setProcessEnvironment(Offscreen());
        program.start(QStringLiteral(IMPEDIX_PATH), {"--port", "COM2=" + port});
        QVERIFY(program.waitForStarted(Generous));
        // Polling: the search found the meter and the cycle asks for frames.
        QVERIFY(host.waitForRequests(5, Generous));
        const QStringList locks = LockFiles(port);
        QVERIFY2(!locks.isEmpty(), "the open port has no lock file to look for");

        ::kill(static_cast<pid_t>(program.processId()), signal);
        const Outcome outcome = Finish(program);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.status, QProcess::NormalExit);
        QCOMPARE(outcome.code, 0);
        for (const QString &lock : locks)
            QVERIFY2(!QFileInfo::exists(lock), qPrintable(lock + " was left behind"));
    }

    // The demo meter served beside the window: the program names its port, answers as the
    // demo model with fresh readings, and ends cleanly on SIGTERM with the client let go.
    void demoServedOverScpi() {
        QProcess program;
        QTcpSocket client;
        const auto query = [&client](const QByteArray &line) {
            client.write(line + '\n');
            QDeadlineTimer deadline(Generous);
            while (!client.canReadLine() && !deadline.hasExpired())
                client.waitForReadyRead(100);
            return client.readLine().trimmed();
        };
        // The window asks the demo meter once; on a busy machine (sanitizers, parallel tests)
        // the answer can miss the read that follows the link's purge, which is the protocol's
        // own race, not a fault: the program is started once more then, printed and counted, and
        // a second loss fails the test.
        QByteArray identity;
        for (;;) {
            if (program.state() != QProcess::NotRunning) {
                client.abort();
                program.kill();
                program.waitForFinished();
            }
            program.setProcessEnvironment(Offscreen());
            program.start(QStringLiteral(IMPEDIX_PATH), {"--demo", "--scpi=0"});
            const QRegularExpression named(
                QStringLiteral("^impedix: SCPI on 127\\.0\\.0\\.1:(\\d+)$"),
                QRegularExpression::MultilineOption);
            QString err;
            QRegularExpressionMatch port;
            QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromLocal8Bit(program.readAllStandardError()),
                                      port = named.match(err), port.hasMatch()),
                                     Generous);
            client.connectToHost(QHostAddress::LocalHost, port.captured(1).toUShort());
            QVERIFY(client.waitForConnected(Generous));
            identity = query("*IDN?");
            if (!identity.contains("no meter") ||
                !TestLostAnswer::MayStartAgain("impedix --demo", QString::fromUtf8(identity)))
                break;
        }
        QCOMPARE(identity, QByteArray("Impedix,KT-44,COM1," IMPEDIX_VERSION));
        const QList<QByteArray> reading = query("FREQ 100KHZ;:FUNC:IMP CSRS;:FETC?").split(',');
        QCOMPARE(reading.size(), 3);
        QCOMPARE(reading.at(2), QByteArray("+0"));
        // The demo part at 100 kHz, well below its resonance: 100 nF with 3 ohms of loss.
        QVERIFY2(qAbs(reading.at(0).toDouble() / 100e-9 - 1) < 0.01, reading.at(0).constData());
        QVERIFY2(qAbs(reading.at(1).toDouble() / 3 - 1) < 0.05, reading.at(1).constData());
        QCOMPARE(query("SYST:ERR?"), QByteArray("0,\"No error\""));

        program.terminate();
        const Outcome outcome = Finish(program);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.status, QProcess::NormalExit);
        QCOMPARE(outcome.code, 0);
        QVERIFY(client.state() == QAbstractSocket::UnconnectedState ||
                client.waitForDisconnected(Generous));
    }

    // A message box is up (the recording could not start) when SIGTERM or SIGINT comes: the
    // program still ends, as closing the window would end it.
    void stopSignalWhileAMessageIsUp_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void stopSignalWhileAMessageIsUp() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QProcess program;
        program.setProcessEnvironment(Offscreen());
        program.start(QStringLiteral(IMPEDIX_PATH),
                      {"--demo", "--scpi=0", "--record", dir.filePath("missing/run.csv")});
        QString err;
        // The SCPI line comes before the recording's message; from then on the handlers stand.
        QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromLocal8Bit(program.readAllStandardError()),
                                  err.contains(QLatin1String("SCPI on"))),
                                 Generous);
        ::kill(static_cast<pid_t>(program.processId()), signal);
        const Outcome outcome = Finish(program);
        QVERIFY2(outcome.finished, "still running with its message up");
        QCOMPARE(outcome.status, QProcess::NormalExit);
        QCOMPARE(outcome.code, 0);
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
