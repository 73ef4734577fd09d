// The choices beyond the designed run: log and list spacing, the log axis, a held reference and
// the deviation from it, markers at the extremes and at the self-resonance.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "link/decoding.h"
#include "link/measurement.h"
#include "sweep/frequency_ticks.h"
#include "sweep/sweep_reading.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"
#include "ui/chart/sweep_chart.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/swept_quantity.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace Main {

namespace {

enum SpacingChoice { LinearChoice, LogChoice, FileChoice, MeterChoice };

// A statistic-style text of a value held in the unit of its parameter: "Cs 4.7 nF".
QString ValueText(int parameter, double value) {
    Device::Line line;
    FormatStatistic(parameter, static_cast<float>(value), Device::SeriesCircuit != 0, line);
    return QString::fromLatin1(line).simplified();
}

} // namespace

void Tb_tok::ConnectPlans() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    connect(g.BuListFile, &QPushButton::clicked, this, [this] { BuListFileClick(); });
    connect(g.ChBoLogAxis, &QCheckBox::clicked, this, [this] { ChBoLogAxisClick(); });
    connect(g.ChBoLogY, &QCheckBox::clicked, this, [this] { RedrawGraph(); });
    g.grafik->setMarkerText([this](const Chart::MarkerSpot &spot, const Chart::MarkerSpot *first) {
        return MarkerText(spot, first);
    });
}

void Tb_tok::BuListFileClick() {
    const QString path = Framework::AskOpenFile(
        this, QStringLiteral("Список частот"),
        m_listPath.isEmpty() ? QDir::currentPath() : QFileInfo(m_listPath).absolutePath(),
        QStringLiteral("Текст (*.txt *.csv *.lst);;Все файлы (*)"));
    if (path.isEmpty()) return;
    m_listPath = path;
    Ui::GraphPanel &g = ui->PaGraph->form();
    g.LaListFile->setText(QFileInfo(path).fileName());
    g.LaListFile->setToolTip(QDir::toNativeSeparators(path));
    g.b_spacing->setCurrentIndex(FileChoice);
}

void Tb_tok::ChBoLogAxisClick() {
    RedrawGraph();
}

// Before anything is sent: the list of a list run, read afresh (the file may have changed), and
// the run's bounds and length from it. A log run takes N from its field; the axis follows the
// spacing until the user switches it.
bool Tb_tok::PlanSweep() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    const int choice = g.ChBoF->isChecked() ? g.b_spacing->currentIndex() : LinearChoice;
    m_plannedList.clear();
    if (choice == FileChoice) {
        const Sweep::ListFile list = m_listPath.isEmpty()
                                         ? Sweep::ListFile{{},
                                                           0,
                                                           QStringLiteral("файл не выбран"),
                                                           Sweep::ListRefusal::NotChosen}
                                         : Sweep::ReadFrequencyListFile(m_listPath);
        if (!list.ok()) {
            m_core->Tell(
                QStringLiteral("Список частот не принят:\n%1\n\n%2")
                    .arg(QDir::toNativeSeparators(m_listPath), Sweep::ListFileProblem(list)));
            return false;
        }
        m_plannedList = list.frequencies;
        const auto [low, high] = std::minmax_element(m_plannedList.begin(), m_plannedList.end());
        m_core->SetSweepBounds(*low, *high);
    } else if (choice == MeterChoice) {
        m_plannedList = Sweep::MeterListPlan(FrequencyLow, FrequencyHigh);
        if (static_cast<int>(m_plannedList.size()) < Sweep::ListShortest) {
            m_core->Tell(QStringLiteral("Между Fmin и Fmax меньше двух частот прибора"));
            return false;
        }
    }
    if (!m_plannedList.empty()) m_core->SetSweepPoints(static_cast<int>(m_plannedList.size()));
    if (g.ChBoF->isChecked() && g.ChBoLogAxis->isChecked() != (choice != LinearChoice)) {
        g.ChBoLogAxis->setChecked(choice != LinearChoice);
        g.grafik->setLogAxis(g.ChBoLogAxis->isChecked(), 1000.0);
    }
    return true;
}

