// The window over a line that fails, with the event loop running: the meter hangs up mid-run
// and the port closes, the readouts grey and the status line says how long the meter has been
// silent, and the meter back at the same path is polled again without a click; a run it
// interrupted shows on the graph where the line came back, and another model in its place ends
// the run with a message. Search and port results keep the status line, and a port that cannot
// be opened says why.
#include "link/device.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"
#include "tests/common/lost_answer.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/main_state.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using TestWindow::Fixture;

namespace {

constexpr int Generous = 8000; // ms; a deadline for what must happen, never a measured time

const QRegularExpression Silent(QStringLiteral("^Нет ответа \\d+ с   "));

QString Status(Main::Tb_tok &w) {
    return w.findChild<QStatusBar *>(QStringLiteral("status"))->currentMessage();
}

QLabel *Label(Main::Tb_tok &w, const char *name) {
    return w.findChild<QLabel *>(QLatin1String(name));
}

// Every readout of the main window is enabled (or every one disabled).
bool ReadoutsEnabled(Main::Tb_tok &w, bool enabled) {
    for (const char *name : {"i_par1", "i_par2", "i_z", "i_fiz", "i_y", "i_fiy", "i_c", "i_l",
                             "i_r", "i_x", "i_q", "i_d", "i_g", "i_b"})
        if (Label(w, name)->isEnabled() != enabled) return false;
    return true;
}

// Replaces the symbolic link in one step, as a device node that comes back would appear.
bool PointLink(const QString &link, const QString &target) {
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::link(target, fresh) && std::rename(QFile::encodeName(fresh).constData(),
                                                     QFile::encodeName(link).constData()) == 0;
}

void ClickSearch(Main::Tb_tok &w) {
    QTest::mouseClick(w.findChild<QToolButton *>(QStringLiteral("ToolButton1")), Qt::LeftButton);
}

// Searches and finds the meter polled. One identity exchange can miss its reply on a busy
// machine; then the search is clicked once more (printed and counted; a second loss fails).
bool SearchUntilPolling(Main::Tb_tok &w) {
    ClickSearch(w);
    while (!w.tmr.isActive() && TestLostAnswer::MayStartAgain("search", TestWindow::StatusText(w)))
        ClickSearch(w);
    return w.tmr.isActive();
}

Sim::HostOptions PeerTiming() {
    Sim::HostOptions options;
    options.thinkMs = 8;
    return options;
}

// START of a frequency run of n points over 10 … 50 kHz, typed into the graph panel.
void StartRun(Main::Tb_tok &w, int points) {
    auto *frequencySweep = w.findChild<QCheckBox *>(QStringLiteral("ChBoF"));
    if (!frequencySweep->isChecked()) frequencySweep->click();
    w.findChild<QLineEdit *>(QStringLiteral("istart"))->setText(QStringLiteral("10000"));
    w.findChild<QLineEdit *>(QStringLiteral("istop"))->setText(QStringLiteral("50000"));
    w.findChild<QLineEdit *>(QStringLiteral("ikol"))->setText(QString::number(points));
    w.findChild<QPushButton *>(QStringLiteral("bgraf"))->click();
}

// A KT-44 behind a symbolic link that the window's search finds as COM1; it can be lost and
// brought back, or another meter put in its place.
struct LinkedMeter {
    QTemporaryDir dir;
    Sim::Instrument meter{2, Fixture::Capacitor()};
    Sim::PtyHost host{meter, PeerTiming()};
    QString link = dir.filePath(QStringLiteral("meter"));

    bool Start() { return dir.isValid() && host.start() && PointLink(link, host.slavePath()); }
    // Its device node goes and it hangs up at its next request.
    bool Lose() {
        if (!PointLink(link, dir.filePath(QStringLiteral("gone")))) return false;
        host.setFault(Sim::Fault::HangUp, 1);
        return true;
    }
    bool Return() { return host.start() && PointLink(link, host.slavePath()); }
};

} // namespace

