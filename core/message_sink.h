// How the measuring session speaks to the user: the window shows a modal message, the command
// line prints the same text to stderr. Polling is paused while a message is up.
#pragma once

#include <QString>
#include <QtGlobal>

namespace Core {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Returns once the user has seen text (closed the message, or it has been printed).
    virtual void ShowMessage(const QString &text) = 0;
    // A question with two answers; true only when the user chose yes. Where nobody can answer
    // (the command line), the answer is no, so nothing is done that nobody chose.
    virtual bool Ask(const QString &question, const QString &yes, const QString &no) {
        Q_UNUSED(yes)
        Q_UNUSED(no)
        ShowMessage(question);
        return false;
    }
};

} // namespace Core
