// The window's condition controls during a SCPI client's sorting batch: each change is refused
// in the status bar, nothing reaches the meter and the control shows the condition in effect;
// once the batch is over the same control sends again.
#include "tests/common/peer.h"
#include "tests/ui/remote_client.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"
#include "ui/up_down.h"

#include <QComboBox>
#include <QRadioButton>
#include <QStatusBar>
#include <QTcpSocket>
#include <QtTest>

using TestWindow::Query;

class RemoteGuardTest : public QObject {
    Q_OBJECT

private slots:
    void init() { TestWindow::ResetProgramState(); }

    void controlsRefusedDuringClientRun() {
        TestWindow::Fixture f;
        TestWindow::Meter &meter = f.AddMeter(1, 1);
        Main::Tb_tok &w = f.Start();
        TestWindow::Served remote(f.Session(), w);
        QVERIFY(remote.listening);
        auto client = remote.client();
        QVERIFY(client);
        QCOMPARE(Query(*client, "FREQ 60KHZ;:APER LONG;:VOLT 1;:SYST:ERR?"),
                 QByteArray("0,\"No error\""));
        QCOMPARE(Query(*client, "COMP ON;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QVERIFY(remote.meter.ClientRunGoing());
        const Sim::InstrumentState before = meter.instrument->state();
        auto *status = w.findChild<QStatusBar *>(QStringLiteral("status"));
        QVERIFY(status);
        const QString refused = QStringLiteral("Идёт измерение клиента SCPI: изменение отклонено");

        // Speed: the radio button chosen goes back, the meter keeps the normal speed.
        auto *fast = TestWindow::Find<QRadioButton>(w, "RadioButton4");
        fast->click();
        QCOMPARE(status->currentMessage(), refused);
        QVERIFY(!fast->isChecked());
        QVERIFY(TestWindow::Find<QRadioButton>(w, "RadioButton3")->isChecked());
        // Level: the list shows the level in effect again.
        auto *level = TestWindow::Find<QComboBox>(w, "b_level");
        const int levelInEffect = level->currentIndex();
        const int other = levelInEffect == 0 ? 1 : 0;
        status->clearMessage();
        level->setCurrentIndex(other);
        emit level->activated(other);
        QCOMPARE(status->currentMessage(), refused);
        QCOMPARE(level->currentIndex(), levelInEffect);
        // Frequency: a step of the list is refused and the field keeps the client's frequency.
        status->clearMessage();
        emit TestWindow::Find<Framework::UpDown>(w, "b_freq_step")
            ->clicked(Framework::UpDown::Direction::Up);
        QCOMPARE(status->currentMessage(), refused);
        QCOMPARE(TestWindow::TextOf(w, "i_freq"), QStringLiteral("60000"));
        QCOMPARE(Main::CurrentFrequency, 60000);
        // Nothing of it reached the meter, over a few more ticks (waited for, not slept).
        meter.host->takeRequests();
        int polls = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (polls += int(meter.host->takeRequests().count(TestPeer::Poll)), polls >= 2),
            TestWindow::RemoteDeadline);
        const Sim::InstrumentState during = meter.instrument->state();
        QCOMPARE(during.speedNormal, before.speedNormal);
        QCOMPARE(during.levelMillivolts, before.levelMillivolts);
        QCOMPARE(during.frequencyHz, 60000);

        // The batch over, the window's control sends again.
        QCOMPARE(Query(*client, "COMP OFF;:SYST:ERR?"), QByteArray("0,\"No error\""));
        QVERIFY(!remote.meter.ClientRunGoing());
        status->clearMessage();
        fast->click();
        QVERIFY(fast->isChecked());
        QVERIFY(status->currentMessage() != refused);
        QTRY_VERIFY_WITH_TIMEOUT(!meter.instrument->state().speedNormal,
                                 TestWindow::RemoteDeadline);
    }
};

QTEST_MAIN(RemoteGuardTest)
#include "test_remote_guard.moc"
