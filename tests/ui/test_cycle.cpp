// The measurement tick against simulated and scripted meters: readouts, circuit picture, status
// line, the one-off copy of the instrument's settings, failed reads, following the instrument's
// frequency, and the choice of the shown pair and of the equivalent circuit.
#include "core/session.h"
#include "link/device.h"
#include "tests/common/peer.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QtTest>

using namespace TestWindow;
using TestPeer::Request;
using TestPeer::ScriptedMeter;

namespace {

struct Readout {
    int model;
    Sim::Component dut;
    bool parallel;
    const char *picture;
    int first, second;
};
struct Status {
    int status, mode, range, modelIndex;
    const char *text; // the whole status line, as the user reads it
};
struct Sync {
    int reported, bias, position;
    const char *text;
};

QString Line(int index) {
    return QString::fromLatin1(Device::ParameterText[index]);
}

const Sim::Component Inductor = *Sim::parseComponent(QStringLiteral("L=10m,R=1"));

// The readout labels with the parameter index each one shows.
QList<QPair<QLabel *, int>> Labels(const Main::Tb_tok &w) {
    const char *names[] = {"i_c", "i_l", "i_r", "i_g", "i_b",   "i_x",
                           "i_z", "i_y", "i_d", "i_q", "i_fiz", "i_fiy"};
    QList<QPair<QLabel *, int>> labels;
    for (int index = 0; index < 12; ++index)
        labels.append({Find<QLabel>(w, names[index]), index});
    return labels;
}

QStringList Readouts(const Main::Tb_tok &w) {
    QStringList texts{TextOf(w, "i_par1"), TextOf(w, "i_par2")};
    for (const auto &label : Labels(w))
        texts << label.first->text();
    return texts;
}

QString VisiblePicture(const Main::Tb_tok &w) {
    QStringList shown;
    for (const char *picture : {"i_cs", "i_ls", "i_cp", "i_lp"})
        if (!Find<QLabel>(w, picture)->isHidden()) shown << QLatin1String(picture);
    return shown.join(QLatin1Char(','));
}

QComboBox *Range(const Main::Tb_tok &w) {
    return Find<QComboBox>(w, "i_diap");
}

} // namespace

Q_DECLARE_METATYPE(Readout)
Q_DECLARE_METATYPE(Status)
Q_DECLARE_METATYPE(Sync)
Q_DECLARE_METATYPE(Sim::Fault)

class TestCycle : public QObject {
    Q_OBJECT

private slots:
    void readoutsAndPicture_data() {
        QTest::addColumn<Readout>("c");
        const Sim::Component cap = Fixture::Capacitor();
        QTest::newRow("capacitor, series") << Readout{2, cap, false, "i_cs", 0, 8};
        QTest::newRow("inductor, series, KT-41") << Readout{0, Inductor, false, "i_ls", 1, 9};
        QTest::newRow("inductor, parallel") << Readout{2, Inductor, true, "i_lp", 1, 9};
        QTest::newRow("resistor, phase 0")
            << Readout{2, *Sim::parseComponent(QStringLiteral("R=470")), false, "i_cs", 2, 9};
    }
    void readoutsAndPicture() {
        QFETCH(Readout, c);
        Fixture f;
        f.AddMeter(1, c.model, c.dut);
        Main::Tb_tok &w = f.Start();
        if (c.parallel) Find<QRadioButton>(w, "b_paral")->click();
        w.tmrTimer();

        QCOMPARE(Main::Param1Index, c.first);
        QCOMPARE(Main::Param2Index, c.second);
        QCOMPARE(TextOf(w, "i_par1"), Line(c.first));
        QCOMPARE(TextOf(w, "i_par2"), Line(c.second));
        for (const auto &[label, index] : Labels(w)) {
            QCOMPARE(label->text(), Line(index));
            QString name = QString::fromLatin1(Device::ParameterNames[index]);
            if (index < 6) name += c.parallel ? "p" : "s";
            QVERIFY2(label->text().startsWith(name), qPrintable(label->text()));
        }
        QCOMPARE(VisiblePicture(w), QString::fromLatin1(c.picture));
    }

    // The model, the frequency and bias lines, then auto-ranging, range, mode and flags.
    void statusLine_data() {
        QTest::addColumn<Status>("c");
        QTest::newRow("auto-ranging") << Status{0x81, 3, 4, 2,
                                                "KT-44   F   1000.000Hz   Ub   0.000000mV   "
                                                "АВП ВКЛ.  Diap 1 kOm  Mode 3  Flags 129"};
        QTest::newRow("fixed range") << Status{0x80, 0, 6, 2,
                                               "KT-44   F   1000.000Hz   Ub   0.000000mV   "
                                               "АВП ВЫКЛ  Diap 10 Om  Mode 0  Flags 128"};
        QTest::newRow("no model row") << Status{0x81, 1, 7, 5,
                                                "   F   1000.000Hz   Ub   0.000000mV   "
                                                "АВП ВКЛ.  Diap 1 Om  Mode 1  Flags 129"};
        // A range byte past the list of eight leaves the box on its entry, never blank.
        QTest::newRow("range byte 8") << Status{0x81, 3, 8, 2,
                                                "KT-44   F   1000.000Hz   Ub   0.000000mV   "
                                                "АВП ВКЛ.  Diap 10 MOm  Mode 3  Flags 129"};
    }
    void statusLine() {
        QFETCH(Status, c);
        ScriptedMeter meter;
        meter.status = c.status;
        meter.mode = c.mode;
        meter.range = c.range;
        Fixture f;
        f.AddPeer(1, meter.responder());
        Main::Tb_tok &w = f.Start();
        Device::ModelIndex = c.modelIndex;
        w.tmrTimer();
        QCOMPARE(StatusText(w), QString::fromUtf8(c.text));
    }