class TestLine : public QObject {
    Q_OBJECT

private slots:
    // A pseudo-terminal's path cannot be had again once it is gone, so the meter sits behind a
    // symbolic link mapped as COM1; its return is a new pseudo-terminal behind the same link.
    void meterVanishesAndComesBack() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Sim::Instrument meter(2, Fixture::Capacitor());
        Sim::PtyHost host(meter, PeerTiming());
        QVERIFY(host.start());
        const QString link = dir.filePath(QStringLiteral("meter"));
        QVERIFY(PointLink(link, host.slavePath()));

        Fixture f;
        Main::Tb_tok &w = f.Start();
        Device::MapPort(1, link);
        QVERIFY(SearchUntilPolling(w));
        auto *frequency = w.findChild<QLineEdit *>(QStringLiteral("i_freq"));
        QTRY_COMPARE_WITH_TIMEOUT(frequency->text(), QStringLiteral("1000"), Generous);
        QTRY_VERIFY_WITH_TIMEOUT(Status(w).startsWith(QLatin1String("KT-44")), Generous);
        QVERIFY(ReadoutsEnabled(w, true));

        // The meter hangs up at its next request, and its device node goes with it: the link
        // shows nothing while the meter is away (the open port is not affected), so reopening
        // can reach nothing but the meter's return, whatever terminal numbers others take.
        QVERIFY(PointLink(link, dir.filePath(QStringLiteral("gone"))));
        host.setFault(Sim::Fault::HangUp, 1);
        QTRY_VERIFY_WITH_TIMEOUT(Device::PortNumber == 0, Generous);
        QCOMPARE(Device::PortHandle, nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(Silent.match(Status(w)).hasMatch(), Generous);
        QVERIFY2(Status(w).contains(QLatin1String("KT-44   F")), qPrintable(Status(w)));
        QVERIFY(ReadoutsEnabled(w, false));
        QVERIFY(w.tmr.isActive());

        // Set differently on the meter while it was away (as after a power cycle): the meter
        // gets the program's frequency back, and the controls keep it.
        meter.respond(QByteArray("\xAA\x43\x00\x00\x13\x88", 6)); // 5000 Hz
        const std::uint32_t before = w.Session().Connection();
        QVERIFY(host.start());
        QVERIFY(PointLink(link, host.slavePath()));
        QTRY_VERIFY_WITH_TIMEOUT(Device::PortNumber == 1, Generous);
        QTRY_VERIFY_WITH_TIMEOUT(ReadoutsEnabled(w, true), Generous);
        QTRY_COMPARE_WITH_TIMEOUT(meter.state().frequencyHz, 1000, Generous);
        QTRY_COMPARE_WITH_TIMEOUT(Device::FrequencyHz, 1000, Generous);
        QCOMPARE(frequency->text(), QStringLiteral("1000"));
        QCOMPARE(w.Session().Connection(), before + 1);
        QTRY_VERIFY_WITH_TIMEOUT(Status(w).startsWith(QLatin1String("KT-44")), Generous);
        QVERIFY(!Main::SyncPending);
    }

