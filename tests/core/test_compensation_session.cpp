// Fixture compensation on the session, against a simulated meter behind a fixture of 0.5 Ω +
// 50 nH leads and 5 pF ∥ 1 nS stray: the open and short runs measure it, and the readings of a
// 10 pF part are then the part's, at the measured frequencies and between them; outside the
// measured span they are as measured and marked; the fixture's file holds what was measured.
#include "compensation/compensation_file.h"
#include "link/measurement.h"
#include "sim/fixture.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sweep/sweep_store.h"
#include "tests/core/session_fixture.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

using namespace TestCore;

namespace {

constexpr int Generous = 30000; // ms; a deadline for what must happen, never a measured time
constexpr double Pi = 3.14159265358979323846;

Sim::Component Part() {
    Sim::Component part;
    part.capacitance = 10e-12;
    return part;
}

struct Bench : CleanState {
    Bench() : meter(2, Part()), host(meter, TestPeer::Timing()) {
        meter.setFixture(Sim::Fixture{0.5, 50e-9, 5e-12, 1e-9});
        if (!host.start()) qFatal("no pseudo-terminal");
        Device::MapPort(1, host.slavePath());
        session.SetFixtureName(QStringLiteral("bench-test"));
    }
    ~Bench() { ResetProgramState(); }

    bool Find() {
        if (!SearchUntilFound(session).found) return false;
        session.tmr.stop();
        return TickWithFrame(session).accepted;
    }

    bool Measure(Sim::Terminals terminals, Comp::Kind kind, const std::vector<double> &hz) {
        meter.setTerminals(terminals);
        QSignalSpy ended(&session, &Core::Session::compensationRunEnded);
        if (!session.StartCompensationRun(kind, hz, 2)) return false;
        session.tmr.stop();
        const QDeadlineTimer deadline(Generous);
        while (session.CompensationRunning() && !deadline.hasExpired())
            session.Tick();
        session.tmr.stop();
        return ended.count() == 1 && ended.first().first().toBool();
    }

    // The capacitance of a reading at hz, from the impedance the session now holds.
    double CapacitanceAt(std::int32_t hz) {
        session.SetFrequency(hz);
        Core::TickResult result = TickWithFrame(session);
        while (Device::FrequencyHz != hz && result.accepted)
            result = TickWithFrame(session);
        const Comp::Complex z = std::polar<double>(Device::ParameterValues[Device::ValMagnitude],
                                                   Device::ParameterValues[Device::ValPhase]);
        return -1.0 / (2 * Pi * hz * z.imag());
    }

    Sim::Instrument meter;
    Sim::PtyHost host;
    Core::Session session;
};

} // namespace

class TestCompensationSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void openAndShortRecoverThePart() {
        Bench b;
        QVERIFY(b.Find());
        b.session.SetFrequency(1000);
        const std::vector<double> grid{1000, 10000, 100000, 1000000};
        QVERIFY(b.Measure(Sim::Terminals::Open, Comp::OpenCorrection, grid));
        QVERIFY(b.Measure(Sim::Terminals::Short, Comp::ShortCorrection, grid));
        QCOMPARE(Main::CurrentFrequency, 1000); // the user's frequency is back
        b.meter.setTerminals(Sim::Terminals::Part);

        // Uncorrected, the stray adds half the part.
        QVERIFY(std::fabs(b.CapacitanceAt(10000) / 15e-12 - 1.0) < 0.01);
        b.session.SetCompensationEnabled(Comp::OpenCorrection | Comp::ShortCorrection);
        for (std::int32_t hz : {1000, 10000, 31623, 500000}) {
            const double c = b.CapacitanceAt(hz);
            QVERIFY2(std::fabs(c / 10e-12 - 1.0) < 0.005,
                     qPrintable(QStringLiteral("%1 Hz: %2 F").arg(hz).arg(c)));
            QCOMPARE(b.session.LastCorrection(),
                     unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
            // The frame's own impedance is kept beside the corrected one.
            QVERIFY(Device::FrameMagnitude != Device::ParameterValues[Device::ValMagnitude]);
        }
        // Below the measured span: as measured, marked.
        b.CapacitanceAt(500);
        QCOMPARE(b.session.LastCorrection(), Main::CorrectionOutside);

        // The fixture's file holds both kinds, for this model.
        const Comp::ParsedCompensation kept = Comp::LoadCompensation(
            Comp::CompensationPath(QStringLiteral("KT-44"), QStringLiteral("bench-test")),
            QStringLiteral("KT-44"));
        QVERIFY2(kept.ok, qPrintable(kept.error));
        QCOMPARE(kept.compensation.open.hz, grid);
        QCOMPARE(kept.compensation.shorted.hz, grid);
    }

    // A sweep stores the corrected impedance and keeps the frame's own beside it.
    void sweepPointsCorrected() {
        Bench b;
        QVERIFY(b.Find());
        const std::vector<double> grid{1000, 100000};
        QVERIFY(b.Measure(Sim::Terminals::Open, Comp::OpenCorrection, grid));
        QVERIFY(b.Measure(Sim::Terminals::Short, Comp::ShortCorrection, grid));
        b.meter.setTerminals(Sim::Terminals::Part);
        b.session.SetCompensationEnabled(Comp::OpenCorrection | Comp::ShortCorrection);
        Core::SweepPlan plan;
        plan.low = 2000;
        plan.high = 50000;
        plan.points = 3;
        plan.frequencySweep = true;
        QVERIFY(b.session.StartSweep(plan));
        b.session.tmr.stop();
        const QDeadlineTimer deadline(Generous);
        while (Main::SweepRunning && !deadline.hasExpired())
            b.session.Tick();
        QVERIFY(!Main::SweepRunning);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(Main::SweepCorrections[i],
                     unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
            const double hz = Main::SweepFrequencies[i];
            const double c =
                -1.0 / (2 * Pi * hz * Main::SweepMagnitudes[i] * std::sin(Main::SweepPhases[i]));
            QVERIFY2(std::fabs(c / 10e-12 - 1.0) < 0.005, qPrintable(QString::number(c)));
            QVERIFY(Main::SweepFrameMagnitudes[i] < Main::SweepMagnitudes[i]); // stray in parallel
        }
    }

    // Refusals: no meter, a sweep going; a run that cannot reach its frequency gives up.
    void runRefusals() {
        Bench b;
        QVERIFY(!b.session.StartCompensationRun(Comp::OpenCorrection, {1000}));
        QVERIFY(b.Find());
        QVERIFY(!b.session.StartCompensationRun(Comp::OpenCorrection, {}));
        QVERIFY(!b.session.SetLoadStandard({Comp::LoadStandard::Form::ResistanceReactance, 0, 0}));
        QVERIFY(!b.Measure(Sim::Terminals::Short, Comp::ShortCorrection, {5e9})); // out of reach
        QVERIFY(!b.session.CompensationRunning());
    }
};

QTEST_GUILESS_MAIN(TestCompensationSession)
#include "test_compensation_session.moc"
