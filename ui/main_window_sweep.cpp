// The run of a sweep as the window shows it: its settings, START, and the point the core's tick
// stores.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "link/display_lines.h"
#include "link/measurement.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_store.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/run_text.h"

#include <QComboBox>

#include <algorithm>

namespace Main {

namespace {

constexpr int StartPoints = 10;

} // namespace

void Tb_tok::ConnectSweep() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    connect(g.p1on, &QCheckBox::clicked, this, [this] { p1onClick(); });
    connect(g.p2on, &QCheckBox::clicked, this, [this] { p2onClick(); });
    connect(g.ChBoF, &QCheckBox::clicked, this, [this] { ChBoFClick(); });
    connect(g.ChBoF, &QCheckBox::toggled, m_core, &Core::Session::SetFrequencySweep);
    m_core->SetFrequencySweep(g.ChBoF->isChecked());
    connect(g.bgraf, &QPushButton::clicked, this, [this] { bgrafClick(); });

    Core::Session *core = m_core;
    connect(core, &Core::Session::sweepStarted, this, [this] {
        SetMarkerRange(SweepPoints - 1);
        ui->PaGraph->form().marker->setValue(0);
    });
    connect(core, &Core::Session::sweepPointStored, this, [this] {
        m_pointInHand = true; // the stored point is drawn though the run is still on it
        RedrawGraph();
        m_pointInHand = false;
    });
    connect(core, &Core::Session::sweepAdvanced, this, [this] {
        ui->PaGraph->form().marker->setValue(SweepIndex);
        ShowConnectionBreaks();
    });
}

// Start-up: the run settings the window opens with, and the empty graph.
void Tb_tok::InitSweepPanel() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    m_core->SetSweepPoints(StartPoints);
    g.istart->setText(QString::number(FrequencyLow));
    g.istop->setText(QString::number(FrequencyHigh));
    g.ikol->setText(QString::number(SweepPoints));
    g.grafik->setBreakText(QStringLiteral("связь восстановлена"));
    PrepareSweepGraph();
}

// A bias or level run always has both ends.
void Tb_tok::ChBoFClick() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    g.istop->setVisible(g.ChBoF->isChecked() || SweptQuantity() != Sweep::Quantity::Frequency);
}

// The fields are read and checked one by one, so a bound accepted before a failing field stays.
// A bias or level run is the core's own (main_window_swept.cpp).
void Tb_tok::bgrafClick() {
    if (m_core->QuantityRunGoing()) {
        m_core->StopRun();
        return;
    }
    if (SweptQuantity() != Sweep::Quantity::Frequency) {
        StartQuantityRunFromFields();
        return;
    }
    if (!AcceptSweepFields()) return;
    if (ui->b_apar->isChecked()) { // the graphed pair must not change by itself during the run
        ui->b_apar->setChecked(false);
        b_aparClick();
    }
    ClearFit(); // the fit was of the run before
    m_core->StartSweep(SweepPoints, ChosenSpacing(),
                       QVector<std::int32_t>(m_plannedList.begin(), m_plannedList.end()));
}

// The run's bounds and points from the graph panel's fields, and its plan (a list read).
bool Tb_tok::AcceptSweepFields() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    int low = 0;
    if (!ReadSweepField(g.istart, low) || !m_core->AcceptSweepLow(low)) return false;
    if (g.ChBoF->isChecked()) {
        int high = 0;
        if (!ReadSweepField(g.istop, high) || !m_core->AcceptSweepHigh(high)) return false;
    } else {
        m_core->AcceptSweepHigh(low);
    }
    int points = 0;
    if (!ReadSweepField(g.ikol, points)) return false;
    const QString tooMany = PointCountProblem(points); // more than the store holds: said
    if (!tooMany.isEmpty()) {
        m_core->Tell(tooMany);
        return false;
    }
    m_core->SetSweepPoints(points); // fewer than 2 become 2
    return PlanSweep();             // a list that cannot be read: nothing is sent
}

Sweep::Spacing Tb_tok::ChosenSpacing() const {
    const Ui::GraphPanel &g = ui->PaGraph->form();
    return g.ChBoF->isChecked()
               ? static_cast<Sweep::Spacing>(std::min(g.b_spacing->currentIndex(), 2))
               : Sweep::Spacing::Linear;
}

void Tb_tok::ShowFrequencyLine() {
    ui->PaGraph->form().ifreq->setText(QString::fromLatin1(Device::ParameterText[Device::ParF]));
}

// A field that does not hold a whole number ends START with the conversion message.
bool Tb_tok::ReadSweepField(QLineEdit *field, int &value) {
    bool converts = false;
    value = field->text().toInt(&converts, 10);
    if (!converts)
        m_core->Tell(QStringLiteral("'%1' is not a valid integer value").arg(field->text()));
    return converts;
}

// The track bar's ticks stand only at its two ends.
void Tb_tok::SetMarkerRange(int last) {
    QSlider *marker = ui->PaGraph->form().marker;
    marker->setRange(0, last);
    marker->setTickInterval(last);
}

} // namespace Main
