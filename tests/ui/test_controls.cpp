// The test-condition controls and the key panel, driven through their widgets: the bytes each
// one puts on the wire, what the fields then show, and how the frequency handlers pause polling.
#include "link/device.h"
#include "tests/ui/live_meter_helpers.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"

#include <QtTest>

using namespace TestWindow;
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
    Requests sent() { return SettingRequests(*meter.host); }
};

void TypeFrequency(Main::Tb_tok &w, const QString &text) {
    Find<QLineEdit>(w, "i_freq")->selectAll();
    QTest::keyClick(Find<QLineEdit>(w, "i_freq"), Qt::Key_Backspace);
    QTest::keyClicks(Find<QLineEdit>(w, "i_freq"), text);
}

QString Volts(const char *text) {
    return QString::fromLatin1(text).replace(".", QLocale::system().decimalPoint());
}

struct Step {
    int from, low, high;
    bool up;
    int sent;
};
struct Typed {
    int low, high;
    const char *typed;
    int key, sent; // sent -1: nothing, with the message
    const char *field;
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
Q_DECLARE_METATYPE(Key)

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void frequencyIncrement_data() {
        QTest::addColumn<Step>("c");
        QTest::newRow("1000 up") << Step{1000, 25, 1000000, true, 1100};
        QTest::newRow("1000 down") << Step{1000, 25, 1000000, false, 990};
        QTest::newRow("25 down wraps to the top") << Step{25, 25, 1000000, false, 1000000};
        QTest::newRow("top up wraps to the bottom") << Step{1000000, 25, 1000000, true, 25};
        QTest::newRow("start-up window, 50000 down") << Step{50000, 50000, 100000, false, 50000};
    }
    void frequencyIncrement() {
        QFETCH(Step, c);
        Bench b;
        Main::CurrentFrequency = c.from;
        Main::FrequencyLow = c.low;
        Main::FrequencyHigh = c.high;
        c.up ? Find<Framework::UpDown>(b.w, "b_freq_incr")->stepUp()
             : Find<Framework::UpDown>(b.w, "b_freq_incr")->stepDown();
        QCOMPARE(b.sent(), Requests{Request(SetFrequency, c.sent, 4)});
        QCOMPARE(Main::CurrentFrequency, c.sent);
        QCOMPARE(Find<QLineEdit>(b.w, "i_freq")->text(), QString::number(c.sent));
        QCOMPARE(Find<Framework::UpDown>(b.w, "b_freq_incr")->position(), 50);
    }

    void frequencyList_data() {
        QTest::addColumn<Step>("c"); // from: the position before the click
        QTest::newRow("7 to 8") << Step{7, 25, 10000000, true, 3000};
        QTest::newRow("8 to 7") << Step{8, 25, 10000000, false, 1000};
        QTest::newRow("1 to 0") << Step{1, 25, 10000000, false, 25};
        QTest::newRow("7 to 8, start-up window") << Step{7, 50000, 100000, true, 50000};
        QTest::newRow("22 to 23, past the list") << Step{22, 50000, 30000000, true, 30000000};
        QTest::newRow("60 to 61, bounded") << Step{60, 25, 10000000, true, 10000000};
    }
    void frequencyList() {
        QFETCH(Step, c);
        Bench b;
        Main::CurrentFrequency = 70000; // the list does not step from it
        Main::FrequencyLow = c.low;
        Main::FrequencyHigh = c.high;
        Find<Framework::UpDown>(b.w, "b_freq_step")->setPosition(c.from);
        c.up ? Find<Framework::UpDown>(b.w, "b_freq_step")->stepUp()
             : Find<Framework::UpDown>(b.w, "b_freq_step")->stepDown();
        QCOMPARE(b.sent(), Requests{Request(SetFrequency, c.sent, 4)});
        QCOMPARE(Main::CurrentFrequency, c.sent);
        QCOMPARE(Find<QLineEdit>(b.w, "i_freq")->text(), QString::number(c.sent));
    }