    void synchronisationCopiesBias_data() {
        QTest::addColumn<Sync>("c");
        // b_bias_hard stands at 3 before the tick.
        QTest::newRow("0 keeps the position") << Sync{0, 0, 3, "0"};
        QTest::newRow("1000") << Sync{1000, 1000, 0, "1"};
        QTest::newRow("1600") << Sync{1600, 1600, 1, "1.6"};
        QTest::newRow("45000 limited") << Sync{45000, 40000, 10, "40"};
    }
    void synchronisationCopiesBias() {
        QFETCH(Sync, c);
        ScriptedMeter meter;
        meter.biasUnits = c.reported / 10;
        Fixture f;
        Sim::PtyHost &host = f.AddPeer(1, meter.responder());
        Main::Tb_tok &w = f.Start();
        Find<Framework::UpDown>(w, "b_bias_hard")->setPosition(3);
        Main::BiasStep = 3;
        Main::BiasSetting = 700;
        host.takeRequests();
        w.Session().Tick();

        QCOMPARE(Main::BiasSetting, c.bias);
        QCOMPARE(Find<Framework::UpDown>(w, "b_bias_hard")->position(), c.position);
        QCOMPARE(Main::BiasStep, c.position);
        QCOMPARE(TextOf(w, "i_bias"),
                 QString::fromLatin1(c.text).replace(".", QLocale::system().decimalPoint()));
        QCOMPARE(TestPeer::TakeRequests(host, 1), QList<QByteArray>{Request(0x48)}); // no bias sent
    }

    void synchronisationRunsOnce_data() {
        QTest::addColumn<bool>("fixedRange");
        QTest::addColumn<int>("range");
        QTest::addColumn<QString>("caption");
        // 100 nF at 5000 Hz is some 320 Ohm: auto-ranging picks "100 Om".
        QTest::newRow("auto-ranging") << false << 5 << "Выкл. АВП";
        QTest::newRow("fixed range") << true << 3 << "Вкл. АВП";
    }
    void synchronisationRunsOnce() {
        QFETCH(bool, fixedRange);
        QFETCH(int, range);
        QFETCH(QString, caption);
        Fixture f;
        Meter &meter = f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        if (fixedRange) Device::SetRange(3);
        Device::SetFrequency(5000);
        // The opposite of what the meter will report, so that the copy shows.
        Main::AutoRange = fixedRange;
        Find<QPushButton>(w, "b_avpon")->setText(fixedRange ? "Выкл. АВП" : "Вкл. АВП");
        meter.host->takeRequests();
        w.Session().Tick();

        QCOMPARE(Range(w)->currentIndex(), range);
        QCOMPARE(Main::AutoRange, !fixedRange);
        QCOMPARE(TextOf(w, "b_avpon"), caption);
        QCOMPARE(Main::CurrentFrequency, 5000);
        QCOMPARE(TextOf(w, "i_freq"), QStringLiteral("5000"));
        QVERIFY(w.tmr.isActive());
        // Setting the controls from the tick runs none of their commands.
        QCOMPARE(TestPeer::TakeRequests(*meter.host, 1), QList<QByteArray>{Request(0x48)});

        // Changed on the instrument later: a second valid frame copies none of it.
        Device::SetFrequency(3000);
        Device::SetBiasVoltage(1600);
        if (fixedRange) Device::ToggleAutoRange();
        w.Session().Tick();
        QCOMPARE(TextOf(w, "b_avpon"), caption);
        QCOMPARE(Main::AutoRange, !fixedRange);
        QCOMPARE(TextOf(w, "i_freq"), QStringLiteral("5000"));
        QCOMPARE(Main::CurrentFrequency, 5000); // 3000 Hz is outside the window
        QCOMPARE(Main::BiasSetting, 0);
        QCOMPARE(TextOf(w, "i_bias"), QStringLiteral("0"));
    }

