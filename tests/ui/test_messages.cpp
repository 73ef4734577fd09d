// Every message of the window is shown with polling paused and polling resumes as it was: the
// failed table save, the recording that cannot start, START's refusals, a wrong typed frequency.
// And a lost port that comes back is shown with what answered there.
#include "link/device.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/common/lost_answer.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestWindow;

namespace {

constexpr int Generous = 8000; // ms; a deadline for what must happen, never a measured time

bool PointLink(const QString &link, const QString &target) {
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::link(target, fresh) && std::rename(QFile::encodeName(fresh).constData(),
                                                     QFile::encodeName(link).constData()) == 0;
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT

private slots:
    void messagesPausePolling_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("table save") << "save";
        QTest::newRow("recording start") << "record";
        QTest::newRow("START") << "start";
    }
    void messagesPausePolling() {
        QFETCH(QString, action);
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        QVERIFY(w.tmr.isActive());
        if (action == "save") {
            Device::CalibrationFilePath = QStringLiteral("/nonexistent/dir/DataBase.txt");
            Find<QPushButton>(w, "BuSaveFile")->click();
        } else if (action == "record") {
            w.StartRecording(QStringLiteral("/nonexistent/dir/impedix.csv"));
        } else {
            Find<QLineEdit>(w, "istart")->setText(QStringLiteral("10"));
            Find<QPushButton>(w, "bgraf")->click();
        }
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.pollingDuringMessage, QList<bool>{false});
        QVERIFY(w.tmr.isActive()); // and polling goes on afterwards
    }

    // The model box and the status line after the lost port came back: another model is named,
    // a device that is no meter is said so and left alone.
    void returningPortIsShown() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Sim::Instrument meter(2, Fixture::Capacitor());
        Sim::PtyHost host(meter, Sim::HostOptions{8, false, 1});
        QVERIFY(host.start());
        const QString link = dir.filePath(QStringLiteral("meter"));
        QVERIFY(PointLink(link, host.slavePath()));
        Fixture f;
        Main::Tb_tok &w = f.Start();
        Device::MapPort(1, link);
        w.SearchInstrument(); // once more only if its answer was lost (counted, printed)
        while (!w.tmr.isActive() && TestLostAnswer::MayStartAgain("search", StatusText(w)))
            w.SearchInstrument();
        QVERIFY(w.tmr.isActive());
        QCOMPARE(TextOf(w, "i_devace"), QStringLiteral("KT-44"));

        QVERIFY(PointLink(link, dir.filePath(QStringLiteral("gone"))));
        host.setFault(Sim::Fault::HangUp, 1);
        QTRY_VERIFY_WITH_TIMEOUT(Device::PortNumber == 0, Generous);

        Sim::PtyHost stranger([](const QByteArray &) { return QByteArray(); },
                              Sim::HostOptions{8, false, 1});
        QVERIFY(stranger.start());
        QVERIFY(PointLink(link, stranger.slavePath()));
        QTRY_COMPARE_WITH_TIMEOUT(StatusText(w), QStringLiteral("COM1: не прибор"), Generous);
        QCOMPARE(Device::PortNumber, 0);

        Sim::Instrument other(3, Fixture::Capacitor()); // a KT-45: 50 kHz .. 30 MHz
        Sim::PtyHost otherHost(other, Sim::HostOptions{8, false, 1});
        QVERIFY(otherHost.start());
        QVERIFY(PointLink(link, otherHost.slavePath()));
        QTRY_COMPARE_WITH_TIMEOUT(TextOf(w, "i_devace"), QStringLiteral("KT-45"), Generous);
        QTRY_VERIFY_WITH_TIMEOUT(StatusText(w).startsWith(QLatin1String("KT-45")), Generous);
        QCOMPARE(Main::FrequencyLow, 50000);
        QCOMPARE(Main::FrequencyHigh, 30000000);
    }
};

QTEST_MAIN(TestMessages)
#include "test_messages.moc"
