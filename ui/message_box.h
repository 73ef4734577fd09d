#pragma once
// The one way the program shows a modal message; tests swap the dialog for a recorder.

#include "core/message_sink.h"

#include <QString>
#include <functional>

namespace Framework {

using MessageHandler = std::function<void(const QString &)>;

// Shows text with an OK button and returns once the user has closed it, or hands the text to the
// installed handler instead.
void ShowMessage(const QString &text);

// An empty handler restores the modal dialog.
void SetMessageHandler(MessageHandler handler);

using QuestionHandler = std::function<bool(const QString &)>;

// Shows text with the buttons yes and no (no is the default and Escape) and returns true only
// when the user chose yes. An installed question handler answers instead; without one, an
// installed message handler is given the text and the answer is no, so that nothing is done
// that nobody chose.
bool AskQuestion(const QString &text, const QString &yes, const QString &no);

// An empty handler restores the modal dialog.
void SetQuestionHandler(QuestionHandler handler);

// Rejects every modal dialog that is up (a message, a question, a file dialog), as Escape would,
// so that their loops return: a stop signal must end the program even from inside one.
void EndModalDialogs();

// The core's messages shown through ShowMessage.
class MessageBoxSink : public Core::MessageSink {
public:
    void ShowMessage(const QString &text) override { Framework::ShowMessage(text); }
    bool Ask(const QString &question, const QString &yes, const QString &no) override {
        return Framework::AskQuestion(question, yes, no);
    }
};

} // namespace Framework
