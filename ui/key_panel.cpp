// Builds the panel from its form.
#include "ui/key_panel.h"

#include "ui/condense.h"
#include "ui_key_panel.h"

namespace Main {

KeyPanel::KeyPanel(QWidget *parent) : QFrame(parent), m_form(std::make_unique<Ui::KeyPanel>()) {
    m_form->setupUi(this);
    for (QLabel *caption : {m_form->Label2, m_form->Label3, m_form->Label4, m_form->Label5})
        Framework::Condense(caption, QFont::SemiCondensed);
}

KeyPanel::~KeyPanel() = default;

} // namespace Main
