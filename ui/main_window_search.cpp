// Finding the instrument: the automatic search over COM1..COM15 and the hand choice in i_com.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "ui/combo_box.h"

namespace Main {

void Tb_tok::ConnectSearch() {
    connect(ui->ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(); });
    Framework::OnUserChoice(ui->i_com, [this](int index) { i_comChange(index); });
}

// The window asks each port once; the tool bar shows a find through the core's meterFound.
bool Tb_tok::SearchInstrument() {
    const Core::SearchResult result = m_core->Search();
    if (result.found) return true;
    ShowPortResult(result.failure.isEmpty() ? QStringLiteral("COM -")
                                            : QStringLiteral("COM -  ") + result.failure);
    return false;
}

void Tb_tok::ToolButton1Click() {
    SearchInstrument();
}

void Tb_tok::i_comChange(int index) {
    const Core::PortChoice choice = m_core->ChoosePort(static_cast<unsigned>(index));
    if (!choice.opened) {
        ShowPortResult(choice.reason.isEmpty()
                           ? QStringLiteral("Порт не открыт")
                           : QStringLiteral("Порт не открыт: ") + choice.reason);
        return;
    }
    if (choice.answered) {
        ui->i_com->setCurrentIndex(index);
        ui->i_devace->setEditText(choice.identity);
    } else {
        ui->i_devace->setEditText(QStringLiteral("НЕТ"));
        ShowPortResult(QStringLiteral("Нет ответа"));
    }
}

} // namespace Main