    // The same meter back in the middle of a run: the run measures the point it was at on the
    // new connection and goes on, the graph marks that point, and nothing modal is shown.
    void runShowsWhereTheLineCameBack() {
        LinkedMeter m;
        QVERIFY(m.Start());
        Fixture f;
        Main::Tb_tok &w = f.Start();
        Device::MapPort(1, m.link);
        QVERIFY(SearchUntilPolling(w));
        auto *chart = w.findChild<Chart::SweepChart *>(QStringLiteral("grafik"));
        const std::uint32_t first = w.Session().Connection();
        QSignalSpy reconnected(&w.Session(), &Core::Session::reconnected);

        StartRun(w, 20);
        QTRY_VERIFY_WITH_TIMEOUT(Main::SweepIndex >= 2, Generous);
        QVERIFY(m.Lose());
        QTRY_VERIFY_WITH_TIMEOUT(Device::PortNumber == 0, Generous);
        QVERIFY(Main::SweepRunning);
        QVERIFY(chart->breaks().isEmpty());

        QVERIFY(m.Return());
        QTRY_COMPARE_WITH_TIMEOUT(reconnected.count(), 1, Generous);
        const auto info = reconnected.first().first().value<Core::Reconnection>();
        QVERIFY(info.sameModel);
        QVERIFY(info.sweepPoint >= 2);
        QTRY_VERIFY_WITH_TIMEOUT(!Main::SweepRunning, 6 * Generous);
        QCOMPARE(Main::SweepConnections[info.sweepPoint - 1], first);
        QCOMPARE(Main::SweepConnections[info.sweepPoint], first + 1);
        QCOMPARE(chart->breaks(), QList<double>{Main::SweepPointX(info.sweepPoint, true)});
        QCOMPARE(chart->points(0).size(), 20);
        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join(QLatin1Char('|'))));
    }

    // Another model at the lost meter's place: the run is over, and the window says why once,
    // with polling held while the message is up.
    void anotherMeterEndsTheRunWithAMessage() {
        LinkedMeter m;
        QVERIFY(m.Start());
        Fixture f;
        Main::Tb_tok &w = f.Start();
        Device::MapPort(1, m.link);
        QVERIFY(SearchUntilPolling(w));
        StartRun(w, 20);
        QTRY_VERIFY_WITH_TIMEOUT(Main::SweepIndex >= 1, Generous);
        QVERIFY(m.Lose());
        QTRY_VERIFY_WITH_TIMEOUT(Device::PortNumber == 0, Generous);
        QVERIFY(f.messages.isEmpty());

        Sim::Instrument other(0, Fixture::Capacitor());
        Sim::PtyHost otherHost(other, PeerTiming());
        QVERIFY(otherHost.start());
        QVERIFY(PointLink(m.link, otherHost.slavePath()));
        QTRY_COMPARE_WITH_TIMEOUT(f.messages.size(), 1, Generous);
        QCOMPARE(f.messages.first(),
                 QStringLiteral("На порту другой прибор (KT-41). Измерение остановлено."));
        QCOMPARE(f.pollingDuringMessage.first(), false);
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Device::ModelIndex, 0);
    }

    // A search that fails while polling goes on: its "COM -" stays, the readouts still grey.
    void searchResultStays() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Fixture f;
        TestWindow::Meter &meter = f.AddMeter(2, 1);
        Main::Tb_tok &w = f.Start();
        QVERIFY(SearchUntilPolling(w));
        meter.host->hangUp();
        // A port that is there but is no serial device: the search says which and why.
        QFile file(dir.filePath(QStringLiteral("not-a-port")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        Device::MapPort(3, file.fileName());
        ClickSearch(w);
        const QString result = QStringLiteral("COM -  COM3: ") + file.fileName() +
                               QStringLiteral(" не последовательный порт");
        QCOMPARE(Status(w), result);
        QVERIFY(w.tmr.isActive());

        QSignalSpy ticks(&w.tmr, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(ReadoutsEnabled(w, false), Generous); // silent for a second
        QVERIFY(ticks.count() > 0);
        QCOMPARE(Status(w), result);
    }

    void handChoiceSaysWhyThePortDidNotOpen() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Fixture f;
        f.AddMissingPort(7);
        Main::Tb_tok &w = f.Start();
        Device::MapPort(8, dir.path());

        w.i_comChange(7);
        QCOMPARE(Status(w),
                 QStringLiteral("Порт не открыт: нет устройства /nonexistent/impedix-com7"));
        w.i_comChange(8);
        QCOMPARE(Status(w), QStringLiteral("Порт не открыт: ") + dir.path() +
                                QStringLiteral(" не последовательный порт"));
        w.i_comChange(0); // "НЕТ": closed on purpose, nothing to explain
        QCOMPARE(Status(w), QStringLiteral("Порт не открыт"));
    }
};

QTEST_MAIN(TestLine)
#include "test_line.moc"
