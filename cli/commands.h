// The subcommands that talk to the meter, each run in the event loop until it is done, the line
// is given up, or SIGINT/SIGTERM ends it; what was measured is written whole in every case.
#pragma once

#include "cli/invocation.h"
#include "core/message_sink.h"

#include <QByteArray>

namespace Core {
class Session;
struct SearchResult;
struct TickResult;
} // namespace Core
namespace Launch {
class StopSignals;
}

namespace Cli {

class DataOutput;

// The program's exit code.
int RunIdentify(const Invocation &invocation);
int RunMeasure(const Invocation &invocation);
int RunSweep(const Invocation &invocation);
int RunServe(const Invocation &invocation);   // serve.cpp
int RunCorrect(const Invocation &invocation); // correct.cpp
int RunSort(const Invocation &invocation);    // sort.cpp
int RunLibrary(const Invocation &invocation); // library_command.cpp
int RunFit(const Invocation &invocation);     // library_command.cpp

// The test conditions (checked against the model before), each sent as its control sends it.
void Apply(Core::Session &session, const Conditions &conditions);
// Local time with its offset and milliseconds, as the recording stamps its records.
QString Timestamp();
// After the search: a setting the meter cannot take, or an output that will not open, ends the
// run before anything is sent. ExitDone when the run may go on.
int RefuseBeforeRun(const QString &refusal, const QString &outputPath, DataOutput &output);
// measure's and sort's start: the search, then the test conditions and the correction checked
// against the found model (RefuseBeforeRun). ExitDone when the run may go on.
int FindAndCheckConditions(Core::Session &session, const Invocation &invocation,
                           DataOutput &output);
// Ends a run: the data committed, the port released. code is what the run came to.
int Conclude(DataOutput &output, int code);

// Searches as the window does, or says on standard error that no meter answered.
bool Find(Core::Session &session, Core::SearchResult *found);

// Written to standard error with the program's name in front.
void Complain(const QString &message);
// Written to standard error as it is, at once.
void WriteError(const QByteArray &text);

constexpr qint64 LineGiveUpSeconds = 10; // silence (a lost line included) that ends a run
// Whether the tick's silence ends the run, and the message that says so.
bool GaveUp(const Core::TickResult &result);
void ComplainLineLost();
// The exit code after a stop signal: 128 + its number, as shells report it.
int SignalExit(const Launch::StopSignals &handler);

// The session's messages, the texts the window shows in its message box, on standard error.
class StandardErrorSink : public Core::MessageSink {
public:
    void ShowMessage(const QString &text) override { Complain(text); }
};

} // namespace Cli
