// While a SCPI client's run (sweep, list, pass, compensation, sorting batch) holds the meter's
// conditions, the window's condition controls send nothing: the change is refused in the status
// bar and the controls show the conditions in effect again.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "ui/main_state.h"

#include <QSignalBlocker>

namespace Main {

void Tb_tok::GuardClientRuns(std::function<bool()> clientRunGoing) {
    m_clientRunGoing = std::move(clientRunGoing);
}

bool Tb_tok::ClientRunRefuses() {
    if (!m_clientRunGoing || !m_clientRunGoing()) return false;
    ui->status->showMessage(QStringLiteral("Идёт измерение клиента SCPI: изменение отклонено"),
                            5000);
    FollowConditions();
    ShowBias();
    m_frequencyEdited = false;
    const QSignalBlocker block(ui->i_freq);
    ui->i_freq->setText(QString::number(CurrentFrequency));
    return true;
}

} // namespace Main
