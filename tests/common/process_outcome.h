// What the program tests need of a process they run: an environment without a display, and how
// the process ended, with all it wrote, within a deadline.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace TestProcess {

struct Outcome {
    bool finished = false; // false: it outlived the deadline and was killed
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1; // the exit code, -1 after a crash
    QString out;
    QString err;
};

// The caller's environment with no graphical session in it.
inline QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

// Waits up to deadlineMs for the started program to end (then kills it) and collects its output.
inline Outcome Finish(QProcess &program, int deadlineMs) {
    Outcome outcome;
    outcome.finished = program.waitForFinished(deadlineMs);
    if (!outcome.finished) {
        program.kill();
        program.waitForFinished();
    }
    outcome.status = program.exitStatus();
    outcome.code = outcome.status == QProcess::NormalExit ? program.exitCode() : -1;
    outcome.out = QString::fromUtf8(program.readAllStandardOutput());
    outcome.err = QString::fromUtf8(program.readAllStandardError());
    return outcome;
}

} // namespace TestProcess
