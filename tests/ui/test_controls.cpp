// The test-condition controls and the key panel, driven through their widgets: the bytes each
// one puts on the wire, what the fields then show, and how the frequency handlers pause polling.
// The stepping rules themselves are table-tested in test_settings_logic.
#include "link/device.h"
#include "tests/common/peer.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QtTest>

using namespace TestWindow;
using Framework::UpDown;
using TestPeer::Request;
using Requests = QList<QByteArray>;

namespace {

constexpr std::uint8_t SetFrequency = 0x43;
constexpr std::uint8_t SetBias = 0x46;
const QString Invalid = QStringLiteral("Неверное значение");

// A window connected to a simulated meter on COM1, its timer held still so that only the
// handlers under test restart it.
struct Bench {
    Fixture f;
    Meter &meter;
    Main::Tb_tok &w;

    explicit Bench(int modelRow = 2) : meter(f.AddMeter(1, modelRow)), w(f.Start()) {
        w.tmr.stop();
        meter.host->takeRequests();
    }
    // The settings sent since the last call, once count of them have come in.
    Requests sent(int count) { return TestPeer::TakeRequests(*meter.host, count, true); }
    template <class T = UpDown> T *get(const char *name) { return Find<T>(w, name); }
    QLineEdit *field(const char *name) { return get<QLineEdit>(name); }
    void click(const char *name) { get<QAbstractButton>(name)->click(); }
};

void TypeFrequency(Bench &b, const QString &text) {
    QLineEdit *field = b.field("i_freq");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

QString Volts(const char *text) {
    return QString::fromLatin1(text).replace(".", QLocale::system().decimalPoint());
}

struct Step {
    const char *spinner;
    int from, low, high;
    bool up;
    int sent;
    bool started;
};
struct Typed {
    int low, high;
    const char *typed;
    int key, sent; // sent -1: nothing, with the message
    const char *field;
    bool started = true; // whether the cycle has started, and polling resumes
};
struct Fine {
    int bias, position;
    bool up;
    int result;
    bool sends;
    const char *text;
};
struct Coarse {
    int model, position, mv, units;
    const char *text;
};
struct Key {
    const char *name, *caption;
    int code;
};

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(Typed)
Q_DECLARE_METATYPE(Fine)
Q_DECLARE_METATYPE(Coarse)

class TestControls : public QObject {
    Q_OBJECT

private slots:
    // The increment steps from the program's frequency; the list from its own position. Each
    // pauses polling and restarts it only once the cycle has started.
    void frequencySpinners_data() {
        QTest::addColumn<Step>("c"); // from: the increment's frequency or the list's position
        QTest::newRow("increment, 1000 up")
            << Step{"b_freq_incr", 1000, 25, 1000000, true, 1100, 1};
        QTest::newRow("increment, start-up window, 50000 down")
            << Step{"b_freq_incr", 50000, 50000, 100000, false, 50000, 0};
        QTest::newRow("list, 7 to 8") << Step{"b_freq_step", 7, 25, 10000000, true, 3000, 0};
        QTest::newRow("list, 7 to 8, start-up window")
            << Step{"b_freq_step", 7, 50000, 100000, true, 50000, 1};
        QTest::newRow("list, 60 to 61, bounded")
            << Step{"b_freq_step", 60, 25, 10000000, true, 10000000, 1};
    }
    void frequencySpinners() {
        QFETCH(Step, c);
        Bench b;
        UpDown *spinner = b.get(c.spinner);
        const bool list = QLatin1String(c.spinner) == QLatin1String("b_freq_step");
        Main::CurrentFrequency = list ? 70000 : c.from;
        if (list) spinner->setPosition(c.from);
        Main::FrequencyLow = c.low;
        Main::FrequencyHigh = c.high;
        Main::CycleStarted = c.started;
        c.started ? b.w.tmr.stop() : b.w.tmr.start(); // so that the handler's own restore shows
        c.up ? spinner->stepUp() : spinner->stepDown();
        QCOMPARE(b.sent(1), Requests{Request(SetFrequency, c.sent, 4)});
        QCOMPARE(Main::CurrentFrequency, c.sent);
        QCOMPARE(b.field("i_freq")->text(), QString::number(c.sent));
        QCOMPARE(b.w.tmr.isActive(), c.started);
        if (!list) QCOMPARE(spinner->position(), 50);
    }

    void typedFrequency_data() {
        QTest::addColumn<Typed>("c");
        const int ret = Qt::Key_Return;
        QTest::newRow("Return applies") << Typed{25, 10000000, "2000", ret, 2000, "2000"};
        QTest::newRow("keypad Enter") << Typed{25, 10000000, "3000", Qt::Key_Enter, 3000, "3000"};
        // The field shows the frequency sent, not the one typed.
        QTest::newRow("above the window") << Typed{50000, 100000, "200000", ret, 100000, "100000"};
        QTest::newRow("below the window") << Typed{50000, 100000, "1000", ret, 50000, "50000"};
        QTest::newRow("the top itself") << Typed{50000, 100000, "100000", ret, 100000, "100000"};
        QTest::newRow("cycle not started") << Typed{25, 10000000, "4000", ret, 4000, "4000", false};
        QTest::newRow("letters") << Typed{25, 10000000, "12a4", ret, -1, "70000"};
        QTest::newRow("empty") << Typed{25, 10000000, "", ret, -1, "70000"};
        QTest::newRow("beyond 32 bits") << Typed{25, 10000000, "3000000000", ret, -1, "70000"};
    }
    void typedFrequency() {
        QFETCH(Typed, c);
        Bench b;
        Main::FrequencyLow = c.low;
        Main::FrequencyHigh = c.high;
        Main::CurrentFrequency = 70000;
        Main::CycleStarted = c.started;
        b.field("i_freq")->setText(QStringLiteral("70000"));
        b.w.tmr.start();

        TypeFrequency(b, QString::fromLatin1(c.typed));
        QVERIFY(b.sent(0).isEmpty()); // keys other than Enter only edit
        QVERIFY(!b.w.tmr.isActive());
        QTest::keyClick(b.field("i_freq"), Qt::Key(c.key));
        if (c.sent < 0) {
            QCOMPARE(b.f.messages, QStringList{Invalid});
            QVERIFY(b.sent(0).isEmpty());
            QCOMPARE(Main::CurrentFrequency, 70000);
        } else {
            QVERIFY(b.f.messages.isEmpty());
            QCOMPARE(b.sent(1), Requests{Request(SetFrequency, c.sent, 4)});
            QCOMPARE(Main::CurrentFrequency, c.sent);
        }
        QCOMPARE(b.field("i_freq")->text(), QString::fromLatin1(c.field));
        QCOMPARE(b.w.tmr.isActive(), c.started);
    }

    // Escape or moving to another control drops the typing; the field's context menu or another
    // window only interrupts it, and Enter still applies it afterwards.
    void typedFrequencyLeftUnapplied_data() {
        QTest::addColumn<int>("reason"); // -1: Escape, else the focus-out reason
        QTest::addColumn<bool>("kept");
        QTest::newRow("Escape") << -1 << false;
        QTest::newRow("Tab to another control") << int(Qt::TabFocusReason) << false;
        QTest::newRow("click on another control") << int(Qt::MouseFocusReason) << false;
        QTest::newRow("context menu") << int(Qt::PopupFocusReason) << true;
        QTest::newRow("another window") << int(Qt::ActiveWindowFocusReason) << true;
    }
    void typedFrequencyLeftUnapplied() {
        QFETCH(int, reason);
        QFETCH(bool, kept);
        Bench b;
        Main::CurrentFrequency = 70000;
        QLineEdit *field = b.field("i_freq");
        field->setText(QStringLiteral("70000"));
        TypeFrequency(b, QStringLiteral("60000"));
        if (reason < 0) {
            QTest::keyClick(field, Qt::Key_Escape);
        } else {
            QFocusEvent leave(QEvent::FocusOut, Qt::FocusReason(reason));
            QCoreApplication::sendEvent(field, &leave);
        }
        QCOMPARE(field->text(), kept ? QStringLiteral("60000") : QStringLiteral("70000"));
        QCOMPARE(Main::CurrentFrequency, 70000);
        QVERIFY(b.sent(0).isEmpty());
        QVERIFY(b.f.messages.isEmpty());
        QCOMPARE(b.w.tmr.isActive(), !kept);
        if (!kept) return;
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(b.sent(1), Requests{Request(SetFrequency, 60000, 4)});
        QCOMPARE(Main::CurrentFrequency, 60000);
        QVERIFY(b.w.tmr.isActive());
    }

    void fineBiasSequence() {
        Bench b;
        // Eleven clicks up from 0, then two down; the field is checked over the last five.
        const int mv[] = {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 2000, 1000, 900};
        const char *texts[] = {"0.9", "1", "2", "1", "0.9"};
        for (int i = 0; i < 13; ++i) {
            i < 11 ? b.get("b_bias_soft")->stepUp() : b.get("b_bias_soft")->stepDown();
            QCOMPARE(b.sent(1), Requests{Request(SetBias, mv[i] / 10, 2)});
            QCOMPARE(Main::BiasSetting, mv[i]);
            if (i >= 8) QCOMPARE(b.field("i_bias")->text(), Volts(texts[i - 8]));
        }
        QCOMPARE(b.meter.instrument->state().biasMillivolts, 900);
        QVERIFY(!b.w.tmr.isActive()); // the bias leaves polling alone
    }

    void fineBiasBounds_data() {
        QTest::addColumn<Fine>("c"); // "-": the field is left alone
        QTest::newRow("100 down to 0") << Fine{100, 5, false, 0, true, "0"};
        QTest::newRow("0 down") << Fine{0, 5, false, 0, false, "-"};
        QTest::newRow("40000 up") << Fine{40000, 5, true, 40000, false, "-"};
        QTest::newRow("arrow at position 0") << Fine{500, 0, false, 500, false, "-"};
    }
    void fineBiasBounds() {
        QFETCH(Fine, c);
        Bench b;
        Main::BiasSetting = c.bias;
        b.get("b_bias_soft")->setPosition(c.position);
        b.field("i_bias")->setText(QStringLiteral("-"));
        c.up ? b.get("b_bias_soft")->stepUp() : b.get("b_bias_soft")->stepDown();
        QCOMPARE(Main::BiasSetting, c.result);
        QCOMPARE(b.sent(c.sends),
                 c.sends ? Requests{Request(SetBias, c.result / 10, 2)} : Requests{});
        QCOMPARE(b.field("i_bias")->text(), QString::fromLatin1(c.text));
    }

    void coarseBias_data() {
        QTest::addColumn<Coarse>("c");
        QTest::newRow("KT-44, 1") << Coarse{2, 1, 1600, 160, "1.6"};
        QTest::newRow("KT-41, 10") << Coarse{0, 10, 40000, 400, "40"};
        QTest::newRow("back to 0") << Coarse{2, 0, 0, 0, "0"};
    }
    void coarseBias() {
        QFETCH(Coarse, c);
        Bench b(c.model);
        UpDown *coarse = b.get("b_bias_hard");
        coarse->setPosition(c.position == 0 ? 1 : c.position - 1);
        c.position == 0 ? coarse->stepDown() : coarse->stepUp();
        QCOMPARE(b.sent(1), Requests{Request(SetBias, c.units, 2)});
        QCOMPARE(Main::BiasSetting, c.mv);
        QCOMPARE(Main::BiasStep, c.position);
        QCOMPARE(b.field("i_bias")->text(), Volts(c.text));
        QCOMPARE(b.meter.instrument->state().biasMillivolts, c.mv);
    }

    void autoRangeButtonTwice() {
        Bench b;
        auto *button = b.get<QPushButton>("b_avpon");
        b.get<QComboBox>("i_diap")->setCurrentIndex(5);
        button->click();
        QCOMPARE(b.sent(1), Requests{Request(0x42, 5, 1)});
        QCOMPARE(button->text(), QStringLiteral("Вкл. АВП"));
        QVERIFY(!Main::AutoRange);
        QVERIFY(!b.meter.instrument->state().autoRange);
        QCOMPARE(b.meter.instrument->state().range, 5);

        button->click();
        QCOMPARE(b.sent(1), Requests{Request(0x41)});
        QCOMPARE(button->text(), QStringLiteral("Выкл. АВП"));
        QVERIFY(Main::AutoRange);
        QVERIFY(b.meter.instrument->state().autoRange);
        QVERIFY(!b.w.tmr.isActive());
    }

    // The range box lists the link's range names, in the order of the range byte: a recording
    // names the range from the link, the window shows it from its form.
    void rangeNamesOfTheForm() {
        Bench b;
        auto *range = b.get<QComboBox>("i_diap");
        QCOMPARE(range->count(), Device::RangeCount);
        for (int index = 0; index < Device::RangeCount; ++index)
            QCOMPARE(range->itemText(index), Device::RangeName(index));
        QVERIFY(Device::RangeName(Device::RangeCount).isEmpty());
        QVERIFY(Device::RangeName(-1).isEmpty());
    }

    // Entering the range box ends following the meter's range; the window merely coming back
    // to the front with the box focused does not.
    void rangeChoice() {
        Bench b;
        auto *range = b.get<QComboBox>("i_diap");
        auto *button = b.get<QPushButton>("b_avpon");
        b.w.show();
        QVERIFY(QTest::qWaitForWindowActive(&b.w));
        range->lineEdit()->setFocus(Qt::MouseFocusReason);
        QVERIFY(!Main::AutoRange);
        QCOMPARE(button->text(), QStringLiteral("Вкл. АВП"));
        QVERIFY(b.sent(0).isEmpty());

        button->click(); // auto-ranging on again; the focus stays in the box
        QCOMPARE(b.sent(1), Requests{Request(0x41)});
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        b.w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&b.w));
        QVERIFY(range->lineEdit()->hasFocus());
        QVERIFY(Main::AutoRange);
        QCOMPARE(button->text(), QStringLiteral("Выкл. АВП"));

        TypeEntry(range, QStringLiteral("10 kOm"));
        QCOMPARE(b.sent(1), Requests{Request(0x42, 3, 1)});
        QCOMPARE(b.meter.instrument->state().range, 3);
        QVERIFY(b.w.tmr.isActive());
    }

