// The window's pure helpers for reports and remembered settings: the print title's wording, the
// sizes a picture may have and the scale it is drawn at, whether a kept window geometry may be
// used, the reading of stored values, and the tooltips' table.
#include "ui/control_tips.h"
#include "ui/print_text.h"
#include "ui/window_settings.h"

#include <QSet>
#include <QSettings>
#include <QtTest>

#include <cmath>

namespace {

Library::Conditions Typical() {
    Library::Conditions c;
    c.levelVolts = 1.0;
    c.biasVolts = 0.0;
    c.range = QStringLiteral("auto");
    c.speed = QStringLiteral("normal");
    c.circuit = QStringLiteral("series");
    return c;
}

} // namespace

Q_DECLARE_METATYPE(Library::Conditions)

class TestPrintText : public QObject {
    Q_OBJECT

private slots:
    void title_data() {
        QTest::addColumn<Library::Conditions>("conditions");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("quantities");
        QTest::addColumn<QString>("expected");
        const QString when = QStringLiteral("10.12.2026 15:04  ·  ");
        QTest::newRow("all known")
            << Typical() << QStringLiteral("KT-41")
            << QStringList{QStringLiteral("Cs, нФ"), QStringLiteral("D")}
            << when + QStringLiteral("KT-41  ·  уровень 1 В, смещение 0 В, диапазон авто, "
                                     "скорость норм., схема послед.  ·  Cs, нФ, D");
        Library::Conditions small = Typical();
        small.levelVolts = 0.005;
        small.biasVolts = 1.25;
        small.range = QStringLiteral("100 kΩ");
        small.speed = QStringLiteral("fast");
        small.circuit = QStringLiteral("parallel");
        QTest::newRow("millivolts, a decimal comma, a fixed range")
            << small << QStringLiteral("KT-41") << QStringList{QStringLiteral("Rp, кОм")}
            << when + QStringLiteral("KT-41  ·  уровень 5 мВ, смещение 1,25 В, диапазон 100 kΩ, "
                                     "скорость быстр., схема паралл.  ·  Rp, кОм");
        Library::Conditions swept = Typical();
        swept.levelVolts = std::nan("");
        swept.biasExternal = true;
        swept.range.clear();
        swept.speed.clear();
        QTest::newRow("level swept, external bias, range and speed unknown")
            << swept << QStringLiteral("KT-41") << QStringList{QStringLiteral("|Z|, Ом")}
            << when + QStringLiteral("KT-41  ·  смещение внешнее, схема послед.  ·  |Z|, Ом");
        QTest::newRow("no meter, no quantity, blank titles left out")
            << Library::Conditions{} << QString() << QStringList{QStringLiteral("  ")}
            << QStringLiteral("10.12.2026 15:04");
    }
    void title() {
        QFETCH(Library::Conditions, conditions);
        QFETCH(QString, model);
        QFETCH(QStringList, quantities);
        QFETCH(QString, expected);
        Main::PrintFacts facts;
        facts.when = QDateTime(QDate(2026, 12, 10), QTime(15, 4, 30));
        facts.model = model;
        facts.conditions = conditions;
        facts.quantities = quantities;
        QCOMPARE(Main::PrintTitle(facts), expected);
    }

    void sizes_data() {
        QTest::addColumn<QSize>("asked");
        QTest::addColumn<QSize>("usable");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QSize>("layout");
        QTest::newRow("screen") << QSize(1600, 1000) << QSize(1600, 1000) << 1600.0 / 1100
                                << QSize(1100, 688);
        QTest::newRow("A4 at 300 dpi")
            << QSize(3300, 2100) << QSize(3300, 2100) << 3.0 << QSize(1100, 700);
        QTest::newRow("narrower than the layout: drawn as is")
            << QSize(800, 600) << QSize(800, 600) << 1.0 << QSize(800, 600);
        QTest::newRow("least") << QSize(200, 200) << QSize(200, 200) << 1.0 << QSize(200, 200);
        QTest::newRow("too small: the default")
            << QSize(199, 600) << QSize(1600, 1000) << 1600.0 / 1100 << QSize(1100, 688);
        QTest::newRow("too large: the default")
            << QSize(3000, 10001) << QSize(1600, 1000) << 1600.0 / 1100 << QSize(1100, 688);
        QTest::newRow("invalid: the default")
            << QSize() << QSize(1600, 1000) << 1600.0 / 1100 << QSize(1100, 688);
    }
    void sizes() {
        QFETCH(QSize, asked);
        QFETCH(QSize, usable);
        QFETCH(double, scale);
        QFETCH(QSize, layout);
        QCOMPARE(Main::UsablePrintSize(asked), usable);
        const Main::PrintLayout geometry = Main::PrintGeometry(asked, 16);
        QCOMPARE(geometry.scale, scale);
        QCOMPARE(geometry.layout, layout);
        QCOMPARE(geometry.titleHeight, std::min(32, layout.height() / 4));
        for (const Main::PrintPreset &preset : Main::PrintPresets())
            QCOMPARE(Main::UsablePrintSize(preset.size), preset.size);
    }

