// Message facade: a modal message box unless a handler has been installed.

#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

namespace Framework {

namespace {

MessageHandler &InstalledHandler() {
    static MessageHandler handler;
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

} // namespace Framework
