#pragma once
// The port-choice dialog com_poisk_tool: a port number field and an "Ok" button.

#include "ui_port_dialog.h"

#include <QDialog>

class QKeyEvent;

namespace apoisk {

class Tcom_poisk_tool : public QDialog {
    Q_OBJECT

public:
    explicit Tcom_poisk_tool(QWidget *parent = nullptr);

    Ui::Tcom_poisk_tool ui;

public slots:
    // Enter in ib_nport confirms the field as the button does; other keys edit the field.
    void ib_nportKeyDown(QKeyEvent *event);
    void bcom_enterClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace apoisk
