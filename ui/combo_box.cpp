// QComboBox::activated is the user's choice; the line edit's Enter covers typed entries.
#include "ui/combo_box.h"

#include <QComboBox>
#include <QLineEdit>

namespace Framework {

void OnUserChoice(QComboBox *box, std::function<void(int)> onChoice,
                  std::function<bool(const QString &)> onTyped) {
    if (box->isEditable()) {
        // Typed text never becomes a new entry; an exact match is chosen by the box itself.
        box->setInsertPolicy(QComboBox::NoInsert);
        QObject::connect(box->lineEdit(), &QLineEdit::returnPressed, box,
                         [box, onTyped = std::move(onTyped)] {
                             const QString text = box->lineEdit()->text();
                             if (box->findText(text, Qt::MatchFixedString) >= 0) return;
                             if (onTyped && onTyped(text)) return;
                             box->setEditText(box->itemText(box->currentIndex()));
                         });
    }
    QObject::connect(box, &QComboBox::activated, box, std::move(onChoice));
}

} // namespace Framework
