// Control of a run beside the designed START: "Стоп" ends any run where it is (the points taken
// stay, the core keeps the run as interrupted), the progress "k / N", the graph drawn again for
// another parameter or circuit without measuring again, and the frequency field back on the
// meter's frequency once a run is over.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "sweep/sweep_store.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/run_text.h"

#include <QPushButton>

namespace Main {

void Tb_tok::ConnectRunControl() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    connect(g.BuStopSweep, &QPushButton::clicked, this, [this] { BuStopSweepClick(); });
    Core::Session *core = m_core;
    for (auto signal :
         {&Core::Session::sweepStarted, &Core::Session::sweepAdvanced, &Core::Session::sweepShown})
        connect(core, signal, this, [this] { ShowRunProgress(); });
    connect(core, &Core::Session::runEnded, this, [this] {
        ShowRunProgress();
        RedrawGraph(); // a stopped run's points not taken leave the graph
        if (!m_frequencyEdited) ShowCurrentFrequency(); // where the run left the meter
    });
    connect(core, &Core::Session::sweepShown, this, [this] { RedrawGraph(); });
}

void Tb_tok::BuStopSweepClick() {
    m_core->StopRun();
    ShowRunProgress();
}

void Tb_tok::ShowRunProgress() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    g.LaSweepProgress->setText(RunProgressText(SweepState));
    g.BuStopSweep->setEnabled(SweepRunning);
}

// While a run goes its next point redraws; the start-up picture stays as it is.
void Tb_tok::RedrawTakenRun() {
    if (SweepRunning || TakenSweepPoints() == 0) return;
    RedrawGraph();
}

} // namespace Main
