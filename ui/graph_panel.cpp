// Builds the panel from its form.
#include "ui/graph_panel.h"

#include "ui_graph_panel.h"

namespace Main {

GraphPanel::GraphPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::GraphPanel>()) {
    m_form->setupUi(this);
}

GraphPanel::~GraphPanel() = default;

} // namespace Main
