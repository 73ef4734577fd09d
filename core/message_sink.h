// How the measuring session speaks to the user: the window shows a modal message, the command
// line prints the same text to stderr. Polling is paused while a message is up.
#pragma once

#include <QString>

namespace Core {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Returns once the user has seen text (closed the message, or it has been printed).
    virtual void ShowMessage(const QString &text) = 0;
};

} // namespace Core
