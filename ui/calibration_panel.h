// The calibration panel PaClb: the corrected readout, the averaging run and the table.
// Widgets only: the main window connects them to its handlers and hands it what to show.
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

    // The stage of the averaging; after a run, its mean and the correction that cancels it.
    void ShowStage(bool running, bool meanReady, float mean);
    // Text in EdAverD that is not a whole number is marked instead of stopping the measurement.
    void ShowAveragingCount(bool whole);
    // The grid's cursor to the first cell without moving the marker, as a grid's stands before
    // the user selects a cell; PlacingCursor() is true while it moves.
    void PlaceCursor();
    bool PlacingCursor() const { return m_placingCursor; }

private:
    std::unique_ptr<Ui::CalibrationPanel> m_form;
    bool m_placingCursor = false;
};

} // namespace Main
