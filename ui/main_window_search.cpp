// Finding the instrument: the automatic search over COM1..COM15 and the hand choice in i_com.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "link/device.h"
#include "ui/combo_box.h"
#include "ui/main_state.h"

namespace Main {

namespace {

using Device::LastSearchedPort;
constexpr int IdentityTextSize = 8;

QString Latin1(const char *text) {
    return QString::fromLatin1(text);
}

} // namespace

void Tb_tok::ConnectSearch() {
    connect(ui->ToolButton1, &QToolButton::clicked, this, [this] { ToolButton1Click(); });
    Framework::OnUserChoice(ui->i_com, [this](int index) { i_comChange(index); });
}

bool Tb_tok::SearchInstrument() {
    char text[IdentityTextSize] = {};
    QString failure; // the first port that is there but could not be opened, and why
    for (unsigned n = 1; n <= LastSearchedPort; ++n) {
        if (!Device::OpenPort(n)) {
            if (failure.isEmpty()) failure = OpenFailureNote(n);
            continue;
        }
        if (!Device::QueryIdentity(text)) continue;
        Device::ModelIndex = Device::FindModelRow(text);
        if (Device::ModelIndex >= Device::ModelCount) continue;
        ui->i_com->setCurrentIndex(static_cast<int>(n));
        ui->i_devace->setEditText(Device::ModelName(Device::ModelIndex));
        FrequencyLow = Device::ModelLowestFrequency(Device::ModelIndex);
        FrequencyHigh = Device::ModelHighestFrequency(Device::ModelIndex);

        SyncPending = true;
        CycleStarted = true;
        LinkFound();
        tmr.start();
        return true;
    }
    ShowPortResult(failure.isEmpty() ? QStringLiteral("COM -")
                                     : QStringLiteral("COM -  ") + failure);
    return false;
}

void Tb_tok::ToolButton1Click() {
    SearchInstrument();
}

void Tb_tok::i_comChange(int index) {
    Device::OpenPort(static_cast<unsigned>(index));
    if (Device::PortNumber == 0) {
        // "НЕТ" closes the port on purpose; any other entry says why it did not open.
        const QString reason = index > 0 ? Device::LastOpenFailure.text : QString();
        ShowPortResult(reason.isEmpty() ? QStringLiteral("Порт не открыт")
                                        : QStringLiteral("Порт не открыт: ") + reason);
        return;
    }
    char text[IdentityTextSize] = {};
    if (Device::QueryIdentity(text)) {
        ui->i_com->setCurrentIndex(Device::PortNumber);
        ui->i_devace->setEditText(Latin1(text));
    } else {
        ui->i_devace->setEditText(QStringLiteral("НЕТ"));
        ShowPortResult(QStringLiteral("Нет ответа"));
    }
}

} // namespace Main
