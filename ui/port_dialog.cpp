// Port-choice dialog: frame, the Enter key of the port field and the "Ok" button.

#include "ui/port_dialog.h"

#include <QKeyEvent>

namespace apoisk {

Tcom_poisk_tool::Tcom_poisk_tool(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    setFixedSize(size());
    move(223, 102);
    ui.ib_nport->installEventFilter(this);
    connect(ui.bcom_enter, &QPushButton::clicked, this, &Tcom_poisk_tool::bcom_enterClick);
}

void Tcom_poisk_tool::ib_nportKeyDown(QKeyEvent *event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        bcom_enterClick();
        return;
    }
    event->ignore();
}

// Deliberately empty: the program never shows this dialog (the instrument search and the port
// list of the tool bar choose the port), so there is nothing for a confirmed number to do.
void Tcom_poisk_tool::bcom_enterClick() {}

bool Tcom_poisk_tool::eventFilter(QObject *watched, QEvent *event) {
    if (watched == ui.ib_nport && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        ib_nportKeyDown(key);
        // A handled Enter stops here, so the dialog does not also treat it as its own Enter.
        return key->isAccepted();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace apoisk