    void rangeChoiceWithoutInstrumentStartsPolling() {
        Fixture f;
        Main::Tb_tok &w = f.Start();
        QVERIFY(!Main::CycleStarted);
        QVERIFY(!w.tmr.isActive());
        TypeEntry(Find<QComboBox>(w, "i_diap"), QStringLiteral("100 Om"));
        QCOMPARE(Find<QComboBox>(w, "i_diap")->currentIndex(), 5);
        QVERIFY(!Main::AutoRange);
        QCOMPARE(TextOf(w, "b_avpon"), QStringLiteral("Вкл. АВП"));
        QVERIFY(w.tmr.isActive());
    }

    void level() {
        Bench b;
        auto *level = b.get<QComboBox>("b_level");
        const struct {
            int index;
            int mv;
        } entries[] = {{1, 500}, {2, 100}, {3, 50}, {4, 10}, {5, 5}, {0, 1000}};
        for (const auto &entry : entries) {
            TypeEntry(level, level->itemText(entry.index));
            QCOMPARE(level->currentIndex(), entry.index);
            QCOMPARE(b.sent(1), Requests{Request(0x44, entry.mv, 2)});
            QCOMPARE(b.meter.instrument->state().levelMillivolts, entry.mv);
        }
    }

    void speedAndBiasSource() {
        Bench b;
        b.click("RadioButton3"); // already selected
        b.click("RadioButton1");
        QVERIFY(b.sent(0).isEmpty());

        b.click("RadioButton4");
        QCOMPARE(b.sent(1), Requests{Request(0x21)});
        QVERIFY(!b.meter.instrument->state().speedNormal);
        b.click("RadioButton3");
        QCOMPARE(b.sent(1), Requests{Request(0x22)});
        b.click("RadioButton2");
        QCOMPARE(b.sent(1), Requests{Request(0x23)});
        QVERIFY(b.meter.instrument->state().biasExternal);
        b.click("RadioButton1");
        QCOMPARE(b.sent(1), Requests{Request(0x24)});
    }

