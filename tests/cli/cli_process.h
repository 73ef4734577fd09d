// impedix-cli run as a process by the program tests, within a deadline, once more where the demo
// meter's answers to the search were all lost.
#pragma once

#include "tests/common/lost_answer.h"
#include "tests/common/process_outcome.h"

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <functional>

namespace CliProcess {

using TestProcess::Outcome;
using TestProcess::WithoutDisplay;

constexpr int Generous = 30000; // ms; a guard against hanging, never a measured time

inline Outcome Finish(QProcess &program) {
    return TestProcess::Finish(program, Generous);
}

inline Outcome RunOnce(const QStringList &arguments) {
    QProcess program;
    program.setProcessEnvironment(WithoutDisplay());
    program.start(QStringLiteral(IMPEDIX_CLI_PATH), arguments);
    return Finish(program);
}

// A busy machine (sanitizers, parallel tests) can keep the meter's answer to every identity
// question of the search from arriving between the link's purge and its time-out: the protocol's
// own race, not a fault. Where a meter is there to answer (the demo meter, or a test's meter
// whose log `again` forgets), such a run is made once more, printed and counted; a second loss
// fails the test. Without a meter, "no meter answered" is the outcome under test.
inline Outcome Run(const QStringList &arguments, const std::function<void()> &again = {}) {
    const bool demo = std::any_of(arguments.begin(), arguments.end(), [](const QString &a) {
        return a.startsWith(QLatin1String("--demo"));
    });
    Outcome outcome = RunOnce(arguments);
    // At most once: MayStartAgain fails the test at the second loss.
    while ((demo || again) && outcome.code == 1 &&
           outcome.err.contains(QLatin1String("no meter answered")) &&
           TestLostAnswer::MayStartAgain("impedix-cli run", outcome.err)) {
        if (again) again();
        outcome = RunOnce(arguments);
    }
    return outcome;
}

} // namespace CliProcess
