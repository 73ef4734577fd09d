// The two shown parameters (by hand or automatic) and the equivalent circuit; a finished run's
// graph follows either choice.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "ui/combo_box.h"

namespace Main {

void Tb_tok::ConnectParameters() {
    Framework::OnUserChoice(ui->b_par1, [this](int index) { b_par1Change(index); });
    Framework::OnUserChoice(ui->b_par2, [this](int index) { b_par2Change(index); });
    connect(ui->b_apar, &QCheckBox::clicked, this, [this] { b_aparClick(); });
    connect(ui->b_serial, &QRadioButton::toggled, this, [this] { b_serialClick(); });
    connect(ui->b_paral, &QRadioButton::toggled, this, [this] { b_paralClick(); });
}

void Tb_tok::b_par1Change(int index) {
    ui->b_apar->setChecked(false);
    b_aparClick();
    m_core->SetShownParameter(0, index);
    RedrawTakenRun();
}

void Tb_tok::b_par2Change(int index) {
    ui->b_apar->setChecked(false);
    b_aparClick();
    m_core->SetShownParameter(1, index);
    RedrawTakenRun();
}

void Tb_tok::b_aparClick() {
    m_core->SetAutoParams(ui->b_apar->isChecked());
}

void Tb_tok::b_serialClick() {
    m_core->SetCircuit(ui->b_serial->isChecked());
    RedrawTakenRun();
}

void Tb_tok::b_paralClick() {
    m_core->SetCircuit(!ui->b_paral->isChecked());
    RedrawTakenRun();
}

} // namespace Main