    void initAndCurrentMode_data() {
        QTest::addColumn<int>("model");
        for (int row = 0; row < 5; ++row)
            QTest::addRow("row %d", row) << row;
    }
    void initAndCurrentMode() {
        QFETCH(int, model);
        Bench b(model);
        QCOMPARE(Device::ModelIndex, model);
        b.click("Button1");
        b.click("b_init"); // the only request on rows other than 0
        const Requests expected =
            model == 0 ? Requests{Request(0x45), Request(0x47)} : Requests{Request(0x47)};
        QCOMPARE(b.sent(int(expected.size())), expected);
    }

    void keys() {
        const Key keys[] = {
            {"BuF1", "F1", 17},   {"BuF2", "F2", 18},   {"BuF3", "F3", 19},   {"BuF4", "F4", 20},
            {"BuLcr", "1", 5},    {"BuApar", "4", 6},   {"BuLeft", "7", 7},   {"BuComp", "", 8},
            {"BuMode", "2", 9},   {"BuTop", "5", 10},   {"BuMenu", "8", 11},  {"BuBot", "0", 12},
            {"BuShzam", "3", 13}, {"BuDigit", "6", 14}, {"BuRight", "9", 15}, {"BuEnter", "", 16}};
        Bench b;
        for (const Key &c : keys) {
            auto *key = b.get<QPushButton>(c.name);
            QCOMPARE(key->text(), QString::fromLatin1(c.caption));
            key->click();
            QVERIFY2(b.sent(1) == Requests{Request(std::uint8_t(c.code))}, c.name);
            QCOMPARE(b.meter.instrument->state().lastKey, c.code);
        }
    }

