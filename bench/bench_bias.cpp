// Figures for the runs over the DC bias and the test level, against the paced simulated meter in
// a process of its own (a KT-44 with a capacitor whose value falls with the bias): the time a
// 41-point bias run 0…40 V takes against 41 × (poll period + settle), the poll period taken from
// a frequency run of as many points on the same meter; how far each point lies from the part's
// law; the same with a bias source that needs 100 ms; and a run over the six levels against
// 6 × (poll period + the level's settle).
#include "bench/bench_support.h"
#include "core/session.h"
#include "link/device.h"
#include "sweep/sweep_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace Bench;

namespace {

constexpr double NominalFarads = 100e-9;
constexpr double HalfVolts = 12.0; // V0 of the part: C(V) = C0 / (1 + (V/V0)^2)
constexpr double LevelShare = 0.03;
constexpr std::int32_t HeldHz = 1000;
constexpr int BiasPoints = 41;

QString Part() {
    return QStringLiteral("C=100n,R=3,V0=%1,KL=%2").arg(HalfVolts).arg(LevelShare);
}

// Runs the event loop until the run started by start() has ended; the milliseconds from the
// start to the end of the tick that stored the last point, or -1.
template <class Start> double TimeRun(Core::Session &session, Start start) {
    QEventLoop loop;
    QElapsedTimer clock;
    double endedMs = -1.0;
    const QMetaObject::Connection watch =
        QObject::connect(&session, &Core::Session::ticked, [&](const Core::TickResult &result) {
            if (result.sweepFinished && endedMs < 0) {
                endedMs = clock.nsecsElapsed() / 1e6;
                loop.quit();
            }
        });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a generous bound
    clock.start();
    if (!start()) return -1.0;
    loop.exec();
    QObject::disconnect(watch);
    return endedMs;
}

Sweep::Request BiasRequest() {
    Sweep::Request request;
    request.quantity = Sweep::Quantity::Bias;
    request.start = 0;
    request.stop = 40000;
    request.points = BiasPoints;
    return request;
}

// The largest relative distance of a point's series capacitance (from its raw |Z| and angle)
// from the part's law at the point's bias.
double WorstLawError() {
    double worst = 0.0;
    for (int i = 0; i < Main::SweepPoints; ++i) {
        const double omega = 2.0 * M_PI * Main::SweepReportedFrequencies[i];
        const double reactance = Main::SweepMagnitudes[i] * std::sin(Main::SweepPhases[i]);
        const double measured = -1.0 / (omega * reactance);
        const double volts = Main::SweepSettings[i] / 1000.0;
        const double law = NominalFarads / (1.0 + (volts / HalfVolts) * (volts / HalfVolts));
        worst = std::max(worst, std::abs(measured / law - 1.0));
    }
    return worst;
}

int PointsAtAnotherBias() {
    int count = 0;
    for (int i = 0; i < Main::SweepPoints; ++i)
        if (Main::SweepReportedBiases[i] != Main::SweepSettings[i]) ++count;
    return count;
}

bool Find(Core::Session &session) {
    if (!session.Search().found) return false;
    session.tmr.stop();
    session.SetCircuit(true);
    session.SetFollowMeter(false);
    session.SetFrequency(HeldHz);
    return true;
}

void BiasRuns(const QString &simulator, int settleMs) {
    SimProcess meter;
    QStringList options{QStringLiteral("--paced"), QStringLiteral("--dut"), Part()};
    if (settleMs > 0) options << QStringLiteral("--bias-settle") << QString::number(settleMs);
    if (!meter.start(simulator, options)) {
        std::printf("bias: the simulated meter did not start (%s)\n", qPrintable(simulator));
        return;
    }
    Device::ClearPortMappings();
    Device::MapPort(1, meter.path);
    Core::Session session;
    if (!Find(session)) {
        std::printf("bias: the search did not find the simulated meter\n");
        return;
    }
    // The poll period of a run on this meter: a frequency run of as many points.
    Core::SweepPlan plan;
    plan.low = 1000;
    plan.high = 41000;
    plan.points = BiasPoints;
    plan.frequencySweep = true;
    const double frequencyMs = TimeRun(session, [&] { return session.StartSweep(plan); });
    const double periodMs = frequencyMs / BiasPoints;
    session.SetFrequency(HeldHz);

    const double biasMs =
        TimeRun(session, [&] { return session.StartQuantityRun(BiasRequest()).accepted(); });
    const double boundMs = BiasPoints * (periodMs + settleMs);
    std::printf("41-point bias run 0…40 V, paced meter, source settle %d ms: %.0f ms against "
                "41 x (%.1f + %d) = %.0f ms, ratio %.3f (goal 1.1 or less); worst point off the "
                "part's law %.3f %% (goal 0.5 %%); points at another bias than planned: %d\n",
                settleMs, biasMs, periodMs, settleMs, boundMs, biasMs / boundMs,
                100.0 * WorstLawError(), PointsAtAnotherBias());

    if (settleMs > 0) return;
    Sweep::Request levels;
    levels.quantity = Sweep::Quantity::Level;
    levels.spacing = Sweep::Spacing::List;
    levels.list = {5, 10, 50, 100, 500, 1000};
    const double levelMs =
        TimeRun(session, [&] { return session.StartQuantityRun(levels).accepted(); });
    const double levelBound = 6 * (periodMs + Core::Session::LevelSettleMs);
    std::printf("6-level run, paced meter: %.0f ms against 6 x (%.1f + %d) = %.0f ms, ratio %.3f\n",
                levelMs, periodMs, Core::Session::LevelSettleMs, levelBound, levelMs / levelBound);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    BiasRuns(QStringLiteral(IMPEDIX_SIM_PATH), 0);
    BiasRuns(QStringLiteral(IMPEDIX_SIM_PATH), 100);
    return 0;
}
