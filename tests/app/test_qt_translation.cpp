// Qt's own dialogs speak the window's language whatever the system's, and without the
// translation installed they fall back to English rather than fail.
#include "app/qt_translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QtTest>

#include <algorithm>

class TestQtTranslation : public QObject {
    Q_OBJECT
private slots:
    void dialogsSpeakRussianOnAnEnglishSystem() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString english = QCoreApplication::translate("QFileDialog", "Look in:");
        QVERIFY(!App::InstallQtTranslation(*QCoreApplication::instance(),
                                           QStringLiteral("/nonexistent")));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), english);
        QVERIFY(App::InstallQtTranslation(*QCoreApplication::instance()));
        const QString russian = QCoreApplication::translate("QFileDialog", "Look in:");
        const bool cyrillic = std::any_of(russian.begin(), russian.end(), [](QChar c) {
            return c.unicode() >= 0x0400 && c.unicode() <= 0x04FF;
        });
        QVERIFY2(russian != english && cyrillic, qPrintable(russian));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    }
};

QTEST_GUILESS_MAIN(TestQtTranslation)
#include "test_qt_translation.moc"
