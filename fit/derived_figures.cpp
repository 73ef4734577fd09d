// Resonances and the figures at them, from the fitted elements.
#include "fit/derived_figures.h"

#include <cmath>

namespace Fit {

namespace {

constexpr double TwoPi = 6.283185307179586;

} // namespace

std::vector<DerivedFigure> DerivedFigures(Model model, const double *e) {
    switch (model) {
    case Model::Capacitor: {
        const double fs = 1.0 / (TwoPi * std::sqrt(e[1] * e[2]));
        return {{"srf", "Hz", fs, fs, 0b110u}, {"esr_at_srf", "ohm", e[0], fs, 0b111u}};
    }
    case Model::Inductor: {
        const double r = e[0], l = e[1], c = e[2];
        const double w2 = 1.0 / (l * c) - (r / l) * (r / l);
        if (!(w2 > 0.0)) return {};
        const double fs = std::sqrt(w2) / TwoPi;
        return {{"srf", "Hz", fs, fs, 0b111u},
                {"resistance_at_srf", "ohm", l / (r * c), fs, 0b111u}};
    }
    case Model::Resonator: {
        const double r1 = e[0], l1 = e[1], c1 = e[2], c0 = e[3];
        const double fs = 1.0 / (TwoPi * std::sqrt(l1 * c1));
        const double fp = fs * std::sqrt(1.0 + c1 / c0);
        return {{"srf", "Hz", fs, fs, 0b0110u},
                {"parallel_resonance", "Hz", fp, fp, 0b1110u},
                {"q", "", TwoPi * fs * l1 / r1, fs, 0b0111u},
                {"esr_at_srf", "ohm", r1, fs, 0b0111u}};
    }
    default:
        return {};
    }
}

} // namespace Fit
