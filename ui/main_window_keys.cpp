// The key panel: sixteen buttons, each pressing one of the instrument's front-panel keys.
#include "ui/main_window.h"

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
        {keys.BuLcr, 5},    {keys.BuApar, 6},   {keys.BuLeft, 7},   {keys.BuComp, 8},
        {keys.BuMode, 9},   {keys.BuTop, 10},   {keys.BuMenu, 11},  {keys.BuBot, 12},
        {keys.BuShzam, 13}, {keys.BuDigit, 14}, {keys.BuRight, 15}, {keys.BuEnter, 16},
        {keys.BuF1, 17},    {keys.BuF2, 18},    {keys.BuF3, 19},    {keys.BuF4, 20},
    };
    for (const auto &key : presses) {
        const std::uint8_t code = key.code;
        connect(key.button, &QPushButton::clicked, this, [code] { Device::SendKeyCode(code); });
    }
}

} // namespace Main
