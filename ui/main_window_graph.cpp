// The sweep graph: its start-up picture, and the redraw with the statistics of the run.
#include "ui/main_window.h"

#include "ui_graph_panel.h"

#include "core/session.h"
#include "link/measurement.h"
#include "sweep/connection_breaks.h"
#include "sweep/plot_scale.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/run_text.h"
#include "ui/swept_quantity.h"
#include "ui_main_window.h"

#include <QLabel>

#include <algorithm>
#include <cmath>

namespace Main {

namespace {

QString Title(char letter) {
    return QString(QLatin1Char(letter));
}

// points holds one entry per point of the run, in run order; a point that is no measurement
// (given up, an overload, an impossible angle) becomes a gap in the line. A point not yet taken
// has status 0 from START, so the point the tick has just stored counts as well.
void LeaveOutUnmeasured(QList<QPointF> &points) {
    for (int k = 0; k < points.size(); ++k)
        if (!PointMeasured(SweepState, k)) points[k].setY(std::nan(""));
}

} // namespace

void Tb_tok::p1onClick() {
    RedrawGraph();
}

void Tb_tok::p2onClick() {
    RedrawGraph();
}

// Two flat lines at zero over the start-up frequencies, and the track bar at its start.
void Tb_tok::PrepareSweepGraph() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    Chart::SweepChart *chart = g.grafik;
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
        chart->clearSeries(s);
        chart->setSeriesActive(s);
    }
    m_core->ClearSweep();
    QList<QPointF> line;
    for (int i = 0; i < SweepPoints; ++i)
        line.append(QPointF(SweepFrequencies[i] * KilohertzPerHertz, 0.0));
    chart->replacePoints(0, line);
    chart->replacePoints(1, line);
    chart->setBreaks({});
    SetMarkerRange(SweepPoints - 1);
    g.marker->setValue(0);
}

void Tb_tok::RedrawGraph() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    Chart::SweepChart *chart = g.grafik;
    SweepSummary summary;
    m_core->SummariseSweep(summary);
    ui->PaGraph->ShowStatistics(summary);
    m_plotFactor[0] = summary.factor[0];
    m_plotFactor[1] = summary.factor[1];
    const bool frequencySweep = g.ChBoF->isChecked();
    const bool deviation = m_deviation != DeviationView::Off && ReferenceMatches();
    const QString marked = !deviation                              ? QString()
                           : m_deviation == DeviationView::Percent ? QStringLiteral("Δ%")
                                                                   : QStringLiteral("Δ");
    const int parameter[2] = {Param1Index, Param2Index};
    chart->setAxisTitle(Chart::Axis::Left, marked + Title(summary.title[0]));
    chart->setAxisTitle(Chart::Axis::Right, marked + Title(summary.title[1]));
    for (int s = 0; s < 2; ++s)
        chart->setAxisUnit(s == 0 ? Chart::Axis::Left : Chart::Axis::Right,
                           deviation && m_deviation == DeviationView::Percent
                               ? QStringLiteral("%")
                               : Sweep::AxisUnit(parameter[s], m_plotFactor[s]));
    chart->setLogAxis(LogAxisApplies(SweepQuantity, frequencySweep) && g.ChBoLogAxis->isChecked(),
                      1000.0);

    // An unticked series is left without points, never made inactive.
    const bool shown[2] = {g.p1on->isChecked(), g.p2on->isChecked()};
    const float *plotted[2] = {PlotValues1, PlotValues2};
    bool logY[2] = {};
    ShowValueScale(shown, deviation, logY);
    int leftOut = 0;
    // Points a run has not taken are not drawn; the axis keeps the run's whole span.
    const int drawn = DrawnSweepPoints(SweepState, m_pointInHand);
    double spanLow = std::nan(""), spanHigh = std::nan("");
    for (int k = 0; k < SweepPoints; ++k) {
        const double x = AxisValue(SweepState, k, frequencySweep);
        spanLow = k == 0 ? x : std::min(spanLow, x);
        spanHigh = k == 0 ? x : std::max(spanHigh, x);
    }
    chart->setXSpan(spanLow, spanHigh);
    for (int s = 0; s < 2; ++s) {
        QList<QPointF> &points = m_plotPoints[s];
        points.resize(0);
        if (shown[s]) {
            chart->setSeriesActive(s);
            if (deviation) {
                points = ComparedPoints(s, parameter[s], plotted[s]);
            } else {
                for (int k = 0; k < SweepPoints; ++k)
                    points.append(QPointF(AxisValue(SweepState, k, frequencySweep), plotted[s][k]));
            }
            LeaveOutUnmeasured(points);
            if (points.size() > drawn) points.resize(drawn);
            if (logY[s]) leftOut += Sweep::LeftOutOnLog(points);
        }
        chart->setReferencePoints(s, shown[s] && !deviation
                                         ? ComparedPoints(s, parameter[s], plotted[s])
                                         : QList<QPointF>());
        chart->replacePoints(s, points);
    }
    ShowLogLeftOut(leftOut);
    ShowFittedCurves(shown, deviation);
    ShowSortLimits(shown, deviation);
    ShowOverlays(shown, deviation);
    ShowConnectionBreaks();
    chart->setAxisTitle(Chart::Axis::Bottom, AxisTitle(SweepQuantity, frequencySweep));
}

// "Лог. Y" is offered while a shown parameter is a magnitude and no deviation is shown; each
// series whose parameter allows it follows the box.
void Tb_tok::ShowValueScale(const bool shown[2], bool deviation, bool logY[2]) {
    Ui::GraphPanel &g = ui->PaGraph->form();
    const int parameter[2] = {Param1Index, Param2Index};
    bool offered = false;
    for (int s = 0; s < 2; ++s) {
        const bool applies = shown[s] && !deviation && Sweep::LogValueApplies(parameter[s]);
        offered = offered || applies;
        logY[s] = applies && g.ChBoLogY->isChecked();
        g.grafik->setValueLog(s, logY[s]);
    }
    g.ChBoLogY->setEnabled(offered);
}

// The points a log value axis leaves out are said in the status bar while there are any.
void Tb_tok::ShowLogLeftOut(int count) {
    const QString text = Sweep::LeftOutText(count);
    if (!m_logLeftOut) {
        if (text.isEmpty()) return;
        m_logLeftOut = new QLabel(this);
        m_logLeftOut->setObjectName(QStringLiteral("LaLogLeftOut"));
        ui->status->addPermanentWidget(m_logLeftOut);
    }
    m_logLeftOut->setText(text);
    m_logLeftOut->setVisible(!text.isEmpty());
}

// A mark at the first taken point of each new connection of the run. The redraw of a stored point
// runs before the run moves on past it, so the core's sweepAdvanced shows the marks again.
void Tb_tok::ShowConnectionBreaks() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    const bool frequencySweep = g.ChBoF->isChecked();
    QList<double> xs;
    for (int k : Sweep::ConnectionBreaks())
        xs.append(AxisValue(SweepState, k, frequencySweep));
    g.grafik->setBreaks(xs);
}

} // namespace Main