    void failedReadKeepsReadouts_data() {
        QTest::addColumn<Sim::Fault>("fault");
        QTest::newRow("silence") << Sim::Fault::Silence;
        QTest::newRow("short frame") << Sim::Fault::ShortFrame;
    }
    void failedReadKeepsReadouts() {
        QFETCH(Sim::Fault, fault);
        Fixture f;
        Meter &meter = f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        w.Session().Tick();
        const QStringList readouts = Readouts(w);
        const QString frequencyField = TextOf(w, "i_freq");
        QCOMPARE(Range(w)->currentIndex(), 4);

        // A frame now would show an inductor; the failed ones must show nothing of it.
        meter.instrument->setComponent(Inductor);
        meter.host->setFault(fault, Sim::PtyHost::Persistent, 5);
        Range(w)->setCurrentIndex(0);
        Find<QStatusBar>(w, "status")->showMessage(QStringLiteral("stale"));
        w.Session().Tick();
        QCOMPARE(Readouts(w), readouts);
        QCOMPARE(VisiblePicture(w), QStringLiteral("i_cs"));
        QCOMPARE(Range(w)->currentIndex(), 4); // AutoRange: follows the last stored range
        // Rebuilt from what the link last stored (after a second of silence on a slow machine,
        // behind "Нет ответа N с").
        QVERIFY(StatusText(w).endsWith(w.StatusLine()));
        QVERIFY(StatusText(w).contains("  Diap 1 kOm  "));
        QVERIFY(w.tmr.isActive());

        Main::AutoRange = false;
        Range(w)->setCurrentIndex(0);
        w.Session().Tick();
        QCOMPARE(Range(w)->currentIndex(), 0);
        QVERIFY(StatusText(w).contains("АВП ВЫКЛ  Diap 10 MOm  "));

        // Answering again: the readouts resume, the controls are not copied again.
        meter.host->clearFault();
        w.Session().Tick();
        QCOMPARE(VisiblePicture(w), QStringLiteral("i_ls"));
        QCOMPARE(TextOf(w, "i_par1"), Line(1));
        QCOMPARE(TextOf(w, "i_freq"), frequencyField);
    }

    void followsInstrumentFrequency() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        QVERIFY(TickWithFrame(w)); // the one-off copy writes "1000" into the field
        // The window after start-up is 50000 .. 100000 Hz; the program stands at 60000 Hz.
        const int reported[] = {75000, 50000, 100000, 49999, 100001, 1000};
        const int adopted[] = {75000, 50000, 100000, 60000, 60000, 60000};
        for (int i = 0; i < 6; ++i) {
            Main::CurrentFrequency = 60000;
            Device::SetFrequency(reported[i]); // behind the window's back
            QVERIFY(TickWithFrame(w));
            QVERIFY2(Main::CurrentFrequency == adopted[i],
                     qPrintable(QString::number(reported[i])));
        }
        QCOMPARE(TextOf(w, "i_freq"),
                 QStringLiteral("1000")); // only the copy writes the field
    }

    void parameterBoxes() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        auto *first = Find<QComboBox>(w, "b_par1");
        auto *second = Find<QComboBox>(w, "b_par2");
        auto *automatic = Find<QCheckBox>(w, "b_apar");
        w.Session().Tick();
        QCOMPARE(TextOf(w, "i_par1"), Line(0)); // automatic: C and D
        QCOMPARE(TextOf(w, "i_par2"), Line(8));

        QVERIFY(Main::AutoParams && automatic->isChecked());
        TypeEntry(first, QStringLiteral("Z"));
        QVERIFY(!automatic->isChecked() && !Main::AutoParams);
        QCOMPARE(Main::Param1Index, 6);
        QCOMPARE(Main::Param2Index, 8);
        QCOMPARE(TextOf(w, "i_par1"), Line(0)); // until the next frame
        w.Session().Tick();
        QCOMPARE(TextOf(w, "i_par1"), Line(6));
        QCOMPARE(TextOf(w, "i_par2"), Line(8));
        TypeEntry(second, QStringLiteral("Fi"));
        QCOMPARE(Main::Param2Index, 10);
        w.Session().Tick();
        QCOMPARE(TextOf(w, "i_par2"), Line(10));

        // Ticking "Авто" again: the next frame chooses, the boxes keep the user's choice.
        automatic->click();
        QVERIFY(Main::AutoParams);
        w.Session().Tick();
        QCOMPARE(TextOf(w, "i_par1"), Line(0));
        QCOMPARE(TextOf(w, "i_par2"), Line(8));
        QCOMPARE(first->currentText(), QStringLiteral("Z"));
        QCOMPARE(second->currentText(), QStringLiteral("Fi"));
    }

    void parallelCircuitFromNextFrame() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        w.Session().Tick();
        Find<QRadioButton>(w, "b_paral")->click();
        QCOMPARE(Device::SeriesCircuit, std::uint8_t(0));
        QVERIFY(TextOf(w, "i_c").startsWith("Cs"));
        w.Session().Tick();
        for (const auto &[label, index] : Labels(w))
            if (index < 6) QVERIFY2(label->text().at(1) == 'p', qPrintable(label->text()));
        QCOMPARE(VisiblePicture(w), QStringLiteral("i_cp"));

        Find<QRadioButton>(w, "b_serial")->click();
        QCOMPARE(Device::SeriesCircuit, std::uint8_t(1));
        w.Session().Tick();
        QVERIFY(TextOf(w, "i_r").startsWith("Rs"));
        QCOMPARE(VisiblePicture(w), QStringLiteral("i_cs"));
    }
};

QTEST_MAIN(TestCycle)
#include "test_cycle.moc"
