// The state of the line as the user sees it: readouts greyed and "no answer" with its age in
// the status line while the meter is silent, a lost port that came back shown with the model
// that answered there (a message when another model ended a run), and the reason when a port
// cannot be opened.
#include "ui/main_window.h"

#include "ui_calibration_panel.h"
#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "link/models.h"
#include "link/silence.h"
#include "ui/calibration_panel.h"
#include "ui/graph_panel.h"

namespace Main {

void Tb_tok::ConnectLinkWatch() {
    connect(m_core, &Core::Session::meterFound, this,
            [this](const Core::SearchResult &found) { ShowMeter(found); });
    // A device that came back at the lost port's place but is no meter: not polled, and said.
    connect(m_core, &Core::Session::portRefused, this, [this](unsigned port) {
        ShowPortResult(QStringLiteral("COM%1: не прибор").arg(port));
    });
    // Another model at the lost port ended the run: said once. The same meter going on needs no
    // word; the status line shows the line's state, the graph where the line came back.
    connect(m_core, &Core::Session::reconnected, this, [this](const Core::Reconnection &info) {
        if (info.runEnded)
            m_core->Tell(QStringLiteral("На порту другой прибор (%1). Измерение остановлено.")
                             .arg(Device::ModelName(info.model)));
    });
}

// Called at the end of every tick instead of writing the status line directly.
void Tb_tok::ShowLinkState(const Core::TickResult &result) {
    if (result.accepted) m_statusHeld = false;
    const Device::Silence &silence = result.silence;
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

// A search, or a lost port that came back, found a known model: the tool bar names it, and the
// tick owns the status line again.
void Tb_tok::ShowMeter(const Core::SearchResult &found) {
    ui->i_com->setCurrentIndex(static_cast<int>(found.port));
    ui->i_devace->setEditText(Device::ModelName(found.model));
    m_statusHeld = false;
}

QList<QWidget *> Tb_tok::Readouts() const {
    QList<QWidget *> readouts{ui->i_par1, ui->i_par2, ui->i_z,  ui->i_fiz, ui->i_y,  ui->i_fiy,
                              ui->i_c,    ui->i_l,    ui->i_r,  ui->i_x,   ui->i_q,  ui->i_d,
                              ui->i_g,    ui->i_b,    ui->i_cs, ui->i_ls,  ui->i_cp, ui->i_lp};
    readouts << ui->PaClb->form().i_par2_clb << ui->PaGraph->form().ifreq;
    return readouts;
}

} // namespace Main
