// The state of the line as the user sees it: readouts greyed and "no answer" with its age in
// the status line while the meter is silent, a port lost to a fatal error reopened quietly at
// the same place, and the reason when a port cannot be opened.
#include "ui/main_window.h"

#include "ui_calibration_panel.h"
#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "link/device.h"
#include "ui/calibration_panel.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"

namespace Main {

namespace {

constexpr int ReopenInterval = 1000; // ms

} // namespace

void Tb_tok::ConnectLinkWatch() {
    m_reopen.setObjectName(QStringLiteral("reopen"));
    m_reopen.setParent(this);
    m_reopen.setInterval(ReopenInterval);
    connect(&m_reopen, &QTimer::timeout, this, [this] { TryReopenPort(); });
    m_reopen.start();
}

// Called at the end of every tick instead of writing the status line directly.
void Tb_tok::ShowLinkState(bool frameAccepted) {
    if (frameAccepted || !m_sinceFrame.isValid()) m_sinceFrame.start();
    if (frameAccepted) m_statusHeld = false;
    const Device::Silence silence = Device::JudgeSilence(m_sinceFrame.elapsed());
    if (silence.silent != m_silent) {
        m_silent = silence.silent;
        for (QWidget *readout : Readouts())
            readout->setEnabled(!m_silent);
    }
    if (m_statusHeld) return;
    QString line = StatusLine();
    if (silence.silent) line.prepend(Device::SilenceText(silence.seconds) + QLatin1String("   "));
    ui->status->showMessage(line);
}

// A result of the search or of a port choice stays in the status line until a frame comes.
void Tb_tok::ShowPortResult(const QString &text) {
    ui->status->showMessage(text);
    m_statusHeld = true;
}

// A search found a meter: polling starts now, and the tick owns the status line again.
void Tb_tok::LinkFound() {
    m_sinceFrame.start();
    m_statusHeld = false;
}

// "COMn: reason" for a port that exists but could not be opened; empty for one that is absent.
QString Tb_tok::OpenFailureNote(unsigned port) const {
    const Device::OpenFailure &failure = Device::LastOpenFailure;
    if (failure.reason == Device::OpenFailureReason::None ||
        failure.reason == Device::OpenFailureReason::NoDevice ||
        failure.reason == Device::OpenFailureReason::NoHardware)
        return QString();
    return QStringLiteral("COM%1: %2").arg(port).arg(failure.text);
}

void Tb_tok::TryReopenPort() {
    if (Device::LostPortNumber == 0 || !Device::ReopenLostPort()) return;
    // Back at the same place: as after a search, the controls follow the meter once.
    SyncPending = true;
    if (CycleStarted && !m_frequencyEdited && !tmr.isActive()) tmr.start();
}

QList<QWidget *> Tb_tok::Readouts() const {
    QList<QWidget *> readouts{ui->i_par1, ui->i_par2, ui->i_z,  ui->i_fiz, ui->i_y,  ui->i_fiy,
                              ui->i_c,    ui->i_l,    ui->i_r,  ui->i_x,   ui->i_q,  ui->i_d,
                              ui->i_g,    ui->i_b,    ui->i_cs, ui->i_ls,  ui->i_cp, ui->i_lp};
    readouts << ui->PaClb->form().i_par2_clb << ui->PaGraph->form().ifreq;
    return readouts;
}

} // namespace Main
