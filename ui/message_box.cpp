// Message facade: a modal message box unless a handler has been installed.

#include "ui/message_box.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace Framework {

namespace {

MessageHandler &InstalledHandler() {
    static MessageHandler handler;
    return handler;
}

QuestionHandler &InstalledQuestionHandler() {
    static QuestionHandler handler;
    return handler;
}

void ShowModalMessage(const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

void ShowMessage(const QString &text) {
    const MessageHandler &handler = InstalledHandler();
    if (handler)
        handler(text);
    else
        ShowModalMessage(text);
}

void SetMessageHandler(MessageHandler handler) {
    InstalledHandler() = std::move(handler);
}

bool AskQuestion(const QString &text, const QString &yes, const QString &no) {
    if (const QuestionHandler &handler = InstalledQuestionHandler()) return handler(text);
    if (const MessageHandler &handler = InstalledHandler()) {
        handler(text);
        return false;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton *accept = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton *reject = box.addButton(no, QMessageBox::RejectRole);
    box.setDefaultButton(reject);
    box.setEscapeButton(reject);
    box.exec();
    return box.clickedButton() == accept;
}

void SetQuestionHandler(QuestionHandler handler) {
    InstalledQuestionHandler() = std::move(handler);
}

void EndModalDialogs() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal()) dialog->reject();
    }
}

} // namespace Framework
