// Whether a sweep obeys the Kramers–Kronig relations, by the linear method: the data are fitted
// by a series resistance, M Voigt elements R_k ∥ C_k with fixed time constants, a series
// inductance and a series capacitance, all linear in their values, so one least-squares solve
// per M. Data a linear, causal, stable part gives are fitted to their noise; drift or a change
// of the part during the sweep leaves residuals the RC elements cannot take up.
#pragma once

#include "fit/fit_data.h"

namespace Fit {

// The share of the Voigt resistances that may be negative before the elements fit the noise
// rather than the part: M grows from one until mu = 1 - sum|R_k < 0| / sum(R_k >= 0) falls
// below it once the elements fit the data within their noise (DescribesData), or to the most.
constexpr double KramersKronigMu = 0.85;
// M grows at most to this many elements per decade of the span (and never beyond half the points,
// nor below KramersKronigLeastElements).
constexpr double KramersKronigPerDecade = 12.0;
constexpr int KramersKronigLeastElements = 4;
// Fewer usable points than this are not checked.
constexpr int KramersKronigLeastPoints = 5;

struct KramersKronigCheck {
    bool checked = false; // false: too few usable points; nothing else is meaningful
    int pointsUsed = 0;
    int elements = 0;        // M
    bool admittance = false; // the elements were fitted to 1/Z (a coil's or a resonator's data)
    double mu = 0.0;         // at M
    // Of (Zkk - Z) / |Z|: over the real parts, the imaginary parts, and both together.
    double rmsReal = 0.0, rmsImag = 0.0, rmsResidual = 0.0;
    double maxReal = 0.0, maxImag = 0.0, maxResidual = 0.0;
    double noiseEstimate = 0.0; // of the data (fit_verdict.h); NaN for short sweeps
    // The residual is within what the noise explains: the rule the fit's describes_data uses.
    bool consistent = false;
    // Consistent because a fitted circuit describes the data to their noise, where the RC
    // elements leave more: a circuit of R, L, C and constant-phase elements is causal and
    // linear, so data it describes obey the relations (a resonance sharper than real time
    // constants follow). See CheckWithFit.
    bool byCircuit = false;
};

// elements 0: M grows from one until mu falls below KramersKronigMu, or to the most the span
// allows; otherwise M is that many (at most the most allowed).
KramersKronigCheck CheckKramersKronig(const Sweep &sweep, int elements = 0);

// The most elements the check uses for the sweep's usable points.
int KramersKronigMostElements(const Sweep &sweep);

} // namespace Fit
