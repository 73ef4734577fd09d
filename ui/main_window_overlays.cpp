// Kept sweeps laid over the graph, and the Nyquist and Bode views of the current sweep with the
// overlaid ones in their window, each view saved as PNG or SVG.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"
#include "ui_sweep_views_panel.h"

#include "core/session.h"
#include "library/sweep_library.h"
#include "link/measurement.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_store.h"
#include "ui/chart/sweep_chart.h"
#include "ui/graph_panel.h"
#include "ui/library_panel.h"
#include "ui/library_text.h"
#include "ui/main_state.h"
#include "ui/sweep_views_panel.h"
#include "ui/swept_quantity.h"
#include "ui/widget_picture.h"

namespace Main {

namespace {

static_assert(Views::OverlaySet::Limit == Chart::SweepChart::OverlayLimit,
              "the chart draws every overlay the window allows");

const QColor CurrentColour(255, 0, 255); // the graph's first series

QString LimitText() {
    return QStringLiteral("Наложить можно не больше %1 измерений").arg(Views::OverlaySet::Limit);
}

} // namespace

void Tb_tok::ConnectViews() {
    m_viewsPanel = new SweepViewsPanel(this);
    m_viewsPanel->setWindowFlags(Qt::Tool);
    m_viewsPanel->hide();
    Ui::SweepViewsPanel &v = m_viewsPanel->form();
    connect(v.BuViewPng, &QPushButton::clicked, this,
            [this] { SaveViewPicture(GraphPicture::Png); });
    connect(v.BuViewSvg, &QPushButton::clicked, this,
            [this] { SaveViewPicture(GraphPicture::Svg); });
}

bool Tb_tok::SetOverlay(qint64 id, bool on) {
    if (!on) {
        const bool removed = m_overlays.remove(id);
        m_overlaid.erase(id);
        m_libraryPanel->ShowOverlay(id, QColor());
        if (removed) {
            m_overlayView.reset();
            RedrawGraph();
            ShowViewCurves();
        }
        return removed;
    }
    if (m_overlays.contains(id)) return true;
    if (m_overlays.size() >= Views::OverlaySet::Limit) {
        m_libraryPanel->ShowOverlay(id, QColor());
        SayOnLibrary(LimitText());
        return false;
    }
    Library::KeptSweep sweep;
    if (!LoadKept(id, sweep)) {
        m_libraryPanel->ShowOverlay(id, QColor());
        return false;
    }
    Overlaid overlaid;
    overlaid.name = EntryTitle(sweep.entry);
    const std::optional<SweepVariables> store =
        Exchange::ToStore(sweep.data, Device::SeriesCircuit != 0);
    if (store) {
        overlaid.trace = Sweep::HoldReference(*store);
        overlaid.axis = HeldAxisValues(*store);
    }
    overlaid.data = std::move(sweep.data);
    m_overlays.add(id);
    m_overlaid[id] = std::move(overlaid);
    m_libraryPanel->ShowOverlay(id, m_overlays.colour(id));
    SayOnLibrary(QString());
    m_overlayView.reset();
    RedrawGraph();
    ShowViewCurves();
    return true;
}

void Tb_tok::ClearOverlays() {
    for (qint64 id : m_overlays.ids())
        m_libraryPanel->ShowOverlay(id, QColor());
    m_overlays.clear();
    m_overlaid.clear();
    m_overlayView.reset();
    RedrawGraph();
    ShowViewCurves();
}

// Each overlay as the graph draws a held reference: over a run of its own quantity (a frequency
// run over frequencies), the shown parameters in the series' plotted units; none in a deviation
// view. No overlay leaves the graph as designed. Made again only when what they show changed.
void Tb_tok::ShowOverlays(const bool shown[2], bool deviation) {
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    if (m_overlays.isEmpty()) {
        m_overlayView.reset();
        chart->setOverlays({});
        return;
    }
    OverlayView view;
    view.ids = m_overlays.ids();
    view.parameter[0] = Param1Index;
    view.parameter[1] = Param2Index;
    view.quantity = SweepQuantity;
    view.drawn = !deviation && (SweepQuantity != Sweep::Quantity::Frequency ||
                                ui->PaGraph->form().ChBoF->isChecked());
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
        view.shown[s] = shown[s];
        view.factor[s] = m_plotFactor[s];
    }
    if (m_overlayView == view) return;
    m_overlayView = view;
    QList<Chart::Overlay> overlays;
    for (qint64 id : view.ids) {
        const Overlaid &o = m_overlaid.at(id);
        Chart::Overlay overlay;
        overlay.name = o.name;
        overlay.colour = m_overlays.colour(id);
        const bool frequency = o.data.quantity == Sweep::Quantity::Frequency;
        for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
            if (!view.drawn || !shown[s] || o.data.quantity != view.quantity) continue;
            const std::vector<double> &values = o.trace.values[std::size_t(view.parameter[s])];
            for (int i = 0; i < o.trace.size(); ++i) {
                const double x = frequency ? o.trace.frequencies[std::size_t(i)] * KilohertzPerHertz
                                           : o.axis[std::size_t(i)];
                overlay.points[s].append(QPointF(x, values[std::size_t(i)] / view.factor[s]));
            }
        }
        overlays.append(overlay);
    }
    chart->setOverlays(overlays);
}

void Tb_tok::ShowViews(int tab) {
    ShowViewCurves();
    m_viewsPanel->ShowTab(tab == SweepViewsPanel::BodeTab ? SweepViewsPanel::BodeTab
                                                          : SweepViewsPanel::NyquistTab);
    m_viewsPanel->show();
    m_viewsPanel->raise();
    m_viewsPanel->activateWindow();
}

// The current sweep (its taken points) first, then the overlays in their colours. A bias or level
// run has no Bode view: said under the views.
void Tb_tok::ShowViewCurves() {
    if (!m_viewsPanel) return;
    QList<Chart::Curve> nyquist, magnitude, phase;
    bool withoutBode = false;
    const auto add = [&](const QString &name, const QColor &colour,
                         const Exchange::SweepData &data) {
        nyquist.append({name, colour, Views::NyquistPoints(data)});
        const std::optional<Views::BodePoints> bode = Views::BodeSeries(data);
        if (!bode) {
            withoutBode = true;
            return;
        }
        magnitude.append({name, colour, bode->magnitude});
        phase.append({name, colour, bode->phase});
    };
    if (TakenSweepPoints() > 0)
        add(QStringLiteral("Текущее"), CurrentColour, Exchange::FromStore(SweepState));
    for (qint64 id : m_overlays.ids())
        add(m_overlaid.at(id).name, m_overlays.colour(id), m_overlaid.at(id).data);
    m_viewsPanel->ShowCurves(nyquist, magnitude, phase,
                             withoutBode ? QStringLiteral("Боде: только развёртки по частоте")
                                         : QString());
}

void Tb_tok::SaveViewPicture(GraphPicture kind) {
    const bool png = kind == GraphPicture::Png;
    const Framework::SaveFileChoice choice = AskExportFile(
        m_viewsPanel->ShownTab() == SweepViewsPanel::BodeTab ? QStringLiteral("Сохранить Боде")
                                                             : QStringLiteral("Сохранить Найквист"),
        png ? QStringLiteral("png") : QStringLiteral("svg"),
        {png ? QStringLiteral("PNG (*.png)") : QStringLiteral("SVG (*.svg)")});
    if (choice.path.isEmpty()) return;
    QWidget *chart = m_viewsPanel->ShownChart();
    SaveExport(choice.path, png ? Framework::WidgetPng(chart) : Framework::WidgetSvg(chart));
}

} // namespace Main
