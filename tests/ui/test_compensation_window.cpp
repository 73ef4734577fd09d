// Fixture compensation from the window: the panel PaComp measures a simulated fixture open and
// shorted at the sweep's points, the boxes switch the correction on, the readouts then show the
// part behind the fixture and the status bar says so; the fixture's file is read at start-up
// and a damaged one is said and not applied. The panel's and status bar's texts as a table.
#include "compensation/compensation_file.h"
#include "core/session.h"
#include "link/device.h"
#include "link/measurement.h"
#include "sim/fixture.h"
#include "tests/ui/window_fixture.h"
#include "ui/compensation_panel.h"
#include "ui/compensation_text.h"
#include "ui/main_state.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(std::vector<double>)

using namespace TestWindow;

namespace {

constexpr int Generous = 30000; // ms; a deadline for what must happen, never a measured time

Sim::Component Part() {
    Sim::Component part;
    part.capacitance = 10e-12;
    return part;
}

const Sim::Fixture Leads{0.5, 50e-9, 5e-12, 1e-9};

QString KeptFile() {
    return Comp::CompensationPath(QStringLiteral("KT-44"), QString());
}

QString OtherFile() {
    return Comp::CompensationPath(QStringLiteral("KT-44"), QStringLiteral("stand-2"));
}

void Write(const QString &path, const QByteArray &text) {
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    QVERIFY(file.commit());
}

// Clicks the kind's measure button and ticks until the run ends; true when it completed.
bool Measure(Main::Tb_tok &w, Meter &meter, Sim::Terminals terminals, const char *button) {
    meter.instrument->setTerminals(terminals);
    QSignalSpy ended(&w.Session(), &Core::Session::compensationRunEnded);
    auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
    Find<QPushButton>(*panel, button)->click();
    if (!w.Session().CompensationRunning()) return false;
    if (!Find<QProgressBar>(*panel, "PbComp")->isVisibleTo(panel)) return false;
    const QDeadlineTimer deadline(Generous);
    while (w.Session().CompensationRunning() && !deadline.hasExpired())
        w.Session().Tick();
    return ended.count() == 1 && ended.first().first().toBool();
}

// The C readout's value (pF) of the first frame at hz; not a number when none came.
float CapacitanceAt(Main::Tb_tok &w, std::int32_t hz) {
    w.Session().SetFrequency(hz);
    const QDeadlineTimer deadline(Generous);
    do
        w.Session().Tick();
    while (Device::FrequencyHz != hz && !deadline.hasExpired());
    w.Session().Tick(); // a frame that answers a request made after the setting
    if (Device::FrequencyHz != hz) return std::nanf("");
    return Device::ParameterValues[Device::ParC];
}

} // namespace

class TestCompensationWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        QFile::remove(KeptFile());
        QFile::remove(OtherFile());
    }
    void cleanupTestCase() { init(); }

    void openAndShortFromThePanel() {
        Fixture f;
        Meter &meter = f.AddMeter(1, 2, Part());
        meter.instrument->setFixture(Leads);
        Main::Tb_tok &w = f.Start();
        QVERIFY(w.Session().Compensation().open.empty()); // no file was kept yet

        auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
        QVERIFY(!panel->isVisible());
        Find<QToolButton>(w, "b_compensation")->click();
        QVERIFY(panel->isVisible());
        QVERIFY(panel->isWindow());

        // The sweep's points as the graph panel sets them: 1, 50.5 and 100 kHz.
        Find<QCheckBox>(w, "ChBoF")->setChecked(true);
        Find<QLineEdit>(w, "istart")->setText(QStringLiteral("1000"));
        Find<QLineEdit>(w, "istop")->setText(QStringLiteral("100000"));
        Find<QLineEdit>(w, "ikol")->setText(QStringLiteral("3"));
        Find<QRadioButton>(*panel, "RbCompSweep")->click();
        const std::int32_t userHz = Main::CurrentFrequency;

        QVERIFY(Measure(w, meter, Sim::Terminals::Open, "BuMeasureOpen"));
        QVERIFY(Measure(w, meter, Sim::Terminals::Short, "BuMeasureShort"));
        QCOMPARE(Main::CurrentFrequency, userHz); // the user's frequency is back
        QVERIFY(!Find<QProgressBar>(*panel, "PbComp")->isVisibleTo(panel));
        QCOMPARE(TextOf(*panel, "LaOpen"), QStringLiteral("3 точки: 1 кГц … 100 кГц"));
        QCOMPARE(TextOf(*panel, "LaShort"), QStringLiteral("3 точки: 1 кГц … 100 кГц"));
        QCOMPARE(TextOf(*panel, "LaLoad"), QStringLiteral("нет данных"));
        QVERIFY(QFile::exists(KeptFile())); // a complete run keeps the fixture

        // Uncorrected, the stray adds half the part; nothing said in the status bar.
        meter.instrument->setTerminals(Sim::Terminals::Part);
        auto *status = Find<QLabel>(w, "LaCompensation");
        QVERIFY(std::fabs(CapacitanceAt(w, 1000) / 15.0f - 1.0f) < 0.01f);
        QVERIFY(!status->isVisibleTo(&w));

        Find<QCheckBox>(*panel, "ChBoOpen")->click();
        Find<QCheckBox>(*panel, "ChBoShort")->click();
        QCOMPARE(w.Session().Compensation().enabled,
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
        for (std::int32_t hz : {1000, 50500, 20000}) {
            const float c = CapacitanceAt(w, hz);
            QVERIFY2(std::fabs(c / 10.0f - 1.0f) < 0.005f,
                     qPrintable(QStringLiteral("%1 Hz: %2 pF").arg(hz).arg(c)));
        }
        QVERIFY(status->isVisibleTo(&w));
        QCOMPARE(status->text(), QStringLiteral("Компенсация: ХХ+КЗ"));

        // Below the measured span the reading is as measured, and the status bar says it.
        QVERIFY(w.Session().AcceptSweepLow(500)); // the program's window takes 500 Hz again
        QVERIFY(!std::isnan(CapacitanceAt(w, 500)));
        QCOMPARE(status->text(), QStringLiteral("Компенсация: ХХ+КЗ, вне диапазона"));

        // Switched off, the readings are the fixture's again; the reset forgets the data.
        Find<QCheckBox>(*panel, "ChBoShort")->click();
        Find<QCheckBox>(*panel, "ChBoOpen")->click();
        QVERIFY(!status->isVisibleTo(&w));
        QVERIFY(std::fabs(CapacitanceAt(w, 1000) / 15.0f - 1.0f) < 0.01f);
        Find<QPushButton>(*panel, "BuClearComp")->click();
        QCOMPARE(TextOf(*panel, "LaOpen"), QStringLiteral("нет данных"));
        QVERIFY(f.messages.isEmpty());
    }

    // Open, short and a 100 Ω standard at the present frequency: all three on give the part.
    void loadAtTheSpot() {
        Fixture f;
        Meter &meter = f.AddMeter(1, 2, Part());
        meter.instrument->setFixture(Leads);
        meter.instrument->setLoad(*Sim::parseComponent(QStringLiteral("R=100")));
        Main::Tb_tok &w = f.Start();
        const std::int32_t spot = 10000;
        QVERIFY(w.Session().AcceptSweepLow(1000));    // the program's window takes the spot
        QVERIFY(!std::isnan(CapacitanceAt(w, spot))); // the meter followed, then set to the spot
        auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
        Find<QRadioButton>(*panel, "RbCompSpot")->click();
        Find<QLineEdit>(*panel, "EdLoadR")->setText(QStringLiteral("100"));
        Find<QLineEdit>(*panel, "EdLoadX")->setText(QStringLiteral("0"));
        QVERIFY(Measure(w, meter, Sim::Terminals::Open, "BuMeasureOpen"));
        QVERIFY(Measure(w, meter, Sim::Terminals::Short, "BuMeasureShort"));
        QVERIFY(Measure(w, meter, Sim::Terminals::Load, "BuMeasureLoad"));
        QCOMPARE(TextOf(*panel, "LaLoad"), QStringLiteral("1 точка: ") + Main::FrequencyText(spot));
        QCOMPARE(w.Session().Compensation().standard.first, 100.0);

        meter.instrument->setTerminals(Sim::Terminals::Part);
        for (const char *box : {"ChBoOpen", "ChBoShort", "ChBoLoad"})
            Find<QCheckBox>(*panel, box)->click();
        const float c = CapacitanceAt(w, spot);
        QVERIFY2(std::fabs(c / 10.0f - 1.0f) < 0.005f, qPrintable(QString::number(c)));
        QCOMPARE(TextOf(w, "LaCompensation"), QStringLiteral("Компенсация: ХХ+КЗ+Н"));
        QVERIFY(f.messages.isEmpty());
    }

    // Another fixture's name reads its file.
    void anotherFixture() {
        Comp::Compensation kept;
        kept.model = QStringLiteral("KT-44");
        kept.open.Put(1000, Comp::Complex(1e3, -3e7));
        kept.enabled = Comp::OpenCorrection;
        Write(OtherFile(), Comp::FormatCompensation(kept));
        Fixture f;
        f.AddMeter(1, 2, Part());
        Main::Tb_tok &w = f.Start();
        QCOMPARE(w.Session().Compensation().enabled, unsigned(Comp::NoCorrection));
        auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
        auto *name = Find<QLineEdit>(*panel, "EdFixture");
        name->setText(QStringLiteral("stand-2"));
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(w.Session().Compensation().fixture, QStringLiteral("stand-2"));
        QCOMPARE(w.Session().Compensation().enabled, unsigned(Comp::OpenCorrection));
        QCOMPARE(TextOf(*panel, "LaOpen"), QStringLiteral("1 точка: 1 кГц"));
        QVERIFY(f.messages.isEmpty());
    }

    // The stop ends a run where it is: nothing kept, the frequency back, the panel idle.
    void stopARun() {
        Fixture f;
        Meter &meter = f.AddMeter(1, 2, Part());
        meter.instrument->setFixture(Leads);
        Main::Tb_tok &w = f.Start();
        auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
        meter.instrument->setTerminals(Sim::Terminals::Open);
        Find<QPushButton>(*panel, "BuMeasureOpen")->click(); // the model's grid
        QVERIFY(w.Session().CompensationRunning());
        QVERIFY(Find<QPushButton>(*panel, "BuStopComp")->isVisibleTo(panel));
        QVERIFY(!Find<QPushButton>(*panel, "BuMeasureShort")->isEnabled());
        w.Session().Tick();
        Find<QPushButton>(*panel, "BuStopComp")->click();
        QVERIFY(!w.Session().CompensationRunning());
        QVERIFY(!Find<QPushButton>(*panel, "BuStopComp")->isVisibleTo(panel));
        QVERIFY(Find<QPushButton>(*panel, "BuMeasureShort")->isEnabled());
        QVERIFY(!QFile::exists(KeptFile()));
    }

    // The load needs its standard: without a usable one nothing is measured, and it is said.
    void loadWithoutStandard() {
        Fixture f;
        f.AddMeter(1, 2, Part());
        Main::Tb_tok &w = f.Start();
        auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
        Find<QLineEdit>(*panel, "EdLoadR")->setText(QStringLiteral("0"));
        Find<QLineEdit>(*panel, "EdLoadX")->setText(QStringLiteral("0"));
        Find<QPushButton>(*panel, "BuMeasureLoad")->click();
        QVERIFY(!w.Session().CompensationRunning());
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages.first().contains(QStringLiteral("меры нагрузки")));
    }

    // At start-up the found model's file for the fixture is read: its kinds are on at once.
    void keptFixtureAtStartUp() {
        Comp::Compensation kept;
        kept.model = QStringLiteral("KT-44");
        kept.open.Put(1000, Comp::Complex(1e3, -3e7));
        kept.shorted.Put(1000, Comp::Complex(0.5, 0.0003));
        kept.enabled = Comp::OpenCorrection | Comp::ShortCorrection;
        Write(KeptFile(), Comp::FormatCompensation(kept));
        Fixture f;
        f.AddMeter(1, 2, Part());
        Main::Tb_tok &w = f.Start();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(w.Session().Compensation().enabled,
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
        auto *panel = Find<Main::CompensationPanel>(w, "PaComp");
        QVERIFY(Find<QCheckBox>(*panel, "ChBoOpen")->isChecked());
        QCOMPARE(TextOf(*panel, "LaShort"), QStringLiteral("1 точка: 1 кГц"));
        QCOMPARE(TextOf(w, "LaCompensation"), QStringLiteral("Компенсация: ХХ+КЗ"));
    }

    // A damaged file is said once, and nothing of it is applied.
    void damagedFixtureAtStartUp() {
        Write(KeptFile(), "# Impedix fixture compensation\nmodel KT-44\nopen 1000 x y\nopen on\n");
        Fixture f;
        f.AddMeter(1, 2, Part());
        Main::Tb_tok &w = f.Start();
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages.first().startsWith(QStringLiteral("Компенсация оснастки не загружена")));
        QCOMPARE(w.Session().Compensation().enabled, unsigned(Comp::NoCorrection));
        QVERIFY(w.Session().Compensation().open.empty());
        QVERIFY(!Find<QLabel>(w, "LaCompensation")->isVisibleTo(&w));
    }

    void statusTexts_data() {
        QTest::addColumn<unsigned>("enabled");
        QTest::addColumn<unsigned>("usable");
        QTest::addColumn<bool>("outside");
        QTest::addColumn<QString>("text");
        const unsigned o = Comp::OpenCorrection, s = Comp::ShortCorrection,
                       l = Comp::LoadCorrection;
        QTest::newRow("off") << 0u << 0u << false << QString();
        QTest::newRow("off, outside") << 0u << 0u << true << QString();
        QTest::newRow("open") << o << o << false << QStringLiteral("Компенсация: ХХ");
        QTest::newRow("short") << s << s << false << QStringLiteral("Компенсация: КЗ");
        QTest::newRow("all") << (o | s | l) << (o | s | l) << false
                             << QStringLiteral("Компенсация: ХХ+КЗ+Н");
        QTest::newRow("load not usable")
            << (o | s | l) << (o | s) << false << QStringLiteral("Компенсация: ХХ+КЗ");
        QTest::newRow("no data") << o << 0u << true << QStringLiteral("Компенсация: нет данных");
        QTest::newRow("outside") << s << s << true
                                 << QStringLiteral("Компенсация: КЗ, вне диапазона");
    }
    void statusTexts() {
        QFETCH(unsigned, enabled);
        QFETCH(unsigned, usable);
        QFETCH(bool, outside);
        QFETCH(QString, text);
        QCOMPARE(Main::CompensationStatus(enabled, usable, outside), text);
    }

    void traceSummaries_data() {
        QTest::addColumn<std::vector<double>>("hz");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << std::vector<double>{} << QStringLiteral("нет данных");
        QTest::newRow("one") << std::vector<double>{25} << QStringLiteral("1 точка: 25 Гц");
        QTest::newRow("two") << std::vector<double>{100, 31623}
                             << QStringLiteral("2 точки: 100 Гц … 31,62 кГц");
        std::vector<double> many(11, 0.0), eleven(21, 0.0);
        for (std::size_t i = 0; i < many.size(); ++i)
            many[i] = 1000.0 * double(i + 1);
        for (std::size_t i = 0; i < eleven.size(); ++i)
            eleven[i] = 1e6 * double(i + 1);
        QTest::newRow("eleven") << many << QStringLiteral("11 точек: 1 кГц … 11 кГц");
        QTest::newRow("twenty-one") << eleven << QStringLiteral("21 точка: 1 МГц … 21 МГц");
    }
    void traceSummaries() {
        QFETCH(std::vector<double>, hz);
        QFETCH(QString, text);
        Comp::Trace trace;
        for (double f : hz)
            trace.Put(f, Comp::Complex(1.0, 0.0));
        QCOMPARE(Main::TraceSummary(trace), text);
    }

    void loadStandards_data() {
        QTest::addColumn<QString>("r");
        QTest::addColumn<QString>("x");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("resistance");
        QTest::addColumn<double>("reactance");
        QTest::newRow("comma") << "99,5"
                               << "-0,25" << true << 99.5 << -0.25;
        QTest::newRow("point, X empty") << " 100.0 "
                                        << "" << true << 100.0 << 0.0;
        QTest::newRow("X only") << "0"
                                << "50" << true << 0.0 << 50.0;
        QTest::newRow("zero") << "0"
                              << "0" << false << 0.0 << 0.0;
        QTest::newRow("text") << "сто"
                              << "0" << false << 0.0 << 0.0;
        QTest::newRow("R empty") << ""
                                 << "5" << false << 0.0 << 0.0;
        QTest::newRow("infinite") << "inf"
                                  << "0" << false << 0.0 << 0.0;
    }
    void loadStandards() {
        QFETCH(QString, r);
        QFETCH(QString, x);
        QFETCH(bool, valid);
        const std::optional<Comp::LoadStandard> standard = Main::ReadLoadStandard(r, x);
        QCOMPARE(standard.has_value(), valid);
        if (!standard) return;
        QFETCH(double, resistance);
        QFETCH(double, reactance);
        QCOMPARE(standard->first, resistance);
        QCOMPARE(standard->second, reactance);
    }
};

QTEST_MAIN(TestCompensationWindow)
#include "test_compensation_window.moc"
