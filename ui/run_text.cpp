// Texts and counts of a run as the window shows them.
#include "ui/run_text.h"

#include <algorithm>

namespace Main {

int DrawnSweepPoints(const SweepVariables &store, bool pointInHand) {
    const int points = std::clamp(store.SweepPoints, 0, SweepCapacity);
    if (store.SweepRunning) return std::clamp(store.SweepIndex + (pointInHand ? 1 : 0), 0, points);
    const int taken = TakenSweepPoints(store);
    return taken > 0 ? taken : points;
}

QString RunProgressText(const SweepVariables &store) {
    if (!store.SweepRunning && store.SweepIndex == 0) return QString();
    const int taken = store.SweepRunning ? store.SweepIndex : TakenSweepPoints(store);
    return QStringLiteral("%1 / %2").arg(taken).arg(store.SweepPoints);
}

QString PointCountProblem(int typed) {
    if (typed <= SweepCapacity) return QString();
    return QStringLiteral("Число точек: от %1 до %2").arg(SweepPointsLeast).arg(SweepCapacity);
}

QString BoundedFrequencyText(std::int32_t typed, std::int32_t sent, std::int32_t low,
                             std::int32_t high) {
    if (typed == sent) return QString();
    return QStringLiteral("Частота вне %1…%2 Гц: установлена %3 Гц").arg(low).arg(high).arg(sent);
}

} // namespace Main
