// Figures for a chart printed for a report: the sweep chart of 2 × 256 points with a reference
// drawn at 3300 × 2100 (A4 at 300 dpi) on its light ground with the title line, the PNG encoded
// from it and its size, and the same picture as SVG. The chart is shown at its designed size, as
// in the window; the median of several tries is given.
#include "ui/chart/sweep_chart.h"
#include "ui/print_picture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Points = 256;
constexpr int Tries = 7;
const QSize A4(3300, 2100);

double MedianMs(const std::function<void()> &work) {
    std::vector<double> times;
    for (int i = 0; i < Tries; ++i) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Printed(const QString &keep) {
    Chart::SweepChart chart;
    chart.resize(811, 605);
    chart.show();
    (void)QTest::qWaitForWindowExposed(&chart);
    QList<QPointF> c, d, reference;
    for (int i = 0; i < Points; ++i) {
        const double f = 25.0 * std::pow(4e5, double(i) / (Points - 1)) / 1000.0;
        c << QPointF(f, 100.0 + 3.0 * std::sin(i / 9.0));
        d << QPointF(f, 0.001 * (1.0 + i * 0.05));
        reference << QPointF(f, 101.0);
    }
    chart.setAxisTitle(Chart::Axis::Bottom, QStringLiteral("Частота, kHz"));
    chart.setAxisTitle(Chart::Axis::Left, QStringLiteral("Cs, nF"));
    chart.setAxisTitle(Chart::Axis::Right, QStringLiteral("D"));
    chart.replacePoints(0, c);
    chart.replacePoints(1, d);
    chart.setReferencePoints(0, reference);
    chart.setLogAxis(true, 1000.0);
    const QString title = QStringLiteral("10.12.2026 15:04  ·  KT-44  ·  уровень 1 В, смещение 0 "
                                         "В, диапазон авто, скорость норм., схема послед.  ·  "
                                         "Cs, nF, D");
    const double image = MedianMs([&] { (void)Main::PrintImage(chart, title, A4); });
    QByteArray png;
    const double pngMs = MedianMs([&] { png = Main::PrintPng(chart, title, A4); });
    QByteArray svg;
    const double svgMs = MedianMs([&] { svg = Main::PrintSvg(chart, title, A4); });
    std::printf("print picture 3300 x 2100, 2 x 256 points and a reference: drawn in %.1f ms, "
                "as PNG %.1f ms (%.0f KiB), as SVG %.1f ms (%.0f KiB), median of %d\n",
                image, pngMs, png.size() / 1024.0, svgMs, svg.size() / 1024.0, Tries);
    QFile file(keep);
    if (!keep.isEmpty() && file.open(QIODevice::WriteOnly)) file.write(png);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // bench_print FILE also keeps the picture, for a look at it.
    Printed(application.arguments().value(1));
    return 0;
}
