// Builds the panel from its form; each button presses one of the meter's front-panel keys.
#include "ui/key_panel.h"

#include "link/commands.h"
#include "ui/condense.h"
#include "ui_key_panel.h"

namespace Main {

KeyPanel::KeyPanel(QWidget *parent) : QFrame(parent), m_form(std::make_unique<Ui::KeyPanel>()) {
    m_form->setupUi(this);
    for (QLabel *caption : {m_form->Label2, m_form->Label3, m_form->Label4, m_form->Label5})
        Framework::Condense(caption, QFont::SemiCondensed);
    Ui::KeyPanel &keys = *m_form;
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
        connect(key.button, &QPushButton::clicked, this, [this, code] { emit keyPressed(code); });
    }
}

KeyPanel::~KeyPanel() = default;

} // namespace Main