    void keyPanelFollowsCheckBox() {
        Bench b;
        QWidget *panel = b.get<QWidget>("PaKey");
        QVERIFY(panel->isHidden());
        b.click("ChBoKey");
        QVERIFY(!panel->isHidden());
        b.click("ChBoKey");
        QVERIFY(panel->isHidden());
        QVERIFY(b.sent(0).isEmpty());
    }

    void typedTextMatchingNoEntry() {
        Bench b;
        Meter &second = b.f.AddMeter(3, 3);
        Device::MapPort(3, second.host->slavePath());
        auto *port = b.get<QComboBox>("i_com");
        const struct {
            QComboBox *box;
            const char *typed;
        } boxes[] = {{b.get<QComboBox>("i_diap"), "2 kOm"},
                     {b.get<QComboBox>("b_level"), "7 V"},
                     {b.get<QComboBox>("b_par1"), "W"},
                     {port, "COM99"}};
        for (const auto &entry : boxes) {
            const int index = entry.box->currentIndex();
            TypeEntry(entry.box, QString::fromLatin1(entry.typed));
            QCOMPARE(entry.box->currentIndex(), index);
            QCOMPARE(entry.box->currentText(), entry.box->itemText(index));
        }
        QVERIFY(Main::AutoRange && Main::AutoParams);
        QCOMPARE(Device::PortNumber, 1);
        QVERIFY(b.sent(0).isEmpty());
        QVERIFY(second.host->takeRequests().isEmpty());

        TypeEntry(port, QStringLiteral("COM3"));
        QCOMPARE(port->currentIndex(), 3);
        QCOMPARE(Device::PortNumber, 3);
        QCOMPARE(TestPeer::TakeRequests(*second.host, 1), Requests{Request(0x40)});
    }

    // Every named control a user presses, ticks, picks or types into says what it does (the
    // calibration panel's averaging field clears its own while it marks a count).
    void everyControlHasATooltip() {
        Bench b;
        QStringList without;
        for (QWidget *control : b.w.findChildren<QWidget *>()) {
            const bool input =
                qobject_cast<QAbstractButton *>(control) || qobject_cast<QComboBox *>(control) ||
                qobject_cast<QLineEdit *>(control) || qobject_cast<UpDown *>(control);
            // The arrows of a spinner and of a tab bar are parts of a control that has its own.
            const bool part = qobject_cast<UpDown *>(control->parentWidget()) ||
                              qobject_cast<QTabBar *>(control->parentWidget());
            const QString name = control->objectName();
            if (!input || part || name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
                name == QLatin1String("EdAverD"))
                continue;
            if (control->toolTip().isEmpty()) without << name;
        }
        QVERIFY2(without.isEmpty(), qPrintable(without.join(QStringLiteral(", "))));
    }
};

QTEST_MAIN(TestControls)
#include "test_controls.moc"
