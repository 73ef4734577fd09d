// QComboBox::activated is the user's choice; the line edit's Enter covers typed entries.
#include "ui/combo_box.h"

#include <QComboBox>
#include <QLineEdit>

namespace Framework {

void OnUserChoice(QComboBox *box, std::function<void(int)> onChoice) {
    if (box->isEditable()) {
        // Typed text never becomes a new entry; an exact match is chosen by the box itself.
        box->setInsertPolicy(QComboBox::NoInsert);
        QObject::connect(box->lineEdit(), &QLineEdit::returnPressed, box, [box] {
            if (box->findText(box->lineEdit()->text(), Qt::MatchFixedString) < 0)
                box->setEditText(box->itemText(box->currentIndex()));
        });
    }
    QObject::connect(box, &QComboBox::activated, box, std::move(onChoice));
}

} // namespace Framework
