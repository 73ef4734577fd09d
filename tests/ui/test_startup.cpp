// Main window start-up, the instrument search and the hand choice of a port, the window size for
// each panel combination, closing, the port dialog and the program's command line.

#include "app/command_line.h"
#include "core/search.h"
#include "core/session.h"
#include "link/device.h"
#include "tests/common/peer.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"
#include "ui/port_dialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace TestWindow;
using Requests = QList<QByteArray>;

namespace {

const QString Compact = QStringLiteral("Cp  0.00000 mkF"); // i_par1 as designed
const QByteArray IdentityRequest = TestPeer::Request(0x40);

QComboBox *Box(const QWidget &w, const char *name) {
    return Find<QComboBox>(w, name);
}

QStatusBar *Status(const QWidget &w) {
    return Find<QStatusBar>(w, "status");
}

// Picks an entry from the drop-down list, as the user does with the mouse.
void ChooseFromList(QComboBox *box, int entry) {
    box->showPopup();
    QAbstractItemView *view = box->view();
    const QModelIndex item = view->model()->index(entry, box->modelColumn());
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
}

int Bars(const Main::Tb_tok &w) {
    return Find<QWidget>(w, "ToolBar1")->height() + Status(w)->height();
}

// The window opens at its designed size and can be resized from there.
QSize OpeningSize(const Main::Tb_tok &w) {
    return w.minimumSize() != w.maximumSize() ? w.size() : QSize();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void nothingAttached() {
        Fixture f;
        Main::Tb_tok &w = f.Start();

        QCOMPARE(Bars(w), 47);
        for (const char *panel : {"PaKey", "PaGraph", "PaClb"})
            QVERIFY(Find<QWidget>(w, panel)->isHidden());
        QCOMPARE(Box(w, "i_com")->count(), 17);
        QCOMPARE(Box(w, "i_com")->currentIndex(), 0);
        QCOMPARE(TextOf(w, "i_com"), QStringLiteral("НЕТ"));
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral(" НЕТ"));
        QCOMPARE(StatusText(w), QStringLiteral("COM -"));
        QVERIFY(!w.tmr.isActive());
        QCOMPARE(TextOf(w, "i_par1"), Compact);
        QCOMPARE(TextOf(w, "i_par2"), QStringLiteral("D  0.00000"));
        QCOMPARE(TextOf(w, "i_freq"), QStringLiteral("1000"));
        QCOMPARE(Main::CurrentFrequency, 0);
        QVERIFY(!Main::CycleStarted);
        QCOMPARE(Device::PortNumber, 0);
        QVERIFY(f.messages.isEmpty());
    }

    // Settings left by an earlier session of the window must not survive a new construction.
    void constructionSetsItsOwnStartingValues() {
        Fixture f;
        f.Start();
        Main::Param1Index = 7;
        Main::Param2Index = 1;
        Main::BiasSetting = 4000;
        Main::FrequencyLow = 25;
        Main::FrequencyHigh = 25;
        Device::SeriesCircuit = 0;

        Core::Session core;
        Main::Tb_tok again(core);
        QCOMPARE(Main::Param1Index, 2);
        QCOMPARE(Main::Param2Index, 9);
        QCOMPARE(Main::BiasSetting, 0);
        QCOMPARE(Main::FrequencyLow, 50000);
        QCOMPARE(Main::FrequencyHigh, 100000);
        QCOMPARE(Device::SeriesCircuit, 1);
    }

