// Test frequency: typed entry, the list step, the decade-wise increment; each pauses polling.
// The field always ends on the frequency sent.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "ui/main_state.h"
#include "ui/run_text.h"
#include "ui/settings_logic.h"

#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

namespace Main {

namespace {

constexpr int IncrementRest = 50;

// Focus that leaves for a popup (the field's own context menu) or another window comes back.
bool MovesWithinWindow(Qt::FocusReason reason) {
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

} // namespace

void Tb_tok::ConnectFrequency() {
    connect(ui->i_freq, &QLineEdit::textChanged, this, [this] { i_freqChange(); });
    connect(ui->i_freq, &QLineEdit::textEdited, this, [this] { m_frequencyEdited = true; });
    ui->i_freq->installEventFilter(this);
    connect(ui->b_freq_step, &Framework::UpDown::clicked, this,
            [this](Framework::UpDown::Direction d) { b_freq_stepClick(d); });
    connect(ui->b_freq_incr, &Framework::UpDown::clicked, this,
            [this](Framework::UpDown::Direction d) { b_freq_incrClick(d); });
}

void Tb_tok::i_freqChange() {
    m_core->PausePolling();
}

// Enter applies what was typed; until then the keys only edit, and polling waits.
void Tb_tok::ApplyTypedFrequency() {
    m_frequencyEdited = false;
    bool converts = false;
    const std::int32_t value = ui->i_freq->text().trimmed().toInt(&converts, 10);
    if (!converts) {
        m_core->Tell(QStringLiteral("Неверное значение"));
        RestoreFrequencyField();
        return;
    }
    if (ClientRunRefuses()) {
        RestoreFrequencyField();
        return;
    }
    m_core->SetFrequency(value);
    // The field shows what was sent: the frequency window may have bounded the entry.
    ui->i_freq->setText(QString::number(CurrentFrequency));
    ShowFrequencyBound(BoundedFrequencyText(value, CurrentFrequency, FrequencyLow, FrequencyHigh));
    m_core->ResumePolling();
}

// The field shows the frequency the core holds, without the pause typing would make.
void Tb_tok::ShowCurrentFrequency() {
    const QSignalBlocker block(ui->i_freq);
    ui->i_freq->setText(QString::number(CurrentFrequency));
}

// A bounded entry is said in the status bar until the next frequency is set.
void Tb_tok::ShowFrequencyBound(const QString &text) {
    if (!m_frequencyBound) {
        m_frequencyBound = new QLabel(this);
        m_frequencyBound->setObjectName(QStringLiteral("LaFrequencyBound"));
        ui->status->addPermanentWidget(m_frequencyBound);
    }
    m_frequencyBound->setText(text);
    m_frequencyBound->setVisible(!text.isEmpty());
}

// Puts the program's frequency back into the field and lets polling go on.
void Tb_tok::RestoreFrequencyField() {
    m_frequencyEdited = false;
    ui->i_freq->setText(QString::number(CurrentFrequency));
    m_core->ResumePolling();
}

void Tb_tok::b_freq_stepClick(Framework::UpDown::Direction) {
    if (ClientRunRefuses()) return;
    m_core->PausePolling();
    m_core->SetFrequency(FrequencyListEntry(ui->b_freq_step->position()));
    ui->i_freq->setText(QString::number(CurrentFrequency));
    ShowFrequencyBound(QString());
    m_core->ResumePolling();
}

void Tb_tok::b_freq_incrClick(Framework::UpDown::Direction direction) {
    if (ClientRunRefuses()) return;
    m_core->PausePolling();
    ui->b_freq_incr->setRange(0, 100);
    ui->b_freq_incr->setPosition(IncrementRest);
    m_core->StepFrequency(direction == Framework::UpDown::Direction::Up);
    ui->i_freq->setText(QString::number(CurrentFrequency));
    ShowFrequencyBound(QString());
    m_core->ResumePolling();
}

bool Tb_tok::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ui->i_freq) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                ApplyTypedFrequency();
                return true;
            }
            if (key == Qt::Key_Escape && m_frequencyEdited) {
                RestoreFrequencyField();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut && m_frequencyEdited &&
                   MovesWithinWindow(static_cast<QFocusEvent *>(event)->reason())) {
            // Typing left for another control without Enter is dropped, so the readouts never
            // stay frozen. A context menu or a glance at another window keeps it for Enter.
            RestoreFrequencyField();
        }
    } else if (event->type() == QEvent::FocusIn &&
               (watched == ui->i_diap || watched == ui->i_diap->lineEdit())) {
        if (static_cast<QFocusEvent *>(event)->reason() != Qt::ActiveWindowFocusReason)
            i_diapEnter();
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace Main
