// The key panel PaKey: sixteen buttons for the instrument's front-panel keys and their captions.
// Widgets only: the main window connects them to its handlers.
#pragma once

#include <QFrame>

#include <memory>

namespace Ui {
class KeyPanel;
}

namespace Main {

class KeyPanel : public QFrame {
    Q_OBJECT

public:
    explicit KeyPanel(QWidget *parent = nullptr);
    ~KeyPanel() override;

    Ui::KeyPanel &form() { return *m_form; }

private:
    std::unique_ptr<Ui::KeyPanel> m_form;
};

} // namespace Main