void Tb_tok::AddPlanActions(QMenu *menu) {
    menu->addSeparator();
    menu->addAction(QStringLiteral("Опорная кривая"), this, [this] { HoldReference(); });
    QAction *clear =
        menu->addAction(QStringLiteral("Сбросить опорную"), this, [this] { ClearReference(); });
    clear->setEnabled(!m_reference.empty());
    const struct {
        const char *text;
        DeviationView view;
    } views[] = {{"Отклонение", DeviationView::Delta}, {"Отклонение, %", DeviationView::Percent}};
    for (const auto &v : views) {
        const DeviationView view = v.view;
        QAction *item = menu->addAction(QString::fromUtf8(v.text), this, [this, view](bool on) {
            ShowDeviation(on ? view : DeviationView::Off);
        });
        item->setCheckable(true);
        item->setChecked(m_deviation == view);
        item->setEnabled(!m_reference.empty());
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Маркеры: мин/макс"), this, [this] { PlaceExtremeMarkers(); });
    menu->addAction(QStringLiteral("Маркер резонанса"), this, [this] { PlaceResonanceMarker(); });
    menu->addAction(QStringLiteral("Сбросить маркеры"), this,
                    [this] { ui->PaGraph->form().grafik->clearMarkers(); });
    QCheckBox *logAxis = ui->PaGraph->form().ChBoLogAxis;
    QAction *log =
        menu->addAction(QStringLiteral("Лог. шкала"), this, [logAxis] { logAxis->click(); });
    log->setCheckable(true);
    log->setChecked(logAxis->isChecked());
    QCheckBox *logY = ui->PaGraph->form().ChBoLogY;
    QAction *logValues = menu->addAction(QStringLiteral("Лог. Y"), this, [logY] { logY->click(); });
    logValues->setCheckable(true);
    logValues->setChecked(logY->isChecked());
    logValues->setEnabled(logY->isEnabled());
}

void Tb_tok::HoldReference() {
    if (!SweepTaken()) return;
    m_reference = Sweep::HoldReference(); // a run at one frequency keeps its run order
    m_referenceQuantity = SweepQuantity;
    m_referenceAxis = HeldAxisValues(SweepState);
    RedrawGraph();
}

void Tb_tok::ClearReference() {
    m_reference = {};
    m_referenceAxis.clear();
    m_deviation = DeviationView::Off;
    RedrawGraph();
}

void Tb_tok::ShowDeviation(DeviationView view) {
    m_deviation = m_reference.empty() ? DeviationView::Off : view;
    RedrawGraph();
}

// Up to four markers: the lowest and highest taken point of each shown series.
void Tb_tok::PlaceExtremeMarkers() {
    if (!SweepTaken()) return;
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    chart->clearMarkers();
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
        const QList<QPointF> points = chart->points(s);
        std::vector<double> ys;
        for (const QPointF &p : points)
            ys.push_back(p.y());
        const Sweep::Extremes e = Sweep::FindExtremes(ys.data(), static_cast<int>(ys.size()));
        for (int i : {e.lowest, e.highest})
            if (i >= 0) chart->addMarker(points[i].x());
    }
}

// Where the reactance of the taken points changes sign, between the two points around it.
void Tb_tok::PlaceResonanceMarker() {
    if (!SweepTaken()) return;
    if (SweepQuantity != Sweep::Quantity::Frequency) {
        m_core->Tell(QStringLiteral("Маркер резонанса: нужен график по частоте."));
        return;
    }
    const Sweep::ReferenceTrace run = Sweep::HoldReference(); // the taken points by frequency
    const std::vector<double> &x = run.values[Device::ParX];
    const auto found = Sweep::FindResonance(run.frequencies.data(), x.data(), run.size());
    if (!found || !ui->PaGraph->form().ChBoF->isChecked()) {
        m_core->Tell(QStringLiteral("Резонанс не найден: реактивность не меняет знак."));
        return;
    }
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    if (!chart->addMarker(found->frequency * 0.001)) {
        chart->clearMarkers();
        chart->addMarker(found->frequency * 0.001);
    }
}

