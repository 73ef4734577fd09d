// impedix-cli: the command line, the port mappings and the demo meter, then the subcommand.
#include "cli/commands.h"
#include "cli/invocation.h"
#include "launch/demo.h"
#include "launch/port_listing.h"
#include "link/calibration.h"
#include "link/port_names.h"
#include "link/serial_link.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    // The window's name: the data both keep under it (a fixture's compensation) are the same.
    QCoreApplication::setApplicationName(QStringLiteral("Impedix"));
    // A reader that goes away (| head) makes the next write fail, which ends the run cleanly.
    std::signal(SIGPIPE, SIG_IGN);

    const Cli::Invocation invocation = Cli::ParseInvocation(QCoreApplication::arguments().mid(1));
    if (invocation.help) {
        std::fputs(invocation.helpText.toLocal8Bit().constData(), stdout);
        return Cli::ExitDone;
    }
    if (!invocation.error.isEmpty()) {
        Cli::Complain(invocation.error);
        std::fprintf(stderr, "%s\n", qPrintable(invocation.usageHint));
        return Cli::ExitUsage;
    }
    for (const QString &mapping : invocation.portMappings)
        Device::MapPortFromArgument(mapping);
    if (invocation.command == Cli::Command::Library) return Cli::RunLibrary(invocation);
    if (invocation.command == Cli::Command::Fit) return Cli::RunFit(invocation);
    if (invocation.command == Cli::Command::Ports) {
        std::fputs(Launch::ListPortsText().toLocal8Bit().constData(), stdout);
        return Cli::ExitDone;
    }
    if (!invocation.tablePath.isEmpty()) Device::CalibrationFilePath = invocation.tablePath;
    std::unique_ptr<Sim::Simulator> demo;
    if (invocation.demo) {
        QString error;
        demo = Launch::StartDemo(invocation.demoModel, invocation.demoSimArguments, &error);
        if (!demo) {
            Cli::Complain(error);
            return Cli::ExitUsage;
        }
        Device::MapPort(Launch::DemoPort, demo->portPath());
    }
    Device::InitLinkSettings();

    switch (invocation.command) {
    case Cli::Command::Identify:
        return Cli::RunIdentify(invocation);
    case Cli::Command::Measure:
        return Cli::RunMeasure(invocation);
    case Cli::Command::Sweep:
        return Cli::RunSweep(invocation);
    case Cli::Command::Serve:
        return Cli::RunServe(invocation);
    case Cli::Command::Correct:
        return Cli::RunCorrect(invocation);
    case Cli::Command::Sort:
        return Cli::RunSort(invocation);
    default:
        return Cli::ExitUsage;
    }
}
