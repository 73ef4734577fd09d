// The window's run control and the frequency it shows: a typed frequency the window bounds
// shows what was sent and says so, the field follows the meter after a run, "Стоп" ends a run
// with its points kept, untaken points are not drawn, too many points are said, and a finished
// run is graphed again for another parameter or circuit without measuring.
#include "core/session.h"
#include "export/recorder.h"
#include "sweep/sweep_store.h"
#include "tests/common/peer.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/main_state.h"
#include "ui/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace TestWindow;
using namespace TestPeer;

namespace {

// The window on a scripted meter that reads a resistance with some reactance, the pair R and
// Q chosen by hand.
struct Bench {
    Fixture f;
    ScriptedMeter meter;
    Main::Tb_tok *window = nullptr;

    Bench() {
        f.AddPeer(1, meter.responder());
        window = &f.Start();
        meter.magnitude = 100.0f;
        meter.phase = -0.5f;
        if (Main::AutoParams) Find<QCheckBox>(*window, "b_apar")->click(); // R and Q by hand
    }
    Main::Tb_tok &w() { return *window; }
    template <class T> T *find(const char *name) { return Find<T>(*window, name); }

    // START over n points at one frequency (the box ChBoF unticked).
    void start(const char *points, const char *hz = "1000") {
        find<QLineEdit>("istart")->setText(QLatin1String(hz));
        find<QLineEdit>("ikol")->setText(QLatin1String(points));
        find<QPushButton>("bgraf")->click();
    }
    QList<double> ys(int series) {
        QList<double> out;
        for (const QPointF &p : find<Chart::SweepChart>("grafik")->points(series))
            out << p.y();
        return out;
    }
    void typeFrequency(const QString &text) {
        auto *field = find<QLineEdit>("i_freq");
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    QLabel *bound() { return window->findChild<QLabel *>(QStringLiteral("LaFrequencyBound")); }
};

bool Near(const QList<double> &values, double expected, double tolerance) {
    for (double v : values)
        if (!(std::fabs(v - expected) <= tolerance)) return false;
    return !values.isEmpty();
}

} // namespace

class TestRunControl : public QObject {
    Q_OBJECT

private slots:
    // The window of 50000 … 100000 Hz bounds a typed frequency: the field shows the one sent,
    // and the status bar says why until a frequency is set that needs no bound.
    void boundedEntryShowsWhatWasSent() {
        Bench b;
        auto *field = b.find<QLineEdit>("i_freq");
        const struct {
            const char *typed, *shown;
            bool said;
        } entries[] = {{"1000", "50000", true},
                       {"200000", "100000", true},
                       {"60000", "60000", false},
                       {"10000", "50000", true}};
        for (const auto &e : entries) {
            b.typeFrequency(QLatin1String(e.typed));
            QCOMPARE(field->text(), QLatin1String(e.shown));
            QCOMPARE(QString::number(Main::CurrentFrequency), QLatin1String(e.shown));
            QCOMPARE(b.bound() && b.bound()->isVisibleTo(&b.w()), e.said);
            if (e.said)
                QVERIFY2(b.bound()->text().endsWith(QLatin1String(e.shown) + QStringLiteral(" Гц")),
                         qPrintable(b.bound()->text()));
            QVERIFY(b.w().tmr.isActive()); // polling goes on after the entry
        }
        QVERIFY(b.f.messages.isEmpty());
    }

    // After a run the field shows where the run left the meter, and polling goes on.
    void fieldAfterASweep() {
        Bench b;
        auto *field = b.find<QLineEdit>("i_freq");
        b.find<QCheckBox>("ChBoF")->click(); // over frequencies
        b.find<QLineEdit>("istop")->setText(QStringLiteral("3000"));
        b.start("3", "1000");
        for (int i = 0; i < 3; ++i)
            QVERIFY(TickForPoint(b.w()));
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(field->text(), QStringLiteral("3000"));
        QCOMPARE(Main::CurrentFrequency, 3000);
        QVERIFY(b.w().tmr.isActive());
    }

    // "Стоп" mid-run: the run ends at once, its taken points stay drawn and counted, the rest
    // are not drawn, the axis keeps the run's span; the button is for a running run only.
    void stopMidSweep() {
        Bench b;
        auto *stop = b.find<QPushButton>("BuStopSweep");
        auto *progress = b.find<QLabel>("LaSweepProgress");
        QVERIFY(!stop->isEnabled());
        QSignalSpy ended(&b.f.Session(), &Core::Session::runEnded);
        b.start("6");
        QVERIFY(stop->isEnabled());
        QCOMPARE(progress->text(), QStringLiteral("0 / 6"));
        QVERIFY(TickForPoint(b.w()));
        QCOMPARE(b.ys(0).size(), 1); // the point taken, none of those to come
        QVERIFY(TickForPoint(b.w()));
        QCOMPARE(progress->text(), QStringLiteral("2 / 6"));
        stop->click();
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toBool(), false);
        QCOMPARE(Main::TakenSweepPoints(), 2);
        QCOMPARE(progress->text(), QStringLiteral("2 / 6"));
        QVERIFY(!stop->isEnabled());
        const double rs = 100.0 * std::cos(0.5);
        QCOMPARE(b.ys(0).size(), 2);
        QVERIFY(Near(b.ys(0), rs, 0.01));
        const Chart::Range x = b.find<Chart::SweepChart>("grafik")->axisRange(Chart::Axis::Bottom);
        QVERIFY2(x.min <= 1.0 && x.max >= 6.0,
                 qPrintable(QStringLiteral("%1 … %2").arg(x.min).arg(x.max)));
        QVERIFY(TickWithFrame(b.w())); // polling goes on; nothing more is stored
        QCOMPARE(Main::TakenSweepPoints(), 2);
        QVERIFY(b.f.messages.isEmpty());
    }

