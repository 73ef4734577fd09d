// The window beside the SCPI server: the status bar counts the clients, and conditions set over
// SCPI reach the meter through the window's session while the window's controls follow them
// without sending anything of their own.
#include "link/commands.h"
#include "tests/common/peer.h"
#include "tests/ui/remote_client.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"
#include "ui/up_down.h"

#include <QLabel>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using TestWindow::Fixture;
using TestWindow::Query;
using TestWindow::Served;

namespace {

constexpr int Generous = TestWindow::RemoteDeadline;

QLabel *RemoteLabel(Main::Tb_tok &w) {
    return TestWindow::Find<QLabel>(w, "LaRemote");
}

} // namespace

class RemoteWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { TestWindow::ResetProgramState(); }

    void statusBarCountsClients() {
        Fixture f;
        f.AddMeter(1, 1);
        Main::Tb_tok &w = f.Start();
        Served remote(f.Session(), w);
        QVERIFY(remote.listening);
        QVERIFY(!RemoteLabel(w)->isVisibleTo(&w));
        auto first = remote.client();
        QVERIFY(first);
        QTRY_VERIFY_WITH_TIMEOUT(RemoteLabel(w)->isVisibleTo(&w), Generous);
        QCOMPARE(RemoteLabel(w)->text(), QStringLiteral("SCPI: 1"));
        auto second = remote.client();
        QVERIFY(second);
        QTRY_COMPARE_WITH_TIMEOUT(RemoteLabel(w)->text(), QStringLiteral("SCPI: 2"), Generous);
        first.reset();
        second->disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(!RemoteLabel(w)->isVisibleTo(&w), Generous);
    }

    void conditionsReachMeterAndControls() {
        Fixture f;
        TestWindow::Meter &meter = f.AddMeter(1, 1);
        Main::Tb_tok &w = f.Start();
        Served remote(f.Session(), w);
        QVERIFY(remote.listening);
        auto client = remote.client();
        QVERIFY(client);
        client->write("FREQ 60KHZ;:VOLT 100MV;:APER SHORT;:FUNC:IMP CPD;:BIAS:SOUR EXT\n");
        QCOMPARE(Query(*client, "SYST:ERR?"), QByteArray("0,\"No error\""));
        const Sim::InstrumentState told = meter.instrument->state();
        QCOMPARE(told.frequencyHz, 60000);
        QCOMPARE(told.levelMillivolts, 100);
        QVERIFY(!told.speedNormal);
        QVERIFY(told.biasExternal);
        QCOMPARE(TestWindow::TextOf(w, "i_freq"), QStringLiteral("60000"));
        QCOMPARE(TestWindow::Find<QComboBox>(w, "b_level")->currentIndex(), 2);
        QVERIFY(TestWindow::Find<QRadioButton>(w, "RadioButton4")->isChecked());
        QVERIFY(TestWindow::Find<QRadioButton>(w, "RadioButton2")->isChecked());
        // The controls followed without a command of their own: the meter still has what
        // SCPI told it after three more ticks (waited for, not slept).
        meter.host->takeRequests();
        int polls = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (polls += int(meter.host->takeRequests().count(TestPeer::Poll)), polls >= 3), Generous);
        QCOMPARE(meter.instrument->state().levelMillivolts, 100);
        QVERIFY(meter.instrument->state().biasExternal);
        // The frequency field's new text is no typing: polling goes on, and a reading at the
        // new frequency comes (a paused window would leave FETC? without data).
        QVERIFY(w.tmr.isActive());
        const QByteArray reading = Query(*client, "FUNC:IMP RX;:FETC?");
        QVERIFY2(reading.endsWith(",+0"), reading.constData());
        // The window's own frequency controls keep 50 to 100 kHz; a client has the model's
        // range, and what it sets is sent as it is and shown.
        QCOMPARE(Query(*client, "FREQ 20KHZ;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QCOMPARE(meter.instrument->state().frequencyHz, 20000);
        QCOMPARE(TestWindow::TextOf(w, "i_freq"), QStringLiteral("20000"));
    }

    // The bias level and its state set over SCPI reach the meter, and the bias field and the
    // coarse step follow as after a synchronisation, so the window's next step goes on from there.
    void biasFollowsInTheWindow() {
        Fixture f;
        TestWindow::Meter &meter = f.AddMeter(1, 1);
        Main::Tb_tok &w = f.Start();
        Served remote(f.Session(), w);
        QVERIFY(remote.listening);
        auto client = remote.client();
        QVERIFY(client);
        auto *coarse = TestWindow::Find<Framework::UpDown>(w, "b_bias_hard");
        const auto volts = [](const char *text) {
            return QString::fromLatin1(text).replace('.', QLocale::system().decimalPoint());
        };
        QCOMPARE(Query(*client, "BIAS:VOLT 6.3;STAT ON;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QTRY_COMPARE_WITH_TIMEOUT(meter.instrument->state().biasMillivolts, 6300, Generous);
        QCOMPARE(TestWindow::TextOf(w, "i_bias"), volts("6.3"));
        QCOMPARE(coarse->position(), 5); // 6.3 V is the sixth coarse step
        QCOMPARE(Query(*client, "BIAS:VOLT 2.7;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QTRY_COMPARE_WITH_TIMEOUT(meter.instrument->state().biasMillivolts, 2700, Generous);
        QCOMPARE(TestWindow::TextOf(w, "i_bias"), volts("2.7"));
        QCOMPARE(coarse->position(), 2); // the highest step not above it: 2.5 V
        coarse->stepUp();
        QTRY_COMPARE_WITH_TIMEOUT(meter.instrument->state().biasMillivolts, 3000, Generous);
        QCOMPARE(Query(*client, "BIAS:VOLT?"), QByteArray("+3.00000E+00"));
        QCOMPARE(Query(*client, "BIAS:STAT?"), QByteArray("1"));

        QCOMPARE(Query(*client, "BIAS:STAT OFF;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QTRY_COMPARE_WITH_TIMEOUT(meter.instrument->state().biasMillivolts, 0, Generous);
        QCOMPARE(TestWindow::TextOf(w, "i_bias"), volts("0"));
        QCOMPARE(Query(*client, "BIAS:STAT ON;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QTRY_COMPARE_WITH_TIMEOUT(meter.instrument->state().biasMillivolts, 3000, Generous);
        QCOMPARE(TestWindow::TextOf(w, "i_bias"), volts("3"));
        QCOMPARE(coarse->position(), 3);
    }
};

QTEST_MAIN(RemoteWindowTest)
#include "test_remote_window.moc"
