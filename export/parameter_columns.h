// The fourteen parameters as columns of a data file: their header with the SI unit, and the
// power of ten that takes a value from the unit the link stores it in (pF, nH, mΩ, nS, mV, …)
// to the SI unit.
#pragma once

#include <QString>

namespace Export {

// index 0..13 as everywhere in the program (0 C … 13 Ub).
int SiExponent(int index);
QString SiUnit(int index);       // "F", "Ω", "°", … ; empty for D and Q
QString ColumnHeader(int index); // "C (F)", "Fiz (°)", "D"

} // namespace Export
