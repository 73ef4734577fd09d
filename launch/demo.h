// The simulated meter that --demo runs in-process, in the window's program and in impedix-cli.
#pragma once

#include <QString>

#include <memory>

namespace Sim {
class Simulator;
}

namespace Launch {

// The port the demo meter is mapped to.
constexpr unsigned DemoPort = 1;

// Starts a simulated meter of the model (empty: the simulator's default) on a pseudo-terminal.
// Null, with a message in error, when the model is unknown or no pseudo-terminal can be had.
std::unique_ptr<Sim::Simulator> StartDemo(const QString &model, QString *error);

} // namespace Launch
