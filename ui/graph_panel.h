// The graph panel PaGraph: the sweep settings, START and the chart.
// Widgets: the main window connects them to its handlers and hands it what to show.
#pragma once

#include <QFrame>

#include <memory>

namespace Ui {
class GraphPanel;
}

namespace Main {

struct SweepSummary;

class GraphPanel : public QFrame {
    Q_OBJECT

public:
    explicit GraphPanel(QWidget *parent = nullptr);
    ~GraphPanel() override;

    Ui::GraphPanel &form() { return *m_form; }

    // The mean, least and greatest of each shown parameter over the taken points.
    void ShowStatistics(const SweepSummary &summary);

protected:
    // The chart grows with the panel; "Развёртка" goes below "Шаг частоты" when one row of
    // groups does not fit (GraphPanelLayout).
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::GraphPanel> m_form;
};

} // namespace Main
