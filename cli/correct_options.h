// The command line of `correct` and the --correction/--fixture options of measure, sweep and
// serve: the options each parser gets, and how their values go into an Invocation.
#pragma once

#include <QString>

class QCommandLineParser;

namespace Cli {

struct Invocation;

void AddCorrectOptions(QCommandLineParser &parser);    // correct
void AddCorrectionOptions(QCommandLineParser &parser); // measure, sweep, serve

// False with invocation.error when the options do not make a run.
bool TakeCorrect(const QCommandLineParser &parser, Invocation &invocation);
bool TakeCorrection(const QCommandLineParser &parser, Invocation &invocation);

// What the help of `correct` says beyond its options: the standard's form, the file, the
// exit status.
QString CorrectHelpText();

} // namespace Cli
