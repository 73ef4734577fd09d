// Value axes with the program's ticks.
#include "ui/chart/tick_axis.h"

namespace Chart {

QCategoryAxis *NewTickAxis() {
    auto *axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setMinorTickCount(0);
    return axis;
}

void ShowTicks(QCategoryAxis *axis, const std::vector<Sweep::AxisTick> &ticks) {
    for (const QString &old : axis->categoriesLabels())
        axis->remove(old);
    axis->setStartValue(axis->min());
    double last = axis->min();
    bool first = true;
    for (const Sweep::AxisTick &tick : ticks) {
        // A category ends after the one before it; a tick at the axis' very start is its first.
        if (!first && !(tick.value > last)) continue;
        axis->append(tick.label, tick.value);
        last = tick.value;
        first = false;
    }
}

void ShowLinearTicks(QCategoryAxis *axis, int intervals) {
    ShowTicks(axis, Sweep::LinearTicks(axis->min(), axis->max(), intervals));
}

} // namespace Chart
