// The key panel: sixteen buttons, each pressing one of the instrument's front-panel keys.
#include "ui/main_window.h"

#include "link/commands.h"

namespace Main {

void Tb_tok::ConnectKeys() {
    const struct {
        QPushButton *button;
        std::uint8_t code;
    } keys[] = {
        {ui.BuLcr, 5},    {ui.BuApar, 6},   {ui.BuLeft, 7},   {ui.BuComp, 8},
        {ui.BuMode, 9},   {ui.BuTop, 10},   {ui.BuMenu, 11},  {ui.BuBot, 12},
        {ui.BuShzam, 13}, {ui.BuDigit, 14}, {ui.BuRight, 15}, {ui.BuEnter, 16},
        {ui.BuF1, 17},    {ui.BuF2, 18},    {ui.BuF3, 19},    {ui.BuF4, 20},
    };
    for (const auto &key : keys) {
        const std::uint8_t code = key.code;
        connect(key.button, &QPushButton::clicked, this, [code] { Device::SendKeyCode(code); });
    }
}

} // namespace Main
