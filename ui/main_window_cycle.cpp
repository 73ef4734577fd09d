// The measurement tick as the window shows it: the core reads and decides, the window writes the
// readouts, the circuit picture, the range and the status line.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "link/commands.h"
#include "link/display_lines.h"
#include "link/measurement.h"
#include "link/models.h"
#include "ui/main_state.h"
#include "ui/settings_logic.h"

namespace Main {

namespace {

QString Line(const Device::Line &line) {
    return QString::fromLatin1(line);
}

} // namespace

void Tb_tok::ConnectCycle() {
    Core::Session *core = m_core;
    connect(core, &Core::Session::synchronised, this, [this] { SynchroniseControls(); });
    connect(core, &Core::Session::frameAccepted, this, [this] {
        ShowReadouts();
        ShowCircuitPicture();
    });
    connect(core, &Core::Session::ticked, this,
            [this](const Core::TickResult &result) { ShowTick(result); });
    connect(core, &Core::Session::autoRangeChanged, this, [this](bool on) { ShowAutoRange(on); });
}

void Tb_tok::tmrTimer() {
    m_core->Tick();
}

// The end of every tick, also when no frame came.
void Tb_tok::ShowTick(const Core::TickResult &result) {
    if (AutoRange) ShowRange();
    ShowLinkState(result); // the status line, or the silence
    ShowFrequencyLine();
}

// The core has taken the meter's settings; the controls show them without sending anything.
void Tb_tok::SynchroniseControls() {
    ShowRange();
    ui->i_freq->setText(QString::number(CurrentFrequency));
    if (BiasSetting > 0) ui->b_bias_hard->setPosition(BiasStep);
    ShowBias();
}

// A range byte outside the list (a damaged frame) leaves the entry as it is, so the box never
// goes blank and never hands an invalid range to the next command.
void Tb_tok::ShowRange() {
    if (Device::DeviceRange < ui->i_diap->count()) ui->i_diap->setCurrentIndex(Device::DeviceRange);
}

void Tb_tok::ShowReadouts() {
    ui->i_par1->setText(Line(Device::ParameterText[Param1Index]));
    ui->i_par2->setText(Line(Device::ParameterText[Param2Index]));
    // The labels in the order of the parameter index, C to the angle of Y.
    QLabel *const labels[] = {ui->i_c, ui->i_l, ui->i_r, ui->i_g, ui->i_b,   ui->i_x,
                              ui->i_z, ui->i_y, ui->i_d, ui->i_q, ui->i_fiz, ui->i_fiy};
    for (int index = 0; index < int(std::size(labels)); ++index)
        labels[index]->setText(Line(Device::ParameterText[index]));
    ShowCalibrationReadout();
}

void Tb_tok::ShowCircuitPicture() {
    const bool inductive = Device::ParameterValues[Device::ValPhase] > 0.0f;
    QLabel *visible = Device::SeriesCircuit != 0 ? (inductive ? ui->i_ls : ui->i_cs)
                                                 : (inductive ? ui->i_lp : ui->i_cp);
    for (QLabel *picture : {ui->i_cs, ui->i_cp, ui->i_ls, ui->i_lp})
        picture->setVisible(picture == visible);
}

QString Tb_tok::StatusLine() const {
    return Device::ModelName(Device::ModelIndex) + QLatin1String("   ") +
           Line(Device::ParameterText[Device::ParF]) + QLatin1String("   ") +
           Line(Device::ParameterText[Device::ParUb]) + QLatin1String("   ") +
           QStringLiteral("АВП ") + (AutoRange ? QStringLiteral("ВКЛ.") : QStringLiteral("ВЫКЛ")) +
           QLatin1String("  Diap ") + ui->i_diap->currentText() + QLatin1String("  Mode ") +
           QString::number(Device::DeviceMode) + QLatin1String("  Flags ") +
           QString::number(Device::DeviceStatus);
}

} // namespace Main
