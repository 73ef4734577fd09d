// Whether the window can be shown at all, asked before the window framework starts: without a
// graphical session the framework aborts with a message about its plugins that tells a user
// at an SSH prompt nothing.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace App {

// The display number of an X display on this machine (":0", ":1.0", "unix:2"); -1 for a
// display elsewhere ("host:10.0", "localhost:10") or text that names none.
int LocalDisplayNumber(const QString &display);

// True when a program on this machine can connect to the X server of display number n.
bool LocalDisplayAnswers(int n);

// What stops the window from being shown, as a sentence for stderr; empty when nothing does,
// or when only the framework can tell. arguments: the whole command line without the program
// name. A platform chosen by -platform or QT_QPA_PLATFORM is the framework's business.
QString MissingDisplay(const QStringList &arguments, const QProcessEnvironment &environment,
                       const std::function<bool(int)> &localDisplayAnswers = LocalDisplayAnswers);

} // namespace App
