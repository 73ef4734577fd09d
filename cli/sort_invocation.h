// The options of `impedix-cli sort` beyond the test conditions and the output: the plan, the
// part detector's settings, --once and --now, and their help text.
#pragma once

#include <QString>

class QCommandLineParser;

namespace Cli {

struct Invocation;

void AddSortOptions(QCommandLineParser &parser);
// The plan and --once/--now, after the conditions were taken; false with invocation.error.
bool TakeSortOptions(const QCommandLineParser &parser, Invocation &invocation);
// What sort's --help says after its options: how parts are sorted and the exit statuses.
QString SortHelpText();

} // namespace Cli
