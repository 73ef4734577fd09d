// The fixture compensation panel PaComp: the fixture's name, the frequencies a run measures, a
// row per kind (switched on, measure, what is held), the load standard, the run's progress with
// its stop, and the reset. A window of its own beside the main window; widgets only: the main
// window connects them to its handlers and hands it what the core reports.
#pragma once

#include "compensation/compensation_data.h"

#include <QFrame>

#include <memory>

namespace Ui {
class CompensationPanel;
}

namespace Main {

class CompensationPanel : public QFrame {
    Q_OBJECT

public:
    explicit CompensationPanel(QWidget *parent = nullptr);
    ~CompensationPanel() override;

    Ui::CompensationPanel &form() { return *m_form; }

    // Where a run takes its frequencies.
    enum class Span { Grid, Sweep, Spot };
    Span ChosenSpan() const;
    // The kinds whose boxes are ticked, as Comp::Kind flags.
    unsigned TickedKinds() const;

    // The data held: boxes, what each kind holds, the standard and the fixture's name (fields
    // being edited are left alone).
    void ShowData(const Comp::Compensation &data);
    // A run going (its stop and progress shown, the measure buttons and the reset disabled).
    void ShowRun(bool running);
    void ShowProgress(int done, int total);

private:
    std::unique_ptr<Ui::CompensationPanel> m_form;
};

} // namespace Main
