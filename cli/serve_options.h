// The options of `impedix-cli serve`: the port, the address, how many clients at once and how long
// one may stay silent, and what its help says after them.
#pragma once

#include <QString>

class QCommandLineParser;

namespace Cli {

struct Invocation;

void AddServe(QCommandLineParser &parser);
// The server's plan from the options; false with invocation.error.
bool TakeServe(const QCommandLineParser &parser, Invocation &invocation);
QString ServeHelpText();

} // namespace Cli
