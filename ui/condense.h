// Some texts were laid out for a narrower face than the usual sans: the large readouts must hold
// the longest display line beside the parameter boxes, the key-panel labels place each word over
// its key by blanks, and the port list shows "COM16" beside its arrow. A condensed cut of the same
// face keeps the designed sizes.
#pragma once

#include <QFont>
#include <QWidget>

namespace Framework {

inline void Condense(QWidget *widget, int stretch) {
    QFont font = widget->font();
    font.setStretch(stretch);
    widget->setFont(font);
}

} // namespace Framework
