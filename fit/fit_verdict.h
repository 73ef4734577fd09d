// Whether a fit can be trusted: the noise the data show of themselves, whether the model's
// residual stays within it, whether each element and each derived figure is fixed by the data.
#pragma once

#include "fit/circuit_fit.h"

namespace Fit {

// The relative noise of a sweep without any model: each point against the straight line in
// (ln w, ln Z) through its two neighbours in frequency. For noise of standard deviation s in ln|Z|
// and in the angle, the real and imaginary parts of that difference have the standard deviation
// s * sqrt(1 + a^2 + b^2) (a, b the line's weights of the neighbours); the estimate is the median
// of their squares so scaled, divided by the median of a chi-square of one degree (0.4549), so a
// sharp resonance's few points do not count. NaN with fewer than MinimumNoisePoints such points.
double NoiseEstimate(const UsablePoints &points);
constexpr int MinimumNoisePoints = 5;

// The model describes the data when its RMS relative residual is at most DescribeFactor times the
// noise estimate, or at most DescribeFloor (0.3 %, below what a bench meter's accuracy tells
// apart) whatever the estimate. A correct model leaves the noise itself, sqrt(1 - p / 2n) of it;
// three times that allows for the scatter of the estimate on short sweeps.
constexpr double DescribeFactor = 3.0;
constexpr double DescribeFloor = 3e-3;
bool DescribesData(double rmsRelativeResidual, double noiseEstimate);

// An element is determined when its value is at least DeterminedSigmas standard uncertainties:
// its relative uncertainty is below one third.
constexpr double DeterminedSigmas = 3.0;

// Sets each free element's state from its uncertainty, each derived figure's span against the
// measured frequencies [lowHz, highHz], describesData and the verdict. fit holds a fitted result
// with its elements, residual, noise estimate and status.
void Judge(FitResult &fit, double lowHz, double highHz);

} // namespace Fit
