// The key panel: each of its sixteen buttons presses one of the meter's front-panel keys.
#include "ui/main_window.h"

#include "core/session.h"
#include "ui/key_panel.h"
#include "ui_main_window.h"

namespace Main {

void Tb_tok::ConnectKeys() {
    connect(ui->PaKey, &KeyPanel::keyPressed, m_core, &Core::Session::PressKey);
}

} // namespace Main
