// Finding the instrument: the automatic search over COM1..COM15 and the hand choice in i_com.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/search.h"
#include "core/session.h"
#include "ui/combo_box.h"

namespace Main {

void Tb_tok::ConnectSearch() {
    connect(ui->ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(); });
    Framework::OnUserChoice(
        ui->i_com, [this](int index) { i_comChange(index); },
        [this](const QString &typed) { return i_comPathTyped(typed); });
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
    ShowPortChoice(m_core->ChoosePort(static_cast<unsigned>(index)), QString());
}

// A device path typed in the box (a meter that came back elsewhere): opened as the port that
// reaches it, else as COM16 standing for it; the box keeps showing the path.
bool Tb_tok::i_comPathTyped(const QString &typed) {
    const QString path = Core::TypedDevicePath(typed);
    if (path.isEmpty()) return false;
    ShowPortChoice(m_core->ChoosePortPath(path), path);
    return true;
}

void Tb_tok::ShowPortChoice(const Core::PortChoice &choice, const QString &path) {
    if (!choice.opened) {
        ShowPortResult(choice.reason.isEmpty()
                           ? QStringLiteral("Порт не открыт")
                           : QStringLiteral("Порт не открыт: ") + choice.reason);
        return;
    }
    if (choice.answered) {
        ui->i_com->setCurrentIndex(static_cast<int>(choice.port));
        if (!path.isEmpty()) ui->i_com->setEditText(path);
        ui->i_devace->setEditText(choice.identity);
    } else {
        ui->i_devace->setEditText(QStringLiteral("НЕТ"));
        ShowPortResult(QStringLiteral("Нет ответа"));
    }
}

} // namespace Main
