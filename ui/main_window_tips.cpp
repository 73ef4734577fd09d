// The tooltips of the designed controls (control_tips.*): set where a control has none, so the
// tooltips set elsewhere (the run's controls, a field's hint) stay.
#include "ui/main_window.h"

#include "ui/control_tips.h"

namespace Main {

void Tb_tok::ShowControlTips() {
    for (const ControlTip &tip : ControlTips()) {
        auto *control = findChild<QWidget *>(QLatin1String(tip.name));
        if (control && control->toolTip().isEmpty()) control->setToolTip(tip.tip);
    }
}

} // namespace Main
