// The calibration panel: the corrected readout, the averaging run, the table and its file.
#include "ui/main_window.h"

#include "ui_calibration_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "link/device.h"
#include "ui/calibration_panel.h"
#include "ui/main_state.h"

#include <QDir>
#include <QTimer>

namespace Main {

namespace {

const QString NotAWholeNumber = QStringLiteral("Введите целое число: пока здесь не число, "
                                               "значения D не учитываются");

QString DecimalComma(float value) {
    return QString::number(static_cast<double>(value), 'g', 4)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

void Tb_tok::ConnectCalibration() {
    Ui::CalibrationPanel &clb = ui->PaClb->form();
    clb.StGrClb->setModel(&Device::ClbTable());
    // Moving to a cell, and clicking the cell that is already current, both select it.
    connect(clb.StGrClb->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && !m_placingGridCursor)
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
    PlaceGridCursor();
}

// The grid's cursor stands in the first cell without moving the marker, as a grid's does
// before the user selects a cell.
void Tb_tok::PlaceGridCursor() {
    QTableView *grid = ui->PaClb->form().StGrClb;
    m_placingGridCursor = true;
    grid->setCurrentIndex(grid->model()->index(0, 1));
    m_placingGridCursor = false;
}

void Tb_tok::BuStartClbClick() {
    if (!m_core->StartCalibrationRun()) return;
    ShowCalibrationStage();
}

void Tb_tok::BuOpenFileClick() {
    LoadCalibrationTable();
}

void Tb_tok::BuSaveFileClick() {
    m_core->SaveCalibrationTable();
}

void Tb_tok::StGrClbSelectCell(int ACol, int ARow) {
    Device::ClbTable().SelectCell(ACol, ARow);
}

// The averaging count goes to the link at every change; text that is not a whole number is
// marked here instead of stopping the measurement at the next value.
void Tb_tok::EdAverDChange() {
    QLineEdit *field = ui->PaClb->form().EdAverD;
    const bool whole = Device::SetAveragingCount(field->text());
    QPalette palette; // the window's own colours
    if (!whole) palette.setColor(QPalette::Base, QColor(255, 200, 200));
    field->setPalette(palette);
    field->setToolTip(whole ? QString() : NotAWholeNumber);
}

// Called with the readouts of every valid frame.
void Tb_tok::ShowCalibrationReadout() {
    ui->PaClb->form().i_par2_clb->setText(
        QString::fromLatin1(Device::CorrectedParameterText[Param2Index]));
    ShowCalibrationStage();
}

// The stage of the averaging; after a run, its mean and the correction that cancels it.
void Tb_tok::ShowCalibrationStage() {
    QString caption;
    if (Device::ClbStage == Device::ClbRunning) {
        caption = QStringLiteral("Идет калибровка D");
    } else {
        caption = QStringLiteral("Подключите меру емкости");
        if (Device::ClbMeanReady)
            caption += QStringLiteral("<br><span style=\"font-size:8pt; font-weight:normal\">"
                                      "среднее D %1, поправка %2</span>")
                           .arg(DecimalComma(Device::ClbSum), DecimalComma(-Device::ClbSum));
    }
    ui->PaClb->form().LaClbStage->setText(caption);
}

} // namespace Main
