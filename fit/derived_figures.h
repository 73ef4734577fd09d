// Figures that follow from a fitted circuit's elements: its resonances, Q and resistance there.
#pragma once

#include "fit/circuit_fit.h"

#include <vector>

namespace Fit {

// capacitor: srf = 1/(2 pi sqrt(ESL C)), the series resonance, and esr_at_srf = ESR, the whole
//   impedance there.
// inductor: srf, the self-resonance of (R + jwL) || C: the frequency where Z is real,
//   sqrt(1/(LC) - (R/L)^2) / 2 pi (none when R^2 >= L/C), and resistance_at_srf = L/(RC), the
//   impedance there.
// resonator: srf = 1/(2 pi sqrt(L1 C1)), the series resonance of the motional arm;
//   parallel_resonance = srf sqrt(1 + C1/C0); q = 2 pi srf L1 / R1; esr_at_srf = R1.
// Other models have none.
std::vector<DerivedFigure> DerivedFigures(Model model, const double *elements);

} // namespace Fit
