// An equivalent-circuit fit in the window's words: the circuit named in Russian, each element with
// its value, SI prefix and unit symbol and its standard uncertainty, the held and undetermined
// ones said as such, the derived figures by name (a figure outside the measured span is not
// given as a number) and the verdict. Also a circuit string that does not parse. Pure: no
// widgets; the command line keeps its English text (fit/fit_report.h).
#pragma once

#include "fit/circuit_fit.h"
#include "fit/circuit_string.h"

#include <QString>

namespace Main {

// value with an SI prefix (f … T), a decimal comma and the unit symbol: 1.5e-7, "F" ->
// "150,00 nF"; significant digits in all; beyond the prefixes with a power of ten.
QString SiText(double value, const QString &unit, int significant = 5);

// The circuit of a fit in Russian: "конденсатор (R–L–C последовательно)", or its circuit string.
QString FitCircuitName(const Fit::FitResult &fit);

// The whole result, one item a line, closed by the verdict line (fit_verdict_text.h).
QString FitText(const Fit::FitResult &fit);

// "Схема «R0-p(R1»: позиция 8 — не закрыта скобка p(." for a text ParseCircuit refused
// (position counted from 1, as a person counts); empty when parse is a circuit.
QString CircuitProblemText(const QString &text, const Fit::CircuitParse &parse);

} // namespace Main
