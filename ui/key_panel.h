// The key panel PaKey: sixteen buttons for the instrument's front-panel keys and their captions.
// Each button says which key it presses; the main window sends it.
#pragma once

#include <QFrame>

#include <cstdint>

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

signals:
    void keyPressed(std::uint8_t code); // a code of Device::Command

private:
    std::unique_ptr<Ui::KeyPanel> m_form;
};

} // namespace Main
