#pragma once
// The one way the program asks for a file to write or to read; tests swap the dialog for a
// handler.

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace Framework {

struct SaveFileRequest {
    QString caption;
    QString suggestedPath;        // folder and name offered first
    QStringList filters;          // "CSV (*.csv)", …; the first is selected
    bool confirmOverwrite = true; // false where the file is appended to, never replaced
};

struct SaveFileChoice {
    QString path;   // empty when the user cancelled
    int filter = 0; // index into the request's filters
};

using SaveFileHandler = std::function<SaveFileChoice(const SaveFileRequest &)>;

// Shows the platform's save dialog, or hands the request to the installed handler instead.
SaveFileChoice AskSaveFile(QWidget *parent, const SaveFileRequest &request);

// An empty handler restores the dialog.
void SetSaveFileHandler(SaveFileHandler handler);

// The platform's open dialog for one existing file (empty when cancelled), or the installed
// handler, which gets the caption.
using OpenFileHandler = std::function<QString(const QString &caption)>;
QString AskOpenFile(QWidget *parent, const QString &caption, const QString &folder,
                    const QString &filter);
void SetOpenFileHandler(OpenFileHandler handler);

} // namespace Framework
