// Program entry: command line, the two windows, the event loop.
#include "app/command_line.h"
#include "app/demo.h"
#include "app/port_listing.h"
#include "link/calibration.h"
#include "link/port_names.h"
#include "sim/simulator.h"
#include "ui/main_window.h"
#include "ui/port_dialog.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace {

constexpr int UsageError = 2;

int Fail(const QString &message) {
    std::fprintf(stderr, "impedix: %s\nTry 'impedix --help'.\n", qPrintable(message));
    return UsageError;
}

// The window framework's own options (single dash, like -platform offscreen) are its business;
// before it exists they are skipped together with the value that follows them.
QStringList OwnArguments(int argc, char **argv) {
    QStringList own;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith(QLatin1Char('-')) && !argument.startsWith(QLatin1String("--")) &&
            argument != QLatin1String("-h")) {
            if (i + 1 < argc && argv[i + 1][0] != '-') ++i;
            continue;
        }
        own << argument;
    }
    return own;
}

} // namespace

int main(int argc, char **argv) {
    // Everything the command line asks for is checked before the window framework starts, so
    // --help and mistakes need no display.
    const App::CommandLine line = App::ParseCommandLine(OwnArguments(argc, argv));
    if (!line.error.isEmpty()) return Fail(line.error);
    if (line.help) {
        std::fputs(qPrintable(App::UsageText()), stdout);
        return 0;
    }
    for (const QString &mapping : line.portMappings) {
        const QString error = Device::MapPortFromArgument(mapping);
        if (!error.isEmpty()) return Fail(error);
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
        Device::MapPort(1, demo->slavePath());
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Impedix"));
    // Ties the window to the installed desktop entry (its icon and name on Wayland).
    QApplication::setDesktopFileName(QStringLiteral("org.impedix.Impedix"));
    // What the framework did not take as its own must be ours.
    const App::CommandLine rest = App::ParseCommandLine(QApplication::arguments().mid(1));
    if (!rest.error.isEmpty()) return Fail(rest.error);

    try {
        Main::Tb_tok b_tok;
        apoisk::Tcom_poisk_tool com_poisk_tool;
        b_tok.show();
        if (!line.recordFile.isEmpty()) b_tok.StartRecording(line.recordFile);
        QApplication::exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(nullptr, QStringLiteral("Impedix"),
                              QString::fromLocal8Bit(error.what()));
    }
    return 0;
}