    void searchStopsAtFirstInstrument() {
        Fixture f;
        TestWindow::Meter &first = f.AddMeter(2, 3);
        TestWindow::Meter &second = f.AddMeter(5, 4);
        Main::Tb_tok &w = f.Start();

        QCOMPARE(TestPeer::TakeRequests(*first.host, 1), Requests{IdentityRequest});
        QCOMPARE(second.host->requestCount(), 0);
        QCOMPARE(Device::PortNumber, 2);
        QCOMPARE(Device::ModelIndex, 3);
        QCOMPARE(Box(w, "i_com")->currentIndex(), 2);
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral("KT-45"));
        QVERIFY(w.tmr.isActive());
        QCOMPARE(w.tmr.interval(), 40); // polls 40 ms after the end of each tick
        QVERIFY(!w.tmr.isSingleShot());
        QVERIFY(Main::SyncPending);
        QVERIFY(Main::CycleStarted);
        // Start-up's own window replaces the model's 50 kHz .. 30 MHz; the tool button's search
        // keeps the model's.
        QCOMPARE(Main::FrequencyLow, 50000);
        QCOMPARE(Main::FrequencyHigh, 100000);
        QTest::mouseClick(Find<QToolButton>(w, "ToolButton1"), Qt::LeftButton);
        QCOMPARE(TextOf(w, "i_com"), QStringLiteral("COM2"));
        QCOMPARE(Main::FrequencyLow, 50000);
        QCOMPARE(Main::FrequencyHigh, 30000000);
    }

    void choosingNoPortOrMissingPort() {
        Fixture f;
        f.AddMeter(3, 1);
        f.AddMissingPort(7);
        Main::Tb_tok &w = f.Start();
        QCOMPARE(Device::PortNumber, 3);
        w.tmr.stop(); // no tick may write the status line here

        TestWindow::TypeEntry(Box(w, "i_com"), QStringLiteral("НЕТ"));
        QCOMPARE(Box(w, "i_com")->currentIndex(), 0);
        QCOMPARE(Device::PortNumber, 0);
        QCOMPARE(StatusText(w), QStringLiteral("Порт не открыт"));

        Status(w)->clearMessage();
        ChooseFromList(Box(w, "i_com"), 7);
        QCOMPARE(Device::PortNumber, 0);
        // A port that does not open says why.
        QCOMPARE(StatusText(w),
                 QStringLiteral("Порт не открыт: нет устройства /nonexistent/impedix-com7"));
        QVERIFY(f.messages.isEmpty());
    }

    void silentPort() {
        Fixture f;
        Sim::PtyHost &peer = f.AddPeer(1, [](const QByteArray &) { return QByteArray(); });
        f.AddMeter(4, 0);
        Main::Tb_tok &w = f.Start();
        QCOMPARE(TestPeer::TakeRequests(peer, 1), Requests{IdentityRequest});
        QCOMPARE(Box(w, "i_com")->currentIndex(), 4);
        QCOMPARE(Device::ModelIndex, 0);
        QVERIFY(f.messages.isEmpty());

        w.tmr.stop(); // the hand choice is checked without a tick rewriting the status
        ChooseFromList(Box(w, "i_com"), 1);
        QCOMPARE(TestPeer::TakeRequests(peer, 1), Requests{IdentityRequest});
        QCOMPARE(Device::PortNumber, 1);
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral("НЕТ"));
        QCOMPARE(StatusText(w), QStringLiteral("Нет ответа"));
        QVERIFY(f.messages.isEmpty());
    }

    void unknownIdentity_data() {
        QTest::addColumn<QByteArray>("identity");
        QTest::newRow("foreign") << QByteArray("XY99");
        QTest::newRow("prefix of KT41") << QByteArray("KT4\0", 4);
    }

    void unknownIdentity() {
        QFETCH(QByteArray, identity);
        TestPeer::ScriptedMeter foreign;
        foreign.identity = identity;
        {
            Fixture f;
            f.AddPeer(1, foreign.responder());
            f.AddMeter(3, 4);
            Main::Tb_tok &w = f.Start();
            QCOMPARE(Device::ModelIndex, 4);
            QCOMPARE(Box(w, "i_com")->currentIndex(), 3);
        }
        Fixture f;
        Sim::PtyHost &peer = f.AddPeer(1, foreign.responder());
        Main::Tb_tok &w = f.Start();
        // An identity no model gives may be a garbled one: it is asked again, as often as the
        // command line asks it.
        QCOMPARE(peer.requestCount(), Core::IdentityTries);
        QCOMPARE(Device::ModelIndex, Device::ModelCount);
        QVERIFY(Device::ModelName(Device::ModelIndex).isEmpty());
        QCOMPARE(StatusText(w), QStringLiteral("COM -"));
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral(" НЕТ"));
        QVERIFY(!w.tmr.isActive());

        // COM16, which no search tries, chosen by hand: its identity is shown as sent, and
        // nothing is identified or started; polled, it has no model row to name.
        TestWindow::Meter &meter = f.AddMeter(16, 2);
        Device::MapPort(16, meter.host->slavePath());
        w.ToolButton1Click();
        QCOMPARE(meter.host->requestCount(), 0);
        ChooseFromList(Box(w, "i_com"), 16);
        QCOMPARE(TestPeer::TakeRequests(*meter.host, 1), Requests{IdentityRequest});
        QCOMPARE(Device::PortNumber, 16);
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral("KT44"));
        QCOMPARE(Device::ModelIndex, Device::ModelCount);
        QVERIFY(!w.tmr.isActive() && !Main::CycleStarted);
        w.Session().Tick();
        QVERIFY(TextOf(w, "i_par1") != Compact);
        const QString status = StatusText(w);
        QVERIFY2(status.startsWith(QLatin1String("   F")), qPrintable(status));
    }

    void failedSearchKeepsEarlierResult() {
        Fixture f;
        TestWindow::Meter &meter = f.AddMeter(2, 1);
        Main::Tb_tok &w = f.Start();
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral("KT-43"));

        meter.host->hangUp();
        w.ToolButton1Click();
        QCOMPARE(StatusText(w), QStringLiteral("COM -"));
        QCOMPARE(TextOf(w, "i_com"), QStringLiteral("COM2"));
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral("KT-43"));
        QCOMPARE(Device::ModelIndex, 1);
        QCOMPARE(Device::PortNumber, 0); // the earlier port was closed by the new search
        QCOMPARE(Main::FrequencyHigh, 100000);
        QVERIFY(w.tmr.isActive()); // a running cycle is not stopped
        QVERIFY(Main::CycleStarted);
    }

    // Clicks on the check boxes, in order: k(eys), g(raph), c(alibration).
    void panelSizes_data() {
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<QSize>("size");    // of the window's own area, less the bars
        QTest::addColumn<QString>("shown"); // panels then visible, same letters

        const QSize compact(390, 390), keys(390, 605), wide(1233, 722);
        QTest::newRow("none") << "" << compact << "";
        QTest::newRow("keys") << "k" << keys << "k";
        QTest::newRow("graph") << "g" << wide << "g";
        QTest::newRow("calibration") << "c" << wide << "c";
        QTest::newRow("keys+graph") << "kg" << wide << "kg";
        QTest::newRow("keys+calibration") << "kc" << wide << "kc";
        QTest::newRow("graph, then calibration") << "gc" << wide << "c";
        QTest::newRow("calibration, then graph") << "cg" << wide << "g";
        QTest::newRow("keys+calibration, calibration off") << "kcc" << keys << "k";
        QTest::newRow("keys+graph, both off") << "kggk" << compact << "";
    }

    void panelSizes() {
        QFETCH(QString, clicks);
        QFETCH(QSize, size);
        QFETCH(QString, shown);
        Fixture f;
        Main::Tb_tok &w = f.Start();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString letters = QStringLiteral("kgc");
        QCheckBox *const boxes[] = {Find<QCheckBox>(w, "ChBoKey"), Find<QCheckBox>(w, "ChBoGraph"),
                                    Find<QCheckBox>(w, "ChBoClb")};
        QWidget *const panels[] = {Find<QWidget>(w, "PaKey"), Find<QWidget>(w, "PaGraph"),
                                   Find<QWidget>(w, "PaClb")};

        for (QChar click : clicks) {
            QCheckBox *box = boxes[letters.indexOf(click)];
            QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
        }
        QCOMPARE(OpeningSize(w), size + QSize(0, Bars(w)));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(panels[i]->isVisible(), shown.contains(letters[i]));
            QCOMPARE(boxes[i]->isChecked(), shown.contains(letters[i]));
        }
        for (QWidget *side : {Find<QWidget>(w, "PaGraph"), Find<QWidget>(w, "PaClb")})
            if (side->isVisible()) QCOMPARE(side->geometry(), QRect(384, 32, 825, 689));
    }

    // Closing the window while polling: not one more request goes out, even while events are
    // still processed before the program ends.
    void closingSendsNothing() {
        Fixture f;
        f.Start();
        TestWindow::Meter &meter = f.AddMeter(2, 2);
        Device::MapPort(2, meter.host->slavePath());
        Core::Session core;
        Main::Tb_tok w(core);
        QVERIFY(w.tmr.isActive());
        w.show();
        QTRY_VERIFY(meter.host->requestCount() >= 3);

        QVERIFY(w.close());
        QVERIFY(!w.tmr.isActive());
        meter.host->takeRequests();
        // Events go on for five turns of a timer with the poll's interval, counted rather than
        // slept, so that a poll timer still running would have fired however busy the machine.
        int turns = 0;
        QTimer sentinel;
        QObject::connect(&sentinel, &QTimer::timeout, [&turns] { ++turns; });
        sentinel.start(w.tmr.interval());
        QTRY_VERIFY_WITH_TIMEOUT(turns >= 5, 10000);
        QCOMPARE(meter.host->takeRequests(), QList<QByteArray>());
    }

    // The program's session outlives its window: once the window is gone the session polls no
    // more and has no way left to the window's message box.
    void sessionOutlivesItsWindow() {
        Fixture f;
        f.Start();
        TestWindow::Meter &meter = f.AddMeter(2, 2);
        Device::MapPort(2, meter.host->slavePath());
        Core::Session core;
        QStringList shown;
        {
            Main::Tb_tok w(core);
            QVERIFY(core.Polling());
            shown = f.messages;
            shown << QStringLiteral("shown");
            core.Tell(QStringLiteral("shown"));
            QCOMPARE(f.messages, shown);
        }
        QVERIFY(!core.Polling());
        core.Tell(QStringLiteral("after the window"));
        QCOMPARE(f.messages, shown);
    }

    void portDialog() {
        apoisk::Tcom_poisk_tool dialog;
        auto *number = Find<QLineEdit>(dialog, "ib_nport");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Выбор порта"));
        QCOMPARE(number->text(), QStringLiteral("3"));
        QVERIFY(dialog.isHidden());

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QSignalSpy finished(&dialog, &QDialog::finished);
        number->setFocus();
        QTest::keyClick(number, Qt::Key_Return);
        QTest::keyClick(number, Qt::Key_Enter);
        QVERIFY(dialog.isVisible());
        QCOMPARE(finished.count(), 0);
        QCOMPARE(number->text(), QStringLiteral("3"));

        // Only Enter is taken: the field still edits.
        QTest::keyClick(number, Qt::Key_Backspace);
        QTest::keyClicks(number, QStringLiteral("12"));
        QCOMPARE(number->text(), QStringLiteral("12"));
    }

    void parseCommandLine() {
        using App::ParseCommandLine;
        const QStringList one{"COM3=/dev/a"};
        QCOMPARE(ParseCommandLine({"--port", "COM3=/dev/a"}).portMappings, one);
        QCOMPARE(ParseCommandLine({"--port=COM3=/dev/a"}).portMappings, one);
        QCOMPARE(ParseCommandLine({"--port=COM2=/b", "--port", "COM1=/a"}).portMappings,
                 QStringList({"COM2=/b", "COM1=/a"}));
        const App::CommandLine plain = ParseCommandLine({});
        QVERIFY(!plain.demo && !plain.help && plain.error.isEmpty());

        const App::CommandLine demo = ParseCommandLine({"--demo"});
        QVERIFY(demo.demo && demo.demoModel.isEmpty() && demo.error.isEmpty());
        const App::CommandLine model = ParseCommandLine({"--demo=KT-45", "--port", "COM2=/b"});
        QVERIFY(model.demo && model.error.isEmpty());
        QCOMPARE(model.demoModel, QStringLiteral("KT-45"));
        QCOMPARE(model.portMappings, QStringList{"COM2=/b"});
        const App::CommandLine help = ParseCommandLine({"--help"});
        QVERIFY(help.help && help.error.isEmpty());

        for (const QStringList &bad :
             {QStringList{"--demo="}, QStringList{"--port"}, QStringList{"--bogus"},
              QStringList{"COM3=/dev/a"}, QStringList{"--help", "--bogus"}})
            QVERIFY2(!ParseCommandLine(bad).error.isEmpty(), qPrintable(bad.join(' ')));
        QVERIFY(ParseCommandLine({"--bogus"}).error.contains(QLatin1String("--bogus")));
    }

    void programExitCodes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("names"); // what the message must name
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "";
        QTest::newRow("--bogus") << QStringList{"--bogus"} << 2 << "--bogus";
        QTest::newRow("--port COM99") << QStringList{"--port", "COM99=/x"} << 2 << "99";
        QTest::newRow("--port without value") << QStringList{"--port"} << 2 << "--port";
        QTest::newRow("--demo=KT-99") << QStringList{"--demo=KT-99"} << 2 << "KT-99";
        QTest::newRow("--port without path") << QStringList{"--port", "COM3"} << 2 << "COM3";
    }

    void programExitCodes() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, names);
        const auto program = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Help and mistakes are answered before any window exists: no display is needed.
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        program->setProcessEnvironment(environment);
        program->start(QStringLiteral(IMPEDIX_PATH), arguments);
        if (!program->waitForFinished(10000)) {
            program->kill();
            program->waitForFinished();
            QFAIL("the program did not end");
        }
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), exitCode);
        const QString out = QString::fromLocal8Bit(program->readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program->readAllStandardError());
        if (exitCode == 0) {
            QVERIFY2(out.startsWith(QLatin1String("Usage: impedix")), qPrintable(out));
            QVERIFY(out.contains(QLatin1String("--port COMn=PATH")));
            QVERIFY(err.isEmpty());
        } else {
            QVERIFY(out.isEmpty());
            // The window framework may add warnings of its own; the program's message is one line.
            const QStringList lines = err.split(QLatin1Char('\n'));
            const auto message = std::find_if(lines.begin(), lines.end(), [](const QString &line) {
                return line.startsWith(QLatin1String("impedix: "));
            });
            QVERIFY2(message != lines.end() && message->contains(names), qPrintable(err));
        }
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
