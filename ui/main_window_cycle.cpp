// The measurement tick: poll one frame, refresh the readouts, follow the instrument, report.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "link/device.h"
#include "sweep/sweep_store.h"
#include "ui/main_state.h"
#include "ui/settings_logic.h"

namespace Main {

namespace {

QString Line(const Device::Line &line) {
    return QString::fromLatin1(line);
}

} // namespace

void Tb_tok::tmrTimer() {
    tmr.stop();
    const bool accepted = Device::ReadMeasurement();
    if (accepted) {
        if (SyncPending) SynchroniseControls();
        if (AutoParams)
            ChooseParameters(Device::ParameterValues[Device::ValMagnitude],
                             Device::ParameterValues[Device::ValPhase]);
        ShowReadouts();
        ShowCircuitPicture();
        // A running sweep stores its point here, when the instrument is at a frequency the
        // program accepts.
        if (FollowInstrumentFrequency() && SweepRunning) StoreSweepPoint();
        RecordFrame();
    }
    if (AutoRange) ShowRange();
    ShowLinkState(accepted); // the status line, or the silence
    ShowFrequencyLine();
    CycleStarted = true;
    tmr.start();
}

void Tb_tok::SynchroniseControls() {
    SyncPending = false;
    SetAutoRange((Device::DeviceStatus & 0x01) != 0);
    ShowRange();
    CurrentFrequency = Device::FrequencyHz;
    ui->i_freq->setText(QString::number(CurrentFrequency));
    BiasSetting = Device::BiasMillivolts;
    if (BiasSetting > 0) {
        BiasSetting = std::min(BiasSetting, HighestBias);
        BiasStep = CoarseBiasPosition(BiasSetting);
        ui->b_bias_hard->setPosition(BiasStep);
    }
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
    const struct {
        QLabel *label;
        int index;
    } labels[] = {
        {ui->i_c, Device::ParC}, {ui->i_l, Device::ParL},     {ui->i_r, Device::ParR},
        {ui->i_g, Device::ParG}, {ui->i_b, Device::ParB},     {ui->i_x, Device::ParX},
        {ui->i_z, Device::ParZ}, {ui->i_y, Device::ParY},     {ui->i_d, Device::ParD},
        {ui->i_q, Device::ParQ}, {ui->i_fiz, Device::ParFiz}, {ui->i_fiy, Device::ParFiy}};
    for (const auto &entry : labels)
        entry.label->setText(Line(Device::ParameterText[entry.index]));
    ShowCalibrationReadout();
}

void Tb_tok::ShowCircuitPicture() {
    const bool inductive = Device::ParameterValues[Device::ValPhase] > 0.0f;
    QLabel *visible = Device::SeriesCircuit != 0 ? (inductive ? ui->i_ls : ui->i_cs)
                                                 : (inductive ? ui->i_lp : ui->i_cp);
    for (QLabel *picture : {ui->i_cs, ui->i_cp, ui->i_ls, ui->i_lp})
        picture->setVisible(picture == visible);
}

// Adopts a frequency changed on the instrument when it lies in the window. False when the
// instrument reports a frequency outside it: this frame is not a sweep point.
bool Tb_tok::FollowInstrumentFrequency() {
    if (Device::FrequencyHz == CurrentFrequency) return true;
    if (Device::FrequencyHz < FrequencyLow || Device::FrequencyHz > FrequencyHigh) return false;
    CurrentFrequency = Device::FrequencyHz;
    return true;
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