// A reference is compared with a run of its own quantity only (a frequency run over frequencies).
bool Tb_tok::ReferenceMatches() const {
    if (m_reference.empty() || m_referenceQuantity != SweepQuantity) return false;
    return SweepQuantity != Sweep::Quantity::Frequency || ui->PaGraph->form().ChBoF->isChecked();
}

// The data files compare by frequency: a reference goes with a frequency run of its own kind.
const Sweep::ReferenceTrace &Tb_tok::ExportedReference() const {
    static const Sweep::ReferenceTrace none;
    return m_referenceQuantity == Sweep::Quantity::Frequency &&
                   SweepQuantity == Sweep::Quantity::Frequency
               ? m_reference
               : none;
}

// The reference at the run's points, or each point's deviation from it, in the unit the series
// is plotted in; points outside the reference's span are left out (not finite). A bias or level
// run is compared at its planned values.
QList<QPointF> Tb_tok::ComparedPoints(int series, int parameter, const float *plotted) const {
    QList<QPointF> points;
    if (!ReferenceMatches()) return points;
    const double factor = m_plotFactor[series];
    if (SweepQuantity != Sweep::Quantity::Frequency) {
        const std::vector<double> &held = m_reference.values[static_cast<std::size_t>(parameter)];
        if (m_deviation == DeviationView::Off) {
            for (std::size_t i = 0; i < m_referenceAxis.size() && i < held.size(); ++i)
                points.append(QPointF(m_referenceAxis[i], held[i] / factor));
            return points;
        }
        for (int k = 0; k < SweepPoints; ++k) {
            const double x = PlannedAxisValue(SweepState, k);
            const auto at = ValueAlong(m_referenceAxis, held, x);
            double y = std::nan("");
            if (at) {
                const double delta = static_cast<double>(plotted[k]) * factor - *at;
                y = m_deviation == DeviationView::Delta ? delta / factor
                                                        : delta / std::fabs(*at) * 100.0;
            }
            points.append(QPointF(x, y));
        }
        return points;
    }
    if (m_deviation == DeviationView::Off) {
        for (int i = 0; i < m_reference.size(); ++i)
            points.append(QPointF(m_reference.frequencies[static_cast<std::size_t>(i)] * 0.001,
                                  m_reference.values[static_cast<std::size_t>(parameter)]
                                                    [static_cast<std::size_t>(i)] /
                                      factor));
        return points;
    }
    for (int k = 0; k < SweepPoints; ++k) {
        const auto d = Sweep::DeviationAt(m_reference, parameter, SweepFrequencies[k],
                                          static_cast<double>(plotted[k]) * factor);
        const double y = !d                                    ? std::nan("")
                         : m_deviation == DeviationView::Delta ? d->delta / factor
                                                               : d->percent;
        points.append(QPointF(SweepPointX(k, true), y));
    }
    return points;
}

// Frequency and both values with their prefixes; after the first marker, the differences to it.
QString Tb_tok::MarkerText(const Chart::MarkerSpot &spot, const Chart::MarkerSpot *first) const {
    const bool frequencySweep = ui->PaGraph->form().ChBoF->isChecked();
    const bool volts = SweepQuantity != Sweep::Quantity::Frequency;
    const auto where = [frequencySweep, volts](double x) {
        return volts            ? VoltsText(x)
               : frequencySweep ? Sweep::FrequencyText(x * 1000.0, 5)
                                : QStringLiteral("№ %1").arg(x, 0, 'g', 6);
    };
    QString text = first ? QStringLiteral("Δ %1").arg(where(spot.x - first->x)) : where(spot.x);
    const int parameter[2] = {Param1Index, Param2Index};
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
        if (!spot.has[s]) continue;
        const bool difference = first && first->has[s];
        const double y = difference ? spot.y[s] - first->y[s] : spot.y[s];
        text += QStringLiteral("   ") + (difference ? QStringLiteral("Δ") : QString());
        if (m_deviation == DeviationView::Percent)
            text += QStringLiteral("%1 %").arg(y, 0, 'g', 4);
        else
            text += ValueText(parameter[s], y * m_plotFactor[s]);
    }
    return text;
}

} // namespace Main
