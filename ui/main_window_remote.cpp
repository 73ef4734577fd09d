// A front end beside the window (the SCPI server) changes the conditions through the core; the
// controls show them without sending anything, and the status bar counts its clients.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "link/measurement.h"
#include "ui/main_state.h"

#include <QSignalBlocker>

namespace Main {

void Tb_tok::ConnectRemote() {
    m_remoteStatus = new QLabel(ui->status);
    m_remoteStatus->setObjectName(QStringLiteral("LaRemote"));
    ui->status->addPermanentWidget(m_remoteStatus);
    m_remoteStatus->hide();
    connect(m_core, &Core::Session::conditionsChanged, this, [this] { FollowConditions(); });
}

void Tb_tok::ShowRemoteClients(int count) {
    m_remoteStatus->setText(QStringLiteral("SCPI: %1").arg(count));
    m_remoteStatus->setVisible(count > 0);
}

// The radio buttons' handlers send on toggled: both of a pair are blocked while one is set.
// The frequency field's handler takes any new text for typing and pauses polling, which
// nothing would resume: its text is set with it blocked. The core has moved the coarse bias
// step to the level, as after a synchronisation.
void Tb_tok::FollowConditions() {
    {
        const QSignalBlocker blockFrequency(ui->i_freq);
        SynchroniseControls();
    }
    ShowAutoRange(AutoRange);
    const auto choose = [](QRadioButton *on, QRadioButton *off) {
        const QSignalBlocker blockOn(on);
        const QSignalBlocker blockOff(off);
        on->setChecked(true);
    };
    if (Device::SeriesCircuit != 0)
        choose(ui->b_serial, ui->b_paral);
    else
        choose(ui->b_paral, ui->b_serial);
    if (m_core->BiasExternal())
        choose(ui->RadioButton2, ui->RadioButton1);
    else
        choose(ui->RadioButton1, ui->RadioButton2);
    if (m_core->NormalSpeed())
        choose(ui->RadioButton3, ui->RadioButton4);
    else
        choose(ui->RadioButton4, ui->RadioButton3);
    // Setting an index from code runs no handler.
    if (m_core->LevelIndex() >= 0) ui->b_level->setCurrentIndex(m_core->LevelIndex());
}

} // namespace Main
