// Value axes of the sweep graph: log scale, units, points left out.
#include "sweep/plot_scale.h"

#include "link/display_lines.h"

#include <cmath>

namespace Sweep {

namespace {

constexpr int ParameterCount = 14;
constexpr int NoPrefix = 4; // position of "no prefix" in the display lines' prefixes

// The display lines' parameters in their order: C, L, R, G, B, X, Z, Y, D, Q, Fiz, Fiy, F, Ub.
const char *const RussianUnits[ParameterCount] = {"Ф",  "Гн", "Ом", "См", "См", "Ом", "Ом",
                                                  "См", "",   "",   "°",  "°",  "Гц", "В"};
const char *const RussianPrefixes[] = {"п", "н", "мк", "м", "", "к", "М", "Г"};
const bool LogShown[ParameterCount] = {true, true, true, true,  true,  true,  true,
                                       true, true, true, false, false, false, false};

} // namespace

bool LogValueApplies(int parameter) {
    return parameter >= 0 && parameter < ParameterCount && LogShown[parameter];
}

QString AxisUnit(int parameter, double factor) {
    if (parameter < 0 || parameter >= ParameterCount) return {};
    const int steps =
        factor > 0.0 && std::isfinite(factor) ? int(std::lround(std::log10(factor) / 3.0)) : 0;
    const QString unit = QString::fromUtf8(RussianUnits[parameter]);
    if (unit.isEmpty())
        return steps == 0 ? QString() : QStringLiteral("×%1").arg(std::pow(1000.0, steps), 0, 'g');
    const int prefix = Device::StartingPrefix[parameter] + steps;
    if (prefix < 0 || prefix >= int(std::size(RussianPrefixes)))
        return QStringLiteral("×%1 %2").arg(factor, 0, 'g').arg(unit);
    if (prefix == NoPrefix) return unit;
    return QString::fromUtf8(RussianPrefixes[prefix]) + unit;
}

UnitScale OhmsScale(double largest) {
    static const struct {
        double factor;
        const char *unit;
    } scales[] = {{1e-3, "мОм"}, {1.0, "Ом"}, {1e3, "кОм"}, {1e6, "МОм"}, {1e9, "ГОм"}};
    largest = std::fabs(largest);
    int k = 1;
    if (std::isfinite(largest) && largest > 0.0) {
        if (largest < 1.0) k = 0;
        while (k + 1 < int(std::size(scales)) && largest > 1000.0 * scales[k].factor)
            ++k;
    }
    return {scales[k].factor, QString::fromUtf8(scales[k].unit)};
}

int LeftOutOnLog(const QList<QPointF> &points) {
    int count = 0;
    for (const QPointF &p : points)
        if (std::isfinite(p.x()) && std::isfinite(p.y()) && p.y() <= 0.0) ++count;
    return count;
}

QString LeftOutText(int count) {
    return count > 0 ? QStringLiteral("Лог. Y: не показано точек ≤ 0: %1").arg(count) : QString();
}

} // namespace Sweep
