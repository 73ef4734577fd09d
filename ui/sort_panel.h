// The sorting panel PaSort: the verdict of the last part, the counts with their reset, the plan
// as fields, the comparator's switch, sorting on demand and the log. A window of its own beside
// the main window; widgets only: the main window connects them to its handlers and hands it
// what the core reports.
#pragma once

#include "sorting/sort_plan.h"
#include "ui/sort_text.h"

#include <QFrame>

#include <memory>

namespace Ui {
class SortPanel;
}

namespace Main {

class SortPanel : public QFrame {
    Q_OBJECT

public:
    explicit SortPanel(QWidget *parent = nullptr);
    ~SortPanel() override;

    Ui::SortPanel &form() { return *m_form; }

    // The plan as typed, and the fields showing a plan (not set again for the plan they show).
    PlanFields Fields() const;
    void ShowPlan(const Sort::Plan &plan);

    void ShowVerdict(const Sort::Verdict &verdict, const Sort::Plan &plan);
    void ShowCounts(const Sort::Counts &counts, const Sort::Plan &plan);
    void ShowSorting(bool on);
    // A refused plan's reason; empty clears it.
    void ShowProblem(const QString &problem);

private:
    std::unique_ptr<Ui::SortPanel> m_form;
    QByteArray m_shownPlan; // the plan the fields were last set to, as plan text
};

} // namespace Main
