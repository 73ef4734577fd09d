#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace App {

bool InstallQtTranslation(QCoreApplication &application, const QString &folder) {
    const QString where =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // Owned by the application; it lives as long as the texts are asked for.
    auto *translator = new QTranslator(&application);
    // The window is Russian whatever the system's language, so its dialogs are too.
    if (translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                         QStringLiteral("_"), where) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}

} // namespace App