    // A kept geometry is used only where it fits the screen with its frame and is not below
    // what the controls need.
    void geometryFits_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<bool>("fits");
        QTest::newRow("inside") << QRect(10, 40, 1233, 700) << true;
        QTest::newRow("the frame just on the screen") << QRect(4, 32, 1358, 732) << true;
        QTest::newRow("the title bar above the screen") << QRect(10, 20, 1233, 700) << false;
        QTest::newRow("taller than the screen") << QRect(10, 40, 1233, 740) << false;
        QTest::newRow("off to the right, another screen gone")
            << QRect(1500, 40, 800, 600) << false;
        QTest::newRow("below the least size") << QRect(10, 40, 300, 700) << false;
        QTest::newRow("invalid") << QRect() << false;
    }
    void geometryFits() {
        QFETCH(QRect, area);
        QFETCH(bool, fits);
        QCOMPARE(Main::GeometryFits(area, QMargins(4, 32, 4, 4), QRect(0, 0, 1366, 768),
                                    QSize(390, 400)),
                 fits);
    }

    // Whatever a settings file holds, a value of another type or an empty one is absent.
    void storedValues() {
        QCOMPARE(Main::StoredRect(QVariant(QRect(1, 2, 300, 400))), QRect(1, 2, 300, 400));
        QCOMPARE(Main::StoredSize(QVariant(QSize(3300, 2100))), QSize(3300, 2100));
        for (const QVariant &bad :
             {QVariant(), QVariant(QStringLiteral("@Rect(1 2 3 4)")), QVariant(42),
              QVariant(QRect(5, 5, 0, 10)), QVariant(QSize(-1, 5)), QVariant(QByteArray("\xff"))}) {
            QVERIFY(!Main::StoredRect(bad));
            QVERIFY(!Main::StoredSize(bad));
        }
        QCOMPARE(Main::PanelsKey(false, false, false), QString());
        QCOMPARE(Main::PanelsKey(true, true, false), QStringLiteral("kg"));
        QCOMPARE(Main::PanelsKey(false, false, true), QStringLiteral("c"));
    }

    // The fixture and the library's columns come back as kept; a value of another kind (a list, a
    // text where bytes were kept) is read as none. The test's configuration folder is its own.
    void keptFixtureAndLibraryView() {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::applicationName(),
                  QCoreApplication::applicationName())
            .clear();
        QCOMPARE(Main::Settings::FixtureName(), QString());
        QCOMPARE(Main::Settings::LibraryView(), QByteArray());
        Main::Settings::SetFixtureName(QStringLiteral("stand-2"));
        Main::Settings::SetLibraryView(QByteArray("\0\xff columns", 10));
        QCOMPARE(Main::Settings::FixtureName(), QStringLiteral("stand-2"));
        QCOMPARE(Main::Settings::LibraryView(), QByteArray("\0\xff columns", 10));
        {
            QSettings store(QSettings::IniFormat, QSettings::UserScope,
                            QCoreApplication::applicationName(),
                            QCoreApplication::applicationName());
            store.setValue(QStringLiteral("compensation/fixture"),
                           QStringList{QStringLiteral("a"), QStringLiteral("b")});
            store.setValue(QStringLiteral("library/columns"), QStringLiteral("columns"));
        }
        QCOMPARE(Main::Settings::FixtureName(), QString());
        QCOMPARE(Main::Settings::LibraryView(), QByteArray());
    }

    // One tooltip per control, short.
    void tips() {
        QSet<QString> names;
        for (const Main::ControlTip &tip : Main::ControlTips()) {
            const QString name = QLatin1String(tip.name);
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            QVERIFY2(!tip.tip.isEmpty() && tip.tip.size() <= 100, qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(TestPrintText)
#include "test_print_text.moc"
