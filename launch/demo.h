// The simulated meter that --demo runs in-process, in the window's program and in impedix-cli.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace Sim {
class Simulator;
}

namespace Launch {

// The port the demo meter is mapped to.
constexpr unsigned DemoPort = 1;

// --demo-sim's text as the simulator's arguments: split at spaces; double quotes group, as in
// --link "/tmp/my meter" (QProcess::splitCommand).
QStringList SplitDemoSimArguments(const QString &text);

// Why the demo meter of the model (empty: the simulator's default) with the extra simulator
// options simArguments (--demo-sim) cannot run, or empty when it can: a usage error.
QString CheckDemo(const QString &model, const QStringList &simArguments);

// Starts a simulated meter of the model (empty: the simulator's default) on a pseudo-terminal,
// with the extra simulator options simArguments (after the demo's own, so they win). Null, with
// a message in error, when the options are not usable or no pseudo-terminal can be had. The
// demo port is to be mapped to the simulator's portPath(): a link when the options keep one.
std::unique_ptr<Sim::Simulator> StartDemo(const QString &model, const QStringList &simArguments,
                                          QString *error);

} // namespace Launch
