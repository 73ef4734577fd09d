// The run of a sweep: its settings, START, and the point the measurement tick stores.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "link/device.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_store.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/message_box.h"

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
    connect(g.bgraf, &QPushButton::clicked, this, [this] { bgrafClick(); });
}

// Start-up: the run settings the window opens with, and the empty graph.
void Tb_tok::InitSweepPanel() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    SweepPoints = StartPoints;
    g.istart->setText(QString::number(FrequencyLow));
    g.istop->setText(QString::number(FrequencyHigh));
    g.ikol->setText(QString::number(SweepPoints));
    PrepareSweepGraph();
}

void Tb_tok::ChBoFClick() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    g.istop->setVisible(g.ChBoF->isChecked());
}

void Tb_tok::bgrafClick() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    int low = 0;
    if (!ReadSweepField(g.istart, low)) return;
    if (low < SweepLowestHz || low > SweepHighestHz) {
        ShowSweepMessage(QStringLiteral("Неверное значение"));
        return;
    }
    FrequencyLow = low;
    if (g.ChBoF->isChecked()) {
        int high = 0;
        if (!ReadSweepField(g.istop, high)) return;
        if (high < FrequencyLow || high > SweepHighestHz) {
            ShowSweepMessage(QStringLiteral("Неверное значение"));
            return;
        }
        FrequencyHigh = high;
    } else {
        FrequencyHigh = low;
    }
    int points = 0;
    if (!ReadSweepField(g.ikol, points)) return;
    SweepPoints = ClampSweepPoints(points);
    if (!PlanSweep()) return; // a list that cannot be read: nothing is sent
    SetMarkerRange(SweepPoints - 1);

    tmr.stop();
    SweepRunning = true;
    if (ui->b_apar->isChecked()) { // the graphed pair must not change by itself during the run
        ui->b_apar->setChecked(false);
        b_aparClick();
    }
    Device::SendKeyCode(Device::Command::KeyF1);
    const Sweep::Spacing spacing =
        g.ChBoF->isChecked() ? static_cast<Sweep::Spacing>(std::min(g.b_spacing->currentIndex(), 2))
                             : Sweep::Spacing::Linear;
    Sweep::FillPlannedFrequencies(spacing, FrequencyLow, FrequencyHigh, m_plannedList);
    SweepIndex = 0;
    CurrentFrequency = static_cast<std::int32_t>(SweepFrequencies[0]); // Fmin unless a list
    g.marker->setValue(0);
    SendSweepFrequency();
    tmr.start(); // whether or not polling had been started
}

// One point of a running sweep from the frame the tick has just read.
void Tb_tok::StoreSweepPoint() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    StoreSweepSample(Device::ParameterValues);
    RedrawGraph();
    AdvanceSweep();
    g.marker->setValue(SweepIndex);
    if (g.ChBoF->isChecked()) { // the next point's frequency; after the last, the last again
        CurrentFrequency = static_cast<std::int32_t>(SweepFrequencies[SweepIndex]);
        SendSweepFrequency();
    }
}

void Tb_tok::ShowFrequencyLine() {
    ui->PaGraph->form().ifreq->setText(QString::fromLatin1(Device::ParameterText[Device::ParF]));
}

// A field that does not hold a whole number ends START with the conversion message.
bool Tb_tok::ReadSweepField(QLineEdit *field, int &value) {
    bool converts = false;
    value = field->text().toInt(&converts, 10);
    if (!converts)
        ShowSweepMessage(QStringLiteral("'%1' is not a valid integer value").arg(field->text()));
    return converts;
}

// No tick may run inside the message's own event loop; polling goes on afterwards as before.
void Tb_tok::ShowSweepMessage(const QString &text) {
    const bool polling = tmr.isActive();
    tmr.stop();
    Framework::ShowMessage(text);
    if (polling) tmr.start();
}

// The track bar's ticks stand only at its two ends.
void Tb_tok::SetMarkerRange(int last) {
    QSlider *marker = ui->PaGraph->form().marker;
    marker->setRange(0, last);
    marker->setTickInterval(last);
}

} // namespace Main
