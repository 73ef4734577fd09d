// The graph panel PaGraph: the sweep settings, START and the chart.
// Widgets only: the main window connects them to its handlers.
#pragma once

#include <QFrame>

#include <memory>

namespace Ui {
class GraphPanel;
}

namespace Main {

class GraphPanel : public QFrame {
    Q_OBJECT

public:
    explicit GraphPanel(QWidget *parent = nullptr);
    ~GraphPanel() override;

    Ui::GraphPanel &form() { return *m_form; }

private:
    std::unique_ptr<Ui::GraphPanel> m_form;
};

} // namespace Main
