// The words the window uses for fixture compensation: the status bar's short account of the
// corrections on, a kind's readings in a line, frequencies with their unit, and the load
// standard as typed (R and X in ohms, a decimal comma or point).
#pragma once

#include "compensation/compensation_data.h"

#include <QString>

#include <optional>

namespace Main {

// "Компенсация: ХХ+КЗ+Н" for the kinds in use (ХХ open, КЗ short, Н load); "Компенсация: нет
// данных" when kinds are on but none has data; "…, вне диапазона" when the last reading lay
// outside the measured span. Empty while no kind is switched on.
QString CompensationStatus(unsigned enabled, unsigned usable, bool outside);

// "1 кГц", "31,62 кГц", "2 МГц": the frequency with its unit, four significant digits.
QString FrequencyText(double hz);

// "нет данных", "1 точка: 1 кГц", "41 точка: 10 Гц … 200 кГц".
QString TraceSummary(const Comp::Trace &trace);

// The standard R + jX from the two fields; nothing when either is not a number or the pair is
// no standard.
std::optional<Comp::LoadStandard> ReadLoadStandard(const QString &resistance,
                                                   const QString &reactance);

// A number as the fields show it: up to seven significant digits, a decimal comma.
QString NumberText(double value);

} // namespace Main