    void frequencyHandlersPausePolling_data() {
        QTest::addColumn<int>("handler");
        QTest::addColumn<bool>("cycleStarted");
        for (bool started : {true, false}) {
            QTest::addRow("typed, started %d", started) << 0 << started;
            QTest::addRow("list, started %d", started) << 1 << started;
            QTest::addRow("increment, started %d", started) << 2 << started;
        }
    }
    void frequencyHandlersPausePolling() {
        QFETCH(int, handler);
        QFETCH(bool, cycleStarted);
        Bench b;
        Main::CycleStarted = cycleStarted;
        // Polling in the opposite state, so that the handler's own restore shows.
        cycleStarted ? b.w.tmr.stop() : b.w.tmr.start();
        if (handler == 0) {
            TypeFrequency(b.w, QStringLiteral("70000"));
            QVERIFY(!b.w.tmr.isActive()); // typing pauses polling
            QTest::keyClick(Find<QLineEdit>(b.w, "i_freq"), Qt::Key_Return);
        } else if (handler == 1) {
            Find<Framework::UpDown>(b.w, "b_freq_step")->stepUp();
        } else {
            Find<Framework::UpDown>(b.w, "b_freq_incr")->stepUp();
        }
        QCOMPARE(b.sent().size(), 1);
        QCOMPARE(b.w.tmr.isActive(), cycleStarted);
    }

    void typedFrequency_data() {
        QTest::addColumn<Typed>("c");
        const int ret = Qt::Key_Return;
        QTest::newRow("Return applies") << Typed{25, 10000000, "2000", ret, 2000, "2000"};
        QTest::newRow("keypad Enter") << Typed{25, 10000000, "3000", Qt::Key_Enter, 3000, "3000"};
        QTest::newRow("above the window") << Typed{50000, 100000, "200000", ret, 100000, "200000"};
        QTest::newRow("below the window") << Typed{50000, 100000, "1000", ret, 50000, "1000"};
        QTest::newRow("the top itself") << Typed{50000, 100000, "100000", ret, 100000, "100000"};
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
        Find<QLineEdit>(b.w, "i_freq")->setText(QStringLiteral("70000"));
        b.w.tmr.start();

        TypeFrequency(b.w, QString::fromLatin1(c.typed));
        QVERIFY(b.sent().isEmpty()); // keys other than Enter only edit
        QVERIFY(!b.w.tmr.isActive());
        QTest::keyClick(Find<QLineEdit>(b.w, "i_freq"), Qt::Key(c.key));
        if (c.sent < 0) {
            QCOMPARE(b.f.messages, QStringList{Invalid});
            QVERIFY(b.sent().isEmpty());
            QCOMPARE(Main::CurrentFrequency, 70000);
        } else {
            QVERIFY(b.f.messages.isEmpty());
            QCOMPARE(b.sent(), Requests{Request(SetFrequency, c.sent, 4)});
            QCOMPARE(Main::CurrentFrequency, c.sent);
        }
        QCOMPARE(Find<QLineEdit>(b.w, "i_freq")->text(), QString::fromLatin1(c.field));
        QVERIFY(b.w.tmr.isActive());
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
        QLineEdit *field = Find<QLineEdit>(b.w, "i_freq");
        Main::CurrentFrequency = 70000;
        field->setText(QStringLiteral("70000"));
        TypeFrequency(b.w, QStringLiteral("60000"));
        if (reason < 0) {
            QTest::keyClick(field, Qt::Key_Escape);
        } else {
            QFocusEvent leave(QEvent::FocusOut, Qt::FocusReason(reason));
            QCoreApplication::sendEvent(field, &leave);
        }
        QVERIFY(b.sent().isEmpty());
        QVERIFY(b.f.messages.isEmpty());
        QCOMPARE(Main::CurrentFrequency, 70000);
        QCOMPARE(field->text(), kept ? QStringLiteral("60000") : QStringLiteral("70000"));
        QCOMPARE(b.w.tmr.isActive(), !kept);
        if (!kept) return;
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(b.sent(), Requests{Request(SetFrequency, 60000, 4)});
        QCOMPARE(Main::CurrentFrequency, 60000);
        QVERIFY(b.w.tmr.isActive());
    }

