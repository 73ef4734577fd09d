// Figures for the sweep: the cost of one graph redraw of 2 x 256 points with its labels, the time
// a 50-point frequency sweep takes against the simulated meter paced at 9600 Bd compared with
// the bound of its ticks, and the CPU share of the program while a sweep runs with the panel
// shown, and the same for a log run and for a redraw with a reference and markers. The meter runs
// as its own process (impedix-sim) so that only the program's CPU counts.
#include "bench/bench_support.h"
#include "core/session.h"
#include "link/device.h"
#include "sweep/sweep_store.h"
#include "ui/chart/sweep_chart.h"
#include "ui/main_state.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <ctime>

using namespace Bench;

namespace {

template <class T> T *Find(QWidget &window, const char *name) {
    T *control = window.findChild<T *>(QLatin1String(name));
    if (!control) qFatal("no control %s", name);
    return control;
}

void ShowGraph(Main::Tb_tok &window) {
    window.show();
    Find<QCheckBox>(window, "ChBoGraph")->click();
    (void)QTest::qWaitForWindowExposed(&window);
}

void Redraw() {
    Device::MapPort(99, QStringLiteral("/nonexistent/impedix-bench")); // no port present
    Core::Session core;
    Main::Tb_tok window(core);
    ShowGraph(window);
    Find<QCheckBox>(window, "ChBoF")->click();
    Main::SweepPoints = Main::SweepCapacity;
    Main::SweepIndex = Main::SweepCapacity - 1;
    for (int k = 0; k < Main::SweepCapacity; ++k) {
        Main::SweepFrequencies[k] = 25.0f + 39215.6f * float(k);
        for (int p = 0; p < Main::SweepParameterCount; ++p)
            Main::SweepSamples[p][k] = float(1000.0 * (p + 1) * (1.0 + std::sin(k * 0.05)));
    }
    constexpr int calls = 400;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < calls; ++i) {
        Main::SweepSamples[0][i % 256] += 1.0f; // a new point each time
        window.RedrawGraph();
    }
    const double perCall = clock.nsecsElapsed() / 1e6 / calls;
    clock.restart();
    constexpr int painted = 50;
    for (int i = 0; i < painted; ++i) {
        window.RedrawGraph();
        window.repaint();
    }
    const double withPaint = clock.nsecsElapsed() / 1e6 / painted;
    std::printf("RedrawGraph, 2 x 256 points with labels: %.3f ms per call (goal under 4 ms); "
                "with the window repainted: %.3f ms\n",
                perCall, withPaint);

    // The same with a held reference, four markers and the log axis.
    window.HoldReference();
    Find<QCheckBox>(window, "ChBoLogAxis")->click();
    auto *chart = Find<Chart::SweepChart>(window, "grafik");
    for (int m = 0; m < Chart::SweepChart::MarkerLimit; ++m)
        chart->addMarker(Main::SweepFrequencies[40 + 50 * m] * 0.001);
    clock.restart();
    for (int i = 0; i < calls; ++i) {
        Main::SweepSamples[0][i % 256] += 1.0f;
        window.RedrawGraph();
    }
    const double compared = clock.nsecsElapsed() / 1e6 / calls;
    std::printf("RedrawGraph, 2 x 256 points, a reference, 4 markers, log axis: %.3f ms per call "
                "(goal under 4 ms)\n",
                compared);
    Device::ClearPortMappings();
}

struct Exchanges {
    double measurementMs = 0.0;
    double frequencyMs = 0.0;
};

Exchanges TimeExchanges() {
    constexpr int count = 20;
    Exchanges e;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        Device::ReadMeasurement();
    e.measurementMs = clock.nsecsElapsed() / 1e6 / count;
    clock.restart();
    for (int i = 0; i < count; ++i)
        Device::SetFrequency(1000 + i);
    e.frequencyMs = clock.nsecsElapsed() / 1e6 / count;
    return e;
}

// Starts a frequency sweep and runs the event loop until it has ended. Returns the milliseconds
// from START to the end of the tick that stored the last point.
double RunSweep(Main::Tb_tok &window, int low, int high, int points) {
    Find<QLineEdit>(window, "istart")->setText(QString::number(low));
    Find<QLineEdit>(window, "istop")->setText(QString::number(high));
    Find<QLineEdit>(window, "ikol")->setText(QString::number(points));
    QEventLoop loop;
    QElapsedTimer clock;
    double endedMs = -1.0;
    // Connected after the window's own handler, so it runs right after each tick.
    const QMetaObject::Connection watch = QObject::connect(&window.tmr, &QTimer::timeout, [&] {
        if (!Main::SweepRunning && endedMs < 0) {
            endedMs = clock.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    QTimer::singleShot(points * 1000, &loop, &QEventLoop::quit); // a generous bound
    clock.start();
    Find<QPushButton>(window, "bgraf")->click();
    loop.exec();
    QObject::disconnect(watch);
    return endedMs;
}

void Sweeps(const QString &simulator) {
    SimProcess meter;
    if (!meter.start(simulator, {QStringLiteral("--paced"), QStringLiteral("--dut"),
                                 QStringLiteral("C=100n,R=3,L=20n")})) {
        std::printf("sweep: the simulated meter did not start (%s)\n", qPrintable(simulator));
        return;
    }
    Device::ClearPortMappings();
    Device::MapPort(1, meter.path);
    Core::Session core;
    Main::Tb_tok window(core);
    ShowGraph(window);
    if (!Main::CycleStarted) {
        std::printf("sweep: the search did not find the simulated meter\n");
        return;
    }
    window.tmr.stop();
    const Exchanges e = TimeExchanges();
    Find<QCheckBox>(window, "ChBoF")->click();

    constexpr int points = 50;
    const double tookMs = RunSweep(window, 1000, 100000, points);
    const double boundMs = points * (40.0 + e.measurementMs + e.frequencyMs);
    std::printf("50-point frequency sweep, paced meter: %.0f ms against 50 x (40 + %.1f + %.1f) "
                "= %.0f ms, ratio %.3f (goal 1.05 or less)\n",
                tookMs, e.measurementMs, e.frequencyMs, boundMs, tookMs / boundMs);

    Find<QComboBox>(window, "b_spacing")->setCurrentIndex(1);
    const double logMs = RunSweep(window, 1000, 100000, points);
    std::printf("50-point log sweep, paced meter: %.0f ms against %.0f ms, ratio %.3f (goal 1.05 "
                "or less)\n",
                logMs, boundMs, logMs / boundMs);
    Find<QComboBox>(window, "b_spacing")->setCurrentIndex(0);

    const double cpuBefore = ProcessCpuMs();
    QElapsedTimer clock;
    clock.start();
    const double longMs = RunSweep(window, 25, 10000000, 256);
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    std::printf("CPU during a 256-point full-band sweep with the panel shown (%.1f s): %.2f %% of "
                "a core (goal under 10 %%)\n",
                longMs / 1000.0, 100.0 * cpuMs / (clock.nsecsElapsed() / 1e6));
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Redraw();
    Sweeps(QStringLiteral(IMPEDIX_SIM_PATH));
    return 0;
}
