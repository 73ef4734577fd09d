// Save- and open-file facade: the platform's dialog unless a handler has been installed.

#include "ui/file_dialog.h"

#include <QFileDialog>

#include <utility>

namespace Framework {

namespace {

SaveFileHandler &InstalledHandler() {
    static SaveFileHandler handler;
    return handler;
}

OpenFileHandler &InstalledOpenHandler() {
    static OpenFileHandler handler;
    return handler;
}

} // namespace

SaveFileChoice AskSaveFile(QWidget *parent, const SaveFileRequest &request) {
    if (const SaveFileHandler &handler = InstalledHandler()) return handler(request);
    QString selected = request.filters.value(0);
    QFileDialog::Options options;
    if (!request.confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
    SaveFileChoice choice;
    choice.path = QFileDialog::getSaveFileName(parent, request.caption, request.suggestedPath,
                                               request.filters.join(QStringLiteral(";;")),
                                               &selected, options);
    choice.filter = std::max(0, static_cast<int>(request.filters.indexOf(selected)));
    return choice;
}

void SetSaveFileHandler(SaveFileHandler handler) {
    InstalledHandler() = std::move(handler);
}

QString AskOpenFile(QWidget *parent, const QString &caption, const QString &folder,
                    const QString &filter) {
    if (const OpenFileHandler &handler = InstalledOpenHandler()) return handler(caption);
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

void SetOpenFileHandler(OpenFileHandler handler) {
    InstalledOpenHandler() = std::move(handler);
}

} // namespace Framework
