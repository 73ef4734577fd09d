// The simulated meter that `impedix --demo` runs in-process and maps to COM1.
#pragma once

#include <QString>

#include <memory>

namespace Sim {
class Simulator;
}

namespace App {

// Starts a simulated meter of the model (empty: the simulator's default) on a pseudo-terminal.
// Null, with a message in error, when the model is unknown or no pseudo-terminal can be had.
std::unique_ptr<Sim::Simulator> StartDemo(const QString &model, QString *error);

} // namespace App
