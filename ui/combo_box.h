// Editable combo boxes whose change handler runs on the user's choices only.
#pragma once

#include <QString>

#include <functional>

class QComboBox;

namespace Framework {

// Calls onChoice(index) when the user picks an entry, or types an entry's text and presses Enter.
// Typed text that matches no entry goes to onTyped when given; unless it takes it (true), it
// changes nothing: the box shows its entry again. Setting the index from the program calls
// nothing.
void OnUserChoice(QComboBox *box, std::function<void(int)> onChoice,
                  std::function<bool(const QString &)> onTyped = {});

} // namespace Framework
