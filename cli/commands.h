// The subcommands that talk to the meter, each run in the event loop until it is done, the line
// is given up, or SIGINT/SIGTERM ends it; what was measured is written whole in every case.
#pragma once

#include "cli/invocation.h"
#include "core/message_sink.h"

namespace Core {
class Session;
struct SearchResult;
} // namespace Core

namespace Cli {

// The program's exit code.
int RunIdentify(const Invocation &invocation);
int RunMeasure(const Invocation &invocation);
int RunSweep(const Invocation &invocation);
int RunServe(const Invocation &invocation); // serve.cpp

// Searches as the window does, or says on standard error that no meter answered.
bool Find(Core::Session &session, Core::SearchResult *found);

// Written to standard error with the program's name in front.
void Complain(const QString &message);

// The session's messages, the texts the window shows in its message box, on standard error.
class StandardErrorSink : public Core::MessageSink {
public:
    void ShowMessage(const QString &text) override { Complain(text); }
};

} // namespace Cli