    void fineBiasSequence_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("unit"); // mV per unit on the wire
        QTest::newRow("KT-41") << 0 << 100;
        QTest::newRow("KT-44") << 2 << 10;
    }
    void fineBiasSequence() {
        QFETCH(int, model);
        QFETCH(int, unit);
        Bench b(model);
        // Eleven clicks up from 0, then two down; the field is checked over the last five.
        const int mv[] = {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 2000, 1000, 900};
        const char *texts[] = {"0.9", "1", "2", "1", "0.9"};
        for (int i = 0; i < 13; ++i) {
            i < 11 ? Find<Framework::UpDown>(b.w, "b_bias_soft")->stepUp()
                   : Find<Framework::UpDown>(b.w, "b_bias_soft")->stepDown();
            QCOMPARE(b.sent(), Requests{Request(SetBias, mv[i] / unit, 2)});
            QCOMPARE(Main::BiasSetting, mv[i]);
            if (i >= 8) QCOMPARE(Find<QLineEdit>(b.w, "i_bias")->text(), Volts(texts[i - 8]));
        }
        QCOMPARE(b.meter.instrument->state().biasMillivolts, 900);
        QVERIFY(!b.w.tmr.isActive()); // the bias leaves polling alone
    }

    void fineBiasBounds_data() {
        QTest::addColumn<Fine>("c"); // "-": the field is left alone
        QTest::newRow("100 down to 0") << Fine{100, 5, false, 0, true, "0"};
        QTest::newRow("0 down") << Fine{0, 5, false, 0, false, "-"};
        QTest::newRow("10000 up") << Fine{10000, 5, true, 11000, true, "11"};
        QTest::newRow("10000 down") << Fine{10000, 5, false, 9000, true, "9"};
        QTest::newRow("16000 down") << Fine{16000, 5, false, 15000, true, "15"};
        QTest::newRow("39000 up") << Fine{39000, 5, true, 40000, true, "40"};
        QTest::newRow("40000 up") << Fine{40000, 5, true, 40000, false, "-"};
        QTest::newRow("40000 down") << Fine{40000, 5, false, 39000, true, "39"};
        QTest::newRow("arrow at position 0") << Fine{500, 0, false, 500, false, "-"};
    }
    void fineBiasBounds() {
        QFETCH(Fine, c);
        Bench b;
        Main::BiasSetting = c.bias;
        Find<Framework::UpDown>(b.w, "b_bias_soft")->setPosition(c.position);
        Find<QLineEdit>(b.w, "i_bias")->setText(QStringLiteral("-"));
        c.up ? Find<Framework::UpDown>(b.w, "b_bias_soft")->stepUp()
             : Find<Framework::UpDown>(b.w, "b_bias_soft")->stepDown();
        QCOMPARE(Main::BiasSetting, c.result);
        QCOMPARE(b.sent(), c.sends ? Requests{Request(SetBias, c.result / 10, 2)} : Requests{});
        QCOMPARE(Find<QLineEdit>(b.w, "i_bias")->text(), QString::fromLatin1(c.text));
    }

    void coarseBias_data() {
        QTest::addColumn<Coarse>("c");
        QTest::newRow("KT-44, 1") << Coarse{2, 1, 1600, 160, "1.6"};
        QTest::newRow("KT-41, 1") << Coarse{0, 1, 1600, 16, "1.6"};
        QTest::newRow("KT-44, 10") << Coarse{2, 10, 40000, 4000, "40"};
        QTest::newRow("KT-41, 10") << Coarse{0, 10, 40000, 400, "40"};
        QTest::newRow("back to 0") << Coarse{2, 0, 0, 0, "0"};
    }
    void coarseBias() {
        QFETCH(Coarse, c);
        Bench b(c.model);
        Find<Framework::UpDown>(b.w, "b_bias_hard")
            ->setPosition(c.position == 0 ? 1 : c.position - 1);
        c.position == 0 ? Find<Framework::UpDown>(b.w, "b_bias_hard")->stepDown()
                        : Find<Framework::UpDown>(b.w, "b_bias_hard")->stepUp();
        QCOMPARE(b.sent(), Requests{Request(SetBias, c.units, 2)});
        QCOMPARE(Main::BiasSetting, c.mv);
        QCOMPARE(Main::BiasStep, c.position);
        QCOMPARE(Find<QLineEdit>(b.w, "i_bias")->text(), Volts(c.text));
        QCOMPARE(b.meter.instrument->state().biasMillivolts, c.mv);
    }

    void autoRangeButtonTwice() {
        Bench b;
        Find<QComboBox>(b.w, "i_diap")->setCurrentIndex(5);
        Find<QPushButton>(b.w, "b_avpon")->click();
        QCOMPARE(b.sent(), Requests{Request(0x42, 5, 1)});
        QCOMPARE(Find<QPushButton>(b.w, "b_avpon")->text(), QStringLiteral("Вкл. АВП"));
        QVERIFY(!Main::AutoRange);
        QVERIFY(!b.meter.instrument->state().autoRange);
        QCOMPARE(b.meter.instrument->state().range, 5);

        Find<QPushButton>(b.w, "b_avpon")->click();
        QCOMPARE(b.sent(), Requests{Request(0x41)});
        QCOMPARE(Find<QPushButton>(b.w, "b_avpon")->text(), QStringLiteral("Выкл. АВП"));
        QVERIFY(Main::AutoRange);
        QVERIFY(b.meter.instrument->state().autoRange);
        QVERIFY(!b.w.tmr.isActive());
    }

    void rangeChoice() {
        Bench b;
        QFocusEvent enter(QEvent::FocusIn, Qt::MouseFocusReason);
        QCoreApplication::sendEvent(Find<QComboBox>(b.w, "i_diap")->lineEdit(), &enter);
        QVERIFY(!Main::AutoRange); // focusing the list ends following the meter's range
        QCOMPARE(Find<QPushButton>(b.w, "b_avpon")->text(), QStringLiteral("Вкл. АВП"));
        QVERIFY(b.sent().isEmpty());

        TypeEntry(Find<QComboBox>(b.w, "i_diap"), QStringLiteral("10 kOm"));
        QCOMPARE(b.sent(), Requests{Request(0x42, 3, 1)});
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
        QCOMPARE(Find<QPushButton>(w, "b_avpon")->text(), QStringLiteral("Вкл. АВП"));
        QVERIFY(w.tmr.isActive());
    }

    void level() {
        Bench b;
        const struct {
            int index;
            int mv;
        } entries[] = {{1, 500}, {2, 100}, {3, 50}, {4, 10}, {5, 5}, {0, 1000}};
        for (const auto &entry : entries) {
            TypeEntry(Find<QComboBox>(b.w, "b_level"),
                      Find<QComboBox>(b.w, "b_level")->itemText(entry.index));
            QCOMPARE(Find<QComboBox>(b.w, "b_level")->currentIndex(), entry.index);
            QCOMPARE(b.sent(), Requests{Request(0x44, entry.mv, 2)});
            QCOMPARE(b.meter.instrument->state().levelMillivolts, entry.mv);
        }
    }

    void speedAndBiasSource() {
        Bench b;
        Find<QRadioButton>(b.w, "RadioButton3")->click(); // already selected
        Find<QRadioButton>(b.w, "RadioButton1")->click();
        QVERIFY(b.sent().isEmpty());

        Find<QRadioButton>(b.w, "RadioButton4")->click();
        QCOMPARE(b.sent(), Requests{Request(0x21)});
        QVERIFY(!b.meter.instrument->state().speedNormal);
        Find<QRadioButton>(b.w, "RadioButton3")->click();
        QCOMPARE(b.sent(), Requests{Request(0x22)});
        Find<QRadioButton>(b.w, "RadioButton2")->click();
        QCOMPARE(b.sent(), Requests{Request(0x23)});
        QVERIFY(b.meter.instrument->state().biasExternal);
        Find<QRadioButton>(b.w, "RadioButton1")->click();
        QCOMPARE(b.sent(), Requests{Request(0x24)});
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
        Find<QPushButton>(b.w, "Button1")->click();
        QCOMPARE(b.sent(), model == 0 ? Requests{Request(0x45)} : Requests{});
        Find<QPushButton>(b.w, "b_init")->click();
        QCOMPARE(b.sent(), Requests{Request(0x47)});
    }

    void keys_data() {
        QTest::addColumn<Key>("c");
        const Key keys[] = {
            {"BuF1", "F1", 17},   {"BuF2", "F2", 18},   {"BuF3", "F3", 19},   {"BuF4", "F4", 20},
            {"BuLcr", "1", 5},    {"BuApar", "4", 6},   {"BuLeft", "7", 7},   {"BuComp", "", 8},
            {"BuMode", "2", 9},   {"BuTop", "5", 10},   {"BuMenu", "8", 11},  {"BuBot", "0", 12},
            {"BuShzam", "3", 13}, {"BuDigit", "6", 14}, {"BuRight", "9", 15}, {"BuEnter", "", 16}};
        for (const Key &key : keys)
            QTest::newRow(key.name) << key;
    }
    void keys() {
        QFETCH(Key, c);
        Bench b;
        auto *key = b.w.findChild<QPushButton *>(QString::fromLatin1(c.name));
        QVERIFY(key);
        QCOMPARE(key->text(), QString::fromLatin1(c.caption));
        key->click();
        QCOMPARE(b.sent(), Requests{Request(std::uint8_t(c.code))});
        QCOMPARE(b.meter.instrument->state().lastKey, c.code);
    }

    void keyPanelFollowsCheckBox() {
        Bench b;
        QVERIFY(Find<QFrame>(b.w, "PaKey")->isHidden());
        Find<QCheckBox>(b.w, "ChBoKey")->click();
        QVERIFY(!Find<QFrame>(b.w, "PaKey")->isHidden());
        Find<QCheckBox>(b.w, "ChBoKey")->click();
        QVERIFY(Find<QFrame>(b.w, "PaKey")->isHidden());
        QVERIFY(b.sent().isEmpty());
    }

    void typedTextMatchingNoEntry() {
        Bench b;
        Meter &second = b.f.AddMeter(3, 3);
        Device::MapPort(3, second.host->slavePath());
        const struct {
            QComboBox *box;
            const char *typed;
        } boxes[] = {{Find<QComboBox>(b.w, "i_diap"), "2 kOm"},
                     {Find<QComboBox>(b.w, "b_level"), "7 V"},
                     {Find<QComboBox>(b.w, "i_com"), "COM99"}};
        for (const auto &entry : boxes) {
            const int index = entry.box->currentIndex();
            TypeEntry(entry.box, QString::fromLatin1(entry.typed));
            QCOMPARE(entry.box->currentIndex(), index);
            QCOMPARE(entry.box->currentText(), entry.box->itemText(index));
        }
        QVERIFY(Main::AutoRange);
        QCOMPARE(Device::PortNumber, 1);
        QVERIFY(b.sent().isEmpty());
        QVERIFY(second.host->takeRequests().isEmpty());

        TypeEntry(Find<QComboBox>(b.w, "i_com"), QStringLiteral("COM3"));
        QCOMPARE(Find<QComboBox>(b.w, "i_com")->currentIndex(), 3);
        QCOMPARE(Device::PortNumber, 3);
        QCOMPARE(second.host->takeRequests(), Requests{Request(0x40)});
    }
};

QTEST_MAIN(TestControls)
#include "test_controls.moc"