    // A second, longer run does not show the first one's values past its own points.
    void earlierRunNotDrawn() {
        Bench b;
        b.start("3");
        for (int i = 0; i < 3; ++i)
            QVERIFY(TickForPoint(b.w()));
        b.meter.magnitude = 200.0f;
        b.start("5");
        QVERIFY(TickForPoint(b.w()));
        QCOMPARE(b.ys(0).size(), 1);
        QVERIFY(Near(b.ys(0), 200.0 * std::cos(0.5), 0.01));
    }

    // More points than a run holds are said and nothing starts; the typed text stays.
    void tooManyPoints() {
        Bench b;
        b.start("1000");
        QCOMPARE(b.f.messages, QStringList{QStringLiteral("Число точек: от 2 до 256")});
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(b.find<QLineEdit>("ikol")->text(), QStringLiteral("1000"));
        b.f.messages.clear();
        b.start("256");
        QVERIFY(b.f.messages.isEmpty());
        QVERIFY(Main::SweepRunning);
        QCOMPARE(Main::SweepPoints, 256);
    }

    // A finished run is drawn again for another parameter and in the other circuit, from the
    // points it took.
    void regraphAfterTheRun() {
        Bench b;
        b.start("3");
        for (int i = 0; i < 3; ++i)
            QVERIFY(TickForPoint(b.w()));
        QVERIFY(!Main::SweepRunning);
        b.w().tmr.stop(); // no frame from now on: what changes comes from the store
        auto *grafik = b.find<Chart::SweepChart>("grafik");
        QVERIFY(Near(b.ys(0), 100.0 * std::cos(0.5), 0.01));

        TypeEntry(b.find<QComboBox>("b_par1"), QStringLiteral("Z"));
        QCOMPARE(grafik->axisTitle(Chart::Axis::Left), QStringLiteral("Z"));
        QCOMPARE(b.ys(0).size(), 3);
        QVERIFY(Near(b.ys(0), 100.0, 0.01));

        TypeEntry(b.find<QComboBox>("b_par1"), QStringLiteral("R"));
        b.find<QRadioButton>("b_paral")->click();
        QVERIFY(Near(b.ys(0), 100.0 / std::cos(0.5), 0.02)); // Rp of the same impedance
        QVERIFY2(b.find<QLabel>("ip1sr")->text().startsWith(QStringLiteral("Rp")),
                 qPrintable(b.find<QLabel>("ip1sr")->text()));
        b.find<QRadioButton>("b_serial")->click();
        QVERIFY(Near(b.ys(0), 100.0 * std::cos(0.5), 0.01));
    }

    // Keys: F5 starts a run as START does, Shift+F5 stops it as "Стоп" does.
    void keysStartAndStop() {
        Bench b;
        b.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.w()));
        b.find<QLineEdit>("istart")->setText(QStringLiteral("1000"));
        b.find<QLineEdit>("ikol")->setText(QStringLiteral("4"));
        QTest::keyClick(&b.w(), Qt::Key_F5);
        QVERIFY(Main::SweepRunning);
        QVERIFY(TickForPoint(b.w()));
        QTest::keyClick(&b.w(), Qt::Key_F5, Qt::ShiftModifier);
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Main::TakenSweepPoints(), 1);
    }

    // Closing while recording asks first: no keeps the window and the recording, yes closes.
    void closingWhileRecordingAsks() {
        Bench b;
        QTemporaryDir dir;
        QVERIFY(b.w().StartRecording(dir.filePath(QStringLiteral("r.csv"))));
        QStringList asked;
        bool answer = false;
        Framework::SetQuestionHandler([&](const QString &text) {
            asked << text;
            return answer;
        });
        b.w().show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.w()));
        QVERIFY(!b.w().close());
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked.first().contains(QStringLiteral("запись")));
        QVERIFY(b.w().isVisible());
        QVERIFY(b.f.Session().Recorder().isRecording());
        QVERIFY(b.w().tmr.isActive()); // polling goes on as it was
        answer = true;
        QVERIFY(b.w().close());
        QCOMPARE(asked.size(), 2);
        b.w().StopRecording();
        QVERIFY(b.w().close()); // nothing recorded: nothing asked
        QCOMPARE(asked.size(), 2);
    }
};

QTEST_MAIN(TestRunControl)
#include "test_run_control.moc"
