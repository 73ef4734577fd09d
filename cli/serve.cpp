// serve: the found meter as a SCPI instrument on TCP until SIGINT or SIGTERM.
#include "cli/commands.h"

#include "cli/fixture_use.h"

#include "bridge/session_instrument.h"
#include "core/session.h"
#include "launch/scpi_options.h"
#include "launch/stop_signals.h"
#include "link/serial_link.h"
#include "remote/scpi_server.h"

#include <QCoreApplication>

#include <csignal>

namespace Cli {

int RunServe(const Invocation &invocation) {
    Core::Session session;
    StandardErrorSink sink;
    session.SetMessageSink(&sink);
    Core::SearchResult found;
    if (!Find(session, &found)) return ExitNoMeter;
    if (const QString refusal = UseCorrection(session, invocation.correction); !refusal.isEmpty()) {
        Complain(refusal);
        Device::ClosePort();
        return ExitUsage;
    }
    Bridge::SessionInstrument meter(session);
    Remote::ScpiServer server(meter, invocation.serve.limits);
    const QHostAddress address(invocation.serve.address);
    if (!server.listen(address, invocation.serve.port)) {
        Complain(QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(invocation.serve.address)
                     .arg(invocation.serve.port)
                     .arg(server.errorString()));
        Device::ClosePort();
        return ExitUsage;
    }
    Complain(QStringLiteral("SCPI on %1").arg(Launch::ListeningText(address, server.port())));
    int code = ExitDone;
    Launch::StopSignals stop([&] {
        code = 128 + (stop.lastSignal() != 0 ? stop.lastSignal() : SIGTERM);
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    session.Close();
    Device::ClosePort();
    return code;
}

} // namespace Cli
