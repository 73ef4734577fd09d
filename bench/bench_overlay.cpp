// Figures for kept sweeps laid over the graph: one graph redraw of 2 × 256 points with eight
// overlays of 256 points each (goal under 4 ms, as without them), with the window repainted,
// the redraw that replaces every overlay's curves (a series switched on or off), and the Nyquist
// and Bode views of the nine sweeps built again; then the redraw with a log value axis, a
// reference and a fitted curve as well. No meter: the run's points are written into the
// store, the overlays kept in a temporary library.
#include "bench/bench_support.h"
#include "core/session.h"
#include "library/sweep_library.h"
#include "link/device.h"
#include "sweep/sweep_store.h"
#include "ui/chart/sweep_chart.h"
#include "ui/main_state.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>

using namespace Bench;

namespace {

constexpr int Points = 256;
constexpr int Overlays = 8;

template <class T> T *Find(QWidget &window, const char *name) {
    T *control = window.findChild<T *>(QLatin1String(name));
    if (!control) qFatal("no control %s", name);
    return control;
}

// A series RC part's sweep of 256 points from 25 Hz to 10 MHz, its R and C a little apart for
// each k, so that no two curves lie on one another.
Library::KeptSweep Kept(int k) {
    Library::KeptSweep sweep;
    sweep.entry.name = QStringLiteral("Деталь %1").arg(k + 1);
    sweep.entry.model = QStringLiteral("KT-44");
    const double r = 5.0 + k, c = 100e-9 * (1.0 + 0.05 * k);
    for (int i = 0; i < Points; ++i) {
        Exchange::SweepPoint p;
        p.planned = p.frequency = 25.0 + 39215.6 * i;
        const double x = -1.0 / (2.0 * M_PI * p.frequency * c);
        p.magnitude = std::hypot(r, x);
        p.phase = std::atan2(x, r);
        sweep.data.points.push_back(p);
    }
    return sweep;
}

// Milliseconds per call of work, over calls.
template <class Work> double PerCall(int calls, Work work) {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < calls; ++i)
        work(i);
    return clock.nsecsElapsed() / 1e6 / calls;
}

void Overlaid() {
    Device::MapPort(99, QStringLiteral("/nonexistent/impedix-bench")); // no port present
    Core::Session core;
    Main::Tb_tok window(core);
    window.show();
    Find<QCheckBox>(window, "ChBoGraph")->click();
    (void)QTest::qWaitForWindowExposed(&window);
    Find<QCheckBox>(window, "ChBoF")->click();
    Main::SweepPoints = Main::SweepCapacity;
    Main::SweepIndex = Main::SweepCapacity - 1;
    for (int k = 0; k < Main::SweepCapacity; ++k) {
        Main::SweepFrequencies[k] = 25.0f + 39215.6f * float(k);
        for (int p = 0; p < Main::SweepParameterCount; ++p)
            Main::SweepSamples[p][k] = float(1000.0 * (p + 1) * (1.0 + std::sin(k * 0.05)));
    }
    constexpr int calls = 400;
    const double alone = PerCall(calls, [&](int i) {
        Main::SweepSamples[0][i % Points] += 1.0f; // a new point each time
        window.RedrawGraph();
    });

    QTemporaryDir folder;
    Library::SweepLibrary library;
    if (!library.open(QDir(folder.path()).filePath(QStringLiteral("bench.sqlite"))).ok()) {
        std::printf("overlays: the temporary library did not open\n");
        return;
    }
    window.UseLibrary(&library, nullptr);
    for (int k = 0; k < Overlays; ++k) {
        qint64 id = 0;
        if (!library.keep(Kept(k), &id).ok() || !window.SetOverlay(id, true)) {
            std::printf("overlays: sweep %d was not overlaid\n", k + 1);
            return;
        }
    }
    auto *chart = Find<Chart::SweepChart>(window, "grafik");
    int drawn = 0;
    for (const Chart::Overlay &overlay : chart->overlays())
        drawn += overlay.points[0].size() + overlay.points[1].size();

    const double overlaid = PerCall(calls, [&](int i) {
        Main::SweepSamples[0][i % Points] += 1.0f;
        window.RedrawGraph();
    });
    const double painted = PerCall(50, [&](int i) {
        Main::SweepSamples[0][i % Points] += 1.0f;
        window.RedrawGraph();
        window.repaint();
    });
    QCheckBox *second = Find<QCheckBox>(window, "p2on");
    const double replaced = PerCall(100, [&](int) { second->click(); });
    std::printf("RedrawGraph, 2 x 256 points: %.3f ms per call alone; with %d overlays of %d "
                "points (%d points drawn over the graph): %.3f ms (goal under 4 ms); with the "
                "window repainted: %.3f ms; a series switched on or off, every overlay curve "
                "replaced: %.3f ms\n",
                alone, Overlays, Points, drawn, overlaid, painted, replaced);

    // As a lab user reads impedance: a log value axis, a held reference and a fitted curve over
    // the run and the eight overlays. No fit is made here: the fitted curve (the run's points a
    // little apart) is handed to the chart after each redraw, which clears it.
    Find<QCheckBox>(window, "ChBoLogY")->setChecked(true);
    window.HoldReference();
    QList<QPointF> fitted[Chart::SweepChart::SeriesCount];
    for (int series = 0; series < Chart::SweepChart::SeriesCount; ++series)
        for (const QPointF &p : chart->points(series))
            fitted[series].append(QPointF(p.x(), p.y() * 1.02));
    const auto logRedraw = [&](int i) {
        Main::SweepSamples[0][i % Points] += 1.0f;
        window.RedrawGraph();
        for (int series = 0; series < Chart::SweepChart::SeriesCount; ++series)
            chart->setFittedPoints(series, fitted[series]);
    };
    const double logged = PerCall(calls, logRedraw);
    const double loggedPainted = PerCall(50, [&](int i) {
        logRedraw(i);
        window.repaint();
    });
    std::printf("RedrawGraph with log Y (%s), a reference, a fitted curve and %d overlays, "
                "2 x 256 points: %.3f ms per call; with the window repainted: %.3f ms\n",
                chart->isValueLog(0) && chart->isValueLog(1) ? "both axes" : "NOT ON", Overlays,
                logged, loggedPainted);
    Find<QCheckBox>(window, "ChBoLogY")->setChecked(false);

    const double views = PerCall(20, [&](int i) { window.ShowViews(i % 2); });
    std::printf("Nyquist and Bode views of the run and %d overlays built again: %.2f ms\n",
                Overlays, views);
    Device::ClearPortMappings();
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    Overlaid();
    return 0;
}
