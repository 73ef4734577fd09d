// What the sweep graph's value axes show: which parameters a log axis may take, the unit of an
// axis with its prefix, and the points a log axis leaves out.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

namespace Sweep {

// Whether the parameter (index 0..13 of the display lines) is a magnitude that a log value axis
// shows well: C, L, R, G, B, X, |Z|, |Y|, D and Q. The angles, the frequency and the bias are
// not (a sign or an offset is what they tell).
bool LogValueApplies(int parameter);

// The unit of a parameter's axis when its plotted values were divided by factor (a power of
// 1000, as the statistics choose it): "пФ", "кОм", "мкГн", "°"; empty for D and Q unless scaled
// ("×1000").
QString AxisUnit(int parameter, double factor);

// A prefix for an axis of ohms whose values reach `largest` (in magnitude): the factor its
// labels are divided by and the unit they are in ("мОм", "Ом", "кОм", "МОм", "ГОм").
struct UnitScale {
    double factor = 1.0;
    QString unit;
};
UnitScale OhmsScale(double largest);

// Points with a finite value at or below zero: a log value axis has no place for them.
int LeftOutOnLog(const QList<QPointF> &points);

// The window's note of those points, empty when none: "Лог. Y: не показано точек ≤ 0: 3".
QString LeftOutText(int count);

} // namespace Sweep
