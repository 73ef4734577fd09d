// Program entry: command line, the measuring session, the two windows and the SCPI server on it,
// the event loop.
#include "app/command_line.h"
#include "app/display_check.h"
#include "app/qt_translation.h"
#include "bridge/session_instrument.h"
#include "core/session.h"
#include "core/sweep_keeper.h"
#include "export/csv.h"
#include "launch/demo.h"
#include "launch/port_listing.h"
#include "launch/scpi_options.h"
#include "launch/stop_signals.h"
#include "library/sweep_library.h"
#include "link/calibration.h"
#include "link/port_names.h"
#include "link/serial_link.h"
#include "remote/scpi_server.h"
#include "sim/simulator.h"
#include "ui/library_text.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/port_dialog.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>

#include <cstdio>
#include <exception>

namespace {

constexpr int UsageError = 2;
constexpr int Failure = 1;

int Fail(const QString &message) {
    std::fprintf(stderr, "impedix: %s\n\n%s", qPrintable(message), qPrintable(App::UsageText()));
    return UsageError;
}

QStringList Arguments(int argc, char **argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// A port given with --port that cannot be opened is reported once at start-up, with the reason.
void ReportUnopenablePorts(const QList<unsigned> &ports) {
    for (unsigned n : ports) {
        if (!Device::OpenPort(n))
            std::fprintf(stderr, "impedix: COM%u: %s\n", n,
                         Device::LastOpenFailure.text.toLocal8Bit().constData());
        Device::ClosePort();
    }
}

// The SCPI server beside the window, on the program's session.
struct RemoteControl {
    RemoteControl(Core::Session &core, const Remote::ServerLimits &limits)
        : meter(core), server(meter, limits) {}
    Bridge::SessionInstrument meter;
    Remote::ScpiServer server;
};

// Listens where the command line says and names the address on stderr; false when it cannot.
bool Listen(Remote::ScpiServer &server, const App::CommandLine &line) {
    const QHostAddress address(line.listenAddress);
    const bool listening = server.listen(address, line.scpiPort);
    if (!listening)
        std::fprintf(stderr, "impedix: SCPI: cannot listen on %s port %u: %s\n",
                     qPrintable(line.listenAddress), unsigned(line.scpiPort),
                     qPrintable(server.errorString()));
    else
        std::fprintf(stderr, "impedix: SCPI on %s\n",
                     qPrintable(Launch::ListeningText(address, server.port())));
    std::fflush(stderr);
    return listening;
}

// The windows, the SCPI server and the recording the command line asks for, and the event loop;
// window points at the main window while it exists.
int RunWindow(const App::CommandLine &line, Main::Tb_tok *&window, const bool &stopping) {
    // One measuring session for the window and the SCPI server. Declared first, it goes last,
    // after both have stopped acting on it.
    Core::Session core;
    // Every run the session ends is kept in the library of sweeps. The demo's runs are of a
    // simulated meter: they go to a library of their own that goes with the program, so the
    // user's library gets nothing of them. A library refused is said once and left untouched.
    const QTemporaryDir demoData;
    const QString libraryPath =
        line.demo ? QDir(demoData.path()).filePath(QStringLiteral("sweeps.sqlite"))
                  : Library::SweepLibrary::DefaultPath();
    Library::SweepLibrary library;
    const Library::Outcome opened = library.open(libraryPath);
    Core::SweepKeeper keeper(core, library);
    // A meter that came back at another device can be found without --port; the demo's
    // simulated meter never leads the search to the machine's own devices.
    core.SetSearchSystemPorts(!line.demo);
    Main::Tb_tok b_tok(core);
    window = &b_tok;
    b_tok.UseLibrary(&library, &keeper);
    b_tok.UseSettings(); // before it is shown: a kept geometry is where it opens
    apoisk::Tcom_poisk_tool com_poisk_tool;
    b_tok.show();
    if (!opened.ok()) core.Tell(Main::LibraryRefusedText(opened, libraryPath));
    int status = 0;
    std::unique_ptr<RemoteControl> remote;
    if (line.scpi) {
        remote = std::make_unique<RemoteControl>(core, line.scpiLimits);
        if (!Listen(remote->server, line)) status = Failure;
        QObject::connect(&remote->server, &Remote::ScpiServer::clientCountChanged, &b_tok,
                         [&b_tok](int count) { b_tok.ShowRemoteClients(count); });
        b_tok.GuardClientRuns([meter = &remote->meter] { return meter->ClientRunGoing(); });
    }
    if (!line.recordFile.isEmpty())
        b_tok.StartRecording(line.recordFile, line.recordSemicolon ? Export::SemicolonDialect()
                                                                   : Export::CommaDialect());
    if (status == 0 && !stopping) QApplication::exec();
    window = nullptr;
    return status;
}

} // namespace

int main(int argc, char **argv) {
    // Everything the command line asks for is checked before the window framework starts, so
    // --help and mistakes need no display.
    const App::CommandLine line = App::ParseCommandLine(App::OwnArguments(Arguments(argc, argv)));
    if (!line.error.isEmpty()) return Fail(line.error);
    if (line.help) {
        std::fputs(qPrintable(App::UsageText()), stdout);
        return 0;
    }
    QList<unsigned> mappedPorts;
    for (const QString &mapping : line.portMappings) {
        unsigned n = 0;
        QString path;
        const QString error = Device::ParsePortArgument(mapping, &n, &path);
        if (!error.isEmpty()) return Fail(error);
        Device::MapPort(n, path);
        mappedPorts << n;
    }
    if (line.listPorts) {
        std::fputs(Launch::ListPortsText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!line.tablePath.isEmpty()) Device::CalibrationFilePath = line.tablePath;
    std::unique_ptr<Sim::Simulator> demo;
    if (line.demo) {
        QString error;
        demo = Launch::StartDemo(line.demoModel, line.demoSimArguments, &error);
        if (!demo) return Fail(error);
        Device::MapPort(Launch::DemoPort, demo->portPath());
    }

    // Every mistake of the command line is named first. Without a graphical session the
    // framework would abort with a message about its plugins.
    const QString noDisplay =
        App::MissingDisplay(Arguments(argc, argv), QProcessEnvironment::systemEnvironment());
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr,
                     "impedix: %s\nStart it in a desktop session (or with ssh -X). impedix-cli "
                     "measures without a display.\n",
                     qPrintable(noDisplay));
        return Failure;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Impedix"));
    // Ties the window to the installed desktop entry (its icon and name on Wayland).
    QApplication::setDesktopFileName(QStringLiteral("org.impedix.Impedix"));
    App::InstallQtTranslation(application);
    // What the framework did not take as its own must be ours.
    const App::CommandLine rest = App::ParseCommandLine(QApplication::arguments().mid(1));
    if (!rest.error.isEmpty()) return Fail(rest.error);

    // A logout or Ctrl+C ends the program as closing the window does. Installed before the
    // start-up search, which may hold a port for a while; the event loop acts on it.
    // A message box or a dialog runs a loop of its own, and before the window's loop runs
    // quit() does nothing: the dialogs are rejected, messages from then on go to stderr, and a
    // start-up that is still under way does not enter the loop at all.
    Main::Tb_tok *window = nullptr;
    bool stopping = false;
    Launch::StopSignals stopSignals([&window, &stopping] {
        stopping = true;
        Framework::SetMessageHandler(
            [](const QString &text) { std::fprintf(stderr, "impedix: %s\n", qPrintable(text)); });
        Framework::SetQuestionHandler([](const QString &) { return false; });
        Framework::EndModalDialogs();
        if (window) window->close();
        QApplication::quit();
    });
    ReportUnopenablePorts(mappedPorts);

    int status = 0;
    try {
        status = RunWindow(line, window, stopping);
    } catch (const std::exception &error) {
        window = nullptr;
        status = Failure;
        std::fprintf(stderr, "impedix: %s\n", error.what());
        QMessageBox::critical(nullptr, QStringLiteral("Impedix"),
                              QString::fromLocal8Bit(error.what()));
    }
    // The port goes with the program, and the system's lock on the device with it.
    Device::ClosePort();
    return status;
}
