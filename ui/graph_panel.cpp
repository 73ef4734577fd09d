// Builds the panel from its form and gives the chart its designed titles and colours.
#include "ui/graph_panel.h"

#include "sweep/sweep_statistics.h"
#include "ui/window_geometry.h"
#include "ui_graph_panel.h"

#include <QResizeEvent>

namespace Main {

GraphPanel::GraphPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::GraphPanel>()) {
    m_form->setupUi(this);
    Chart::SweepChart *chart = m_form->grafik;
    chart->setAxisTitle(Chart::Axis::Bottom, QStringLiteral("Частота, kHz"));
    chart->setAxisTitle(Chart::Axis::Left, QStringLiteral("Rs"));
    chart->setAxisTitle(Chart::Axis::Right, QStringLiteral("Q"));
    // Every point of the first curve is added in fuchsia, of the second in this green.
    chart->setSeriesColor(0, QColor(255, 0, 255));
    chart->setSeriesColor(1, QColor(0, 128, 0));
    // The track bar only shows how far a run has come; it takes no input.
    m_form->marker->setAttribute(Qt::WA_TransparentForMouseEvents);
}

GraphPanel::~GraphPanel() = default;

void GraphPanel::resizeEvent(QResizeEvent *event) {
    QFrame::resizeEvent(event);
    const GraphPanelPlaces places = GraphPanelLayout(event->size());
    m_form->GrBo_Swept->setGeometry(places.swept);
    m_form->grafik->setGeometry(places.chart);
    m_form->marker->setGeometry(places.marker);
}

void GraphPanel::ShowStatistics(const SweepSummary &summary) {
    const auto line = [](const Device::Line &text) { return QString::fromLatin1(text); };
    m_form->ip1sr->setText(line(summary.mean[0]));
    m_form->ip2sr->setText(line(summary.mean[1]));
    m_form->ip1min->setText(line(summary.minimum[0]));
    m_form->ip2min->setText(line(summary.minimum[1]));
    m_form->ip1max->setText(line(summary.maximum[0]));
    m_form->ip2max->setText(line(summary.maximum[1]));
}

} // namespace Main
