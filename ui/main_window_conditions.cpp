// Bias, range, level, speed, INIT and the current-mode button: each sends its command at once.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "link/commands.h"
#include "ui/combo_box.h"
#include "ui/main_state.h"
#include "ui/settings_logic.h"

namespace Main {

void Tb_tok::ConnectConditions() {
    using Framework::UpDown;
    connect(ui->b_bias_soft, &UpDown::clicked, this,
            [this](UpDown::Direction d) { b_bias_softClick(d); });
    connect(ui->b_bias_hard, &UpDown::clicked, this,
            [this](UpDown::Direction d) { b_bias_hardClick(d); });
    connect(ui->RadioButton1, &QRadioButton::toggled, this,
            [this](bool on) { RadioButton1Click(on); });
    connect(ui->RadioButton2, &QRadioButton::toggled, this,
            [this](bool on) { RadioButton2Click(on); });
    connect(ui->RadioButton3, &QRadioButton::toggled, this,
            [this](bool on) { RadioButton3Click(on); });
    connect(ui->RadioButton4, &QRadioButton::toggled, this,
            [this](bool on) { RadioButton4Click(on); });
    connect(ui->b_avpon, &QPushButton::clicked, this, [this] { b_avponClick(); });
    Framework::OnUserChoice(ui->i_diap, [this](int index) { i_diapChange(index); });
    ui->i_diap->installEventFilter(this);
    ui->i_diap->lineEdit()->installEventFilter(this);
    Framework::OnUserChoice(ui->b_level, [this](int index) { b_levelChange(index); });
    connect(ui->b_init, &QPushButton::clicked, this, [this] { b_initClick(); });
    connect(ui->Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void Tb_tok::ShowBias() {
    ui->i_bias->setText(BiasText(BiasSetting));
}

void Tb_tok::b_bias_softClick(Framework::UpDown::Direction direction) {
    if (ClientRunRefuses()) return;
    if (m_core->StepBias(direction == Framework::UpDown::Direction::Up)) ShowBias();
}

void Tb_tok::b_bias_hardClick(Framework::UpDown::Direction) {
    if (ClientRunRefuses()) return;
    m_core->SetBiasStep(ui->b_bias_hard->position());
    ShowBias();
}

void Tb_tok::RadioButton1Click(bool selected) {
    if (selected && !ClientRunRefuses()) m_core->SelectBiasSource(false);
}

void Tb_tok::RadioButton2Click(bool selected) {
    if (selected && !ClientRunRefuses()) m_core->SelectBiasSource(true);
}

void Tb_tok::ShowAutoRange(bool on) {
    ui->b_avpon->setText(on ? QStringLiteral("Выкл. АВП") : QStringLiteral("Вкл. АВП"));
}

void Tb_tok::b_avponClick() {
    if (ClientRunRefuses()) return;
    m_core->SwitchAutoRange(ui->i_diap->currentIndex());
}

void Tb_tok::i_diapChange(int index) {
    // Choosing a range starts polling even when no search has found an instrument.
    if (ClientRunRefuses()) return;
    m_core->SelectRange(index);
}

void Tb_tok::i_diapEnter() {
    if (ClientRunRefuses()) return;
    m_core->SetAutoRange(false);
}

void Tb_tok::b_levelChange(int index) {
    if (ClientRunRefuses()) return;
    m_core->SetLevel(index);
}

void Tb_tok::RadioButton3Click(bool selected) {
    if (selected && !ClientRunRefuses()) m_core->SelectSpeed(true);
}

void Tb_tok::RadioButton4Click(bool selected) {
    if (selected && !ClientRunRefuses()) m_core->SelectSpeed(false);
}

void Tb_tok::b_initClick() {
    m_core->PressKey(Device::Command::Init);
}

void Tb_tok::Button1Click() {
    m_core->SelectCurrentMode();
}

} // namespace Main
