// Builds the panel from its form.
#include "ui/calibration_panel.h"

#include "ui_calibration_panel.h"

namespace Main {

CalibrationPanel::CalibrationPanel(QWidget *parent)
    : QFrame(parent), m_form(std::make_unique<Ui::CalibrationPanel>()) {
    m_form->setupUi(this);
}

CalibrationPanel::~CalibrationPanel() = default;

} // namespace Main
