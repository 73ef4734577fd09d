// The calibration panel PaClb: the corrected readout, the averaging run and the table.
// Widgets only: the main window connects them to its handlers.
#pragma once

#include <QFrame>

#include <memory>

namespace Ui {
class CalibrationPanel;
}

namespace Main {

class CalibrationPanel : public QFrame {
    Q_OBJECT

public:
    explicit CalibrationPanel(QWidget *parent = nullptr);
    ~CalibrationPanel() override;

    Ui::CalibrationPanel &form() { return *m_form; }

private:
    std::unique_ptr<Ui::CalibrationPanel> m_form;
};

} // namespace Main
