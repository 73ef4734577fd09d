// The serve subcommand's own options, read through the rules both programs share.
#include "cli/serve_options.h"

#include "cli/invocation.h"
#include "launch/scpi_options.h"
#include "remote/scpi_server.h"

#include <QCommandLineParser>

#include <optional>

namespace Cli {

void AddServe(QCommandLineParser &parser) {
    parser.addOption(QCommandLineOption(
        QStringLiteral("scpi"),
        QStringLiteral("TCP port of the SCPI server (default %1; 0 picks a free one).")
            .arg(Remote::ScpiServer::DefaultPort),
        QStringLiteral("PORT")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("listen"),
        QStringLiteral("Listen on ADDRESS instead of %1. Anyone who can reach the port drives the "
                       "meter: open it wider only on a network you trust.")
            .arg(Launch::DefaultListenAddress()),
        QStringLiteral("ADDRESS")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("scpi-clients"),
        QStringLiteral("Serve at most N clients at once (default %1, at most %2); one more is "
                       "told so in one line and closed.")
            .arg(Remote::ServerLimits::DefaultClients)
            .arg(Launch::MaxScpiClients),
        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("scpi-idle"),
        QStringLiteral("Close a client that has sent nothing and been answered nothing for "
                       "SECONDS (default %1; 0 never).")
            .arg(Remote::ServerLimits::DefaultIdleSeconds),
        QStringLiteral("SECONDS")));
}

bool TakeServe(const QCommandLineParser &parser, Invocation &invocation) {
    ServePlan &plan = invocation.serve;
    if (parser.isSet(QStringLiteral("scpi"))) {
        const std::optional<quint16> port =
            Launch::ReadScpiPort(parser.value(QStringLiteral("scpi")), &invocation.error);
        if (!port) return false;
        plan.port = *port;
    }
    if (parser.isSet(QStringLiteral("listen"))) {
        plan.address = parser.value(QStringLiteral("listen"));
        if (!Launch::CheckListenAddress(plan.address, &invocation.error)) return false;
    }
    if (parser.isSet(QStringLiteral("scpi-clients"))) {
        const std::optional<int> clients = Launch::ReadScpiClients(
            parser.value(QStringLiteral("scpi-clients")), &invocation.error);
        if (!clients) return false;
        plan.limits.clients = *clients;
    }
    if (parser.isSet(QStringLiteral("scpi-idle"))) {
        const std::optional<int> idle =
            Launch::ReadScpiIdle(parser.value(QStringLiteral("scpi-idle")), &invocation.error);
        if (!idle) return false;
        plan.limits.idleSeconds = *idle;
    }
    return true;
}

QString ServeHelpText() {
    return QStringLiteral(
        "The address the server listens on is printed on standard error. Up to eight\n"
        "clients at once unless --scpi-clients says otherwise; the readings and settings\n"
        "are those of the found meter.\n"
        "Exit status: 1 no meter answered; 2 a mistake on the command line, the port\n"
        "cannot be listened on, or the fixture of --correction cannot be used; 128 + the\n"
        "signal's number after SIGINT or SIGTERM.\n\n");
}

} // namespace Cli
