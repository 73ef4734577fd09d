// The key panel: sixteen buttons, each pressing one of the instrument's front-panel keys.
#include "ui/main_window.h"

#include "core/session.h"
#include "link/commands.h"
#include "ui/key_panel.h"
#include "ui_key_panel.h"
#include "ui_main_window.h"

namespace Main {

void Tb_tok::ConnectKeys() {
    Ui::KeyPanel &keys = ui->PaKey->form();
    const struct {
        QPushButton *button;
        std::uint8_t code;
    } presses[] = {
        {keys.BuLcr, Device::Command::KeyLcr},       {keys.BuApar, Device::Command::KeyAuto},
        {keys.BuLeft, Device::Command::KeyLeft},     {keys.BuComp, Device::Command::KeyComp},
        {keys.BuMode, Device::Command::KeyMode},     {keys.BuTop, Device::Command::KeyUp},
        {keys.BuMenu, Device::Command::KeyMenu},     {keys.BuBot, Device::Command::KeyDown},
        {keys.BuShzam, Device::Command::KeyCircuit}, {keys.BuDigit, Device::Command::KeyDigit},
        {keys.BuRight, Device::Command::KeyRight},   {keys.BuEnter, Device::Command::KeyEnter},
        {keys.BuF1, Device::Command::KeyF1},         {keys.BuF2, Device::Command::KeyF2},
        {keys.BuF3, Device::Command::KeyF3},         {keys.BuF4, Device::Command::KeyF4},
    };
    for (const auto &key : presses) {
        const std::uint8_t code = key.code;
        connect(key.button, &QPushButton::clicked, this, [this, code] { m_core->PressKey(code); });
    }
}

} // namespace Main
