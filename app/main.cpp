// Program entry: command line, the two windows, the event loop.
#include "app/command_line.h"
#include "app/demo.h"
#include "app/display_check.h"
#include "app/port_listing.h"
#include "app/stop_signals.h"
#include "bridge/session_instrument.h"
#include "export/csv.h"
#include "link/calibration.h"
#include "link/port_names.h"
#include "link/serial_link.h"
#include "remote/scpi_server.h"
#include "sim/simulator.h"
#include "ui/main_window.h"
#include "ui/port_dialog.h"

#include <QApplication>
#include <QMessageBox>

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
        std::fputs(App::ListPortsText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!line.tablePath.isEmpty()) Device::CalibrationFilePath = line.tablePath;
    std::unique_ptr<Sim::Simulator> demo;
    if (line.demo) {
        QString error;
        demo = App::StartDemo(line.demoModel, &error);
        if (!demo) return Fail(error);
        Device::MapPort(App::DemoPort, demo->slavePath());
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
    // What the framework did not take as its own must be ours.
    const App::CommandLine rest = App::ParseCommandLine(QApplication::arguments().mid(1));
    if (!rest.error.isEmpty()) return Fail(rest.error);

    // A logout or Ctrl+C ends the program as closing the window does. Installed before the
    // start-up search, which may hold a port for a while; the event loop acts on it.
    Main::Tb_tok *window = nullptr;
    App::StopSignals stopSignals([&window] {
        if (window) window->close();
        QApplication::quit();
    });
    ReportUnopenablePorts(mappedPorts);

    int status = 0;
    try {
        Main::Tb_tok b_tok;
        window = &b_tok;
        apoisk::Tcom_poisk_tool com_poisk_tool;
        b_tok.show();
        // The SCPI server beside the window acts on the window's session.
        std::unique_ptr<Bridge::SessionInstrument> remoteMeter;
        std::unique_ptr<Remote::ScpiServer> scpi;
        if (line.scpi) {
            remoteMeter = std::make_unique<Bridge::SessionInstrument>(b_tok.Session());
            scpi = std::make_unique<Remote::ScpiServer>(*remoteMeter);
            const QHostAddress address(line.listenAddress);
            if (!scpi->listen(address, line.scpiPort)) {
                std::fprintf(stderr, "impedix: SCPI: cannot listen on %s port %u: %s\n",
                             qPrintable(line.listenAddress), unsigned(line.scpiPort),
                             qPrintable(scpi->errorString()));
                status = Failure;
            } else {
                std::fprintf(stderr, "impedix: SCPI on %s\n",
                             qPrintable(App::ListeningText(address, scpi->port())));
            }
            std::fflush(stderr);
            QObject::connect(scpi.get(), &Remote::ScpiServer::clientCountChanged, &b_tok,
                             [&b_tok](int count) { b_tok.ShowRemoteClients(count); });
        }
        if (!line.recordFile.isEmpty())
            b_tok.StartRecording(line.recordFile, line.recordSemicolon ? Export::SemicolonDialect()
                                                                       : Export::CommaDialect());
        if (status == 0) QApplication::exec();
        window = nullptr;
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
