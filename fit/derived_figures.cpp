// Resonances and the figures at them, from the fitted elements.
#include "fit/derived_figures.h"

#include <cmath>

namespace Fit {

namespace {

constexpr double TwoPi = 6.283185307179586;

} // namespace

std::vector<DerivedFigure> DerivedFigures(Model model, const double *e) {
    switch (model) {
    case Model::Capacitor:
        return {{"srf", "Hz", 1.0 / (TwoPi * std::sqrt(e[1] * e[2]))}, {"esr_at_srf", "ohm", e[0]}};
    case Model::Inductor: {
        const double r = e[0], l = e[1], c = e[2];
        const double w2 = 1.0 / (l * c) - (r / l) * (r / l);
        if (!(w2 > 0.0)) return {};
        return {{"srf", "Hz", std::sqrt(w2) / TwoPi}, {"resistance_at_srf", "ohm", l / (r * c)}};
    }
    case Model::Resonator: {
        const double r1 = e[0], l1 = e[1], c1 = e[2], c0 = e[3];
        const double fs = 1.0 / (TwoPi * std::sqrt(l1 * c1));
        return {{"srf", "Hz", fs},
                {"parallel_resonance", "Hz", fs * std::sqrt(1.0 + c1 / c0)},
                {"q", "", TwoPi * fs * l1 / r1},
                {"esr_at_srf", "ohm", r1}};
    }
    default:
        return {};
    }
}

} // namespace Fit
