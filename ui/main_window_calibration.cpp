// The calibration panel: the corrected readout, the averaging run, the table and its file.
#include "ui/main_window.h"

#include "ui_calibration_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "link/device.h"
#include "ui/calibration_panel.h"
#include "ui/main_state.h"

namespace Main {

namespace {

void ShowStage(CalibrationPanel &panel) {
    panel.ShowStage(Device::ClbStage == Device::ClbRunning, Device::ClbMeanReady, Device::ClbSum);
}

} // namespace

void Tb_tok::ConnectCalibration() {
    CalibrationPanel *panel = ui->PaClb;
    Ui::CalibrationPanel &clb = panel->form();
    clb.StGrClb->setModel(&Device::ClbTable());
    // Moving to a cell, and clicking the cell that is already current, both select it.
    connect(clb.StGrClb->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, panel](const QModelIndex &current) {
                if (current.isValid() && !panel->PlacingCursor())
                    StGrClbSelectCell(current.column(), current.row());
            });
    connect(clb.StGrClb, &QAbstractItemView::pressed, this,
            [this](const QModelIndex &index) { StGrClbSelectCell(index.column(), index.row()); });
    connect(clb.BuStartClb, &QPushButton::clicked, this, [this] { BuStartClbClick(); });
    connect(clb.BuOpenFile, &QPushButton::clicked, this, [this] { BuOpenFileClick(); });
    connect(clb.BuSaveFile, &QPushButton::clicked, this, [this] { BuSaveFileClick(); });
    connect(clb.EdAverD, &QLineEdit::textChanged, this, [this] { EdAverDChange(); });
    EdAverDChange();
}

void Tb_tok::LoadCalibrationTable() {
    m_core->LoadCalibrationTable();
    ui->PaClb->PlaceCursor();
}

void Tb_tok::BuStartClbClick() {
    if (!m_core->StartCalibrationRun()) return;
    ShowStage(*ui->PaClb);
}

void Tb_tok::BuOpenFileClick() {
    LoadCalibrationTable();
}

void Tb_tok::BuSaveFileClick() {
    m_core->SaveCalibrationTable();
}

void Tb_tok::StGrClbSelectCell(int ACol, int ARow) {
    m_core->SelectCalibrationCell(ACol, ARow);
}

// The averaging count goes to the link at every change.
void Tb_tok::EdAverDChange() {
    ui->PaClb->ShowAveragingCount(m_core->SetAveragingCount(ui->PaClb->form().EdAverD->text()));
}

// Called with the readouts of every valid frame.
void Tb_tok::ShowCalibrationReadout() {
    ui->PaClb->form().i_par2_clb->setText(
        QString::fromLatin1(Device::CorrectedParameterText[Param2Index]));
    ShowStage(*ui->PaClb);
}

} // namespace Main
