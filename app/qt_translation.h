// Qt's own texts (file dialogs, message box buttons, context menus) in the window's language.
#pragma once

#include <QString>

class QCoreApplication;

namespace App {

// Installs Qt's Russian translation (Debian's qt6-translations-l10n) on the application; false
// when it is not installed, and the dialogs then speak English as before. `folder` empty: Qt's
// own translations folder.
bool InstallQtTranslation(QCoreApplication &application, const QString &folder = QString());

} // namespace App
