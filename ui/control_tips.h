// The short tooltips of the window's designed controls, by object name: what each does, in a few
// Russian words. A control that has a tooltip of its own keeps it.
#pragma once

#include <QList>
#include <QString>

namespace Main {

struct ControlTip {
    const char *name; // objectName in the main form or a panel's form
    QString tip;
};

QList<ControlTip> ControlTips();

} // namespace Main
