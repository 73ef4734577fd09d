// Estimates from the shape of the curve: resistances from the real part, L and C from a linear
// least-squares fit of the reactance (wL - 1/(wC) is linear in L and 1/C), resonances from the
// turns of the phase and the extremes of |Z|.
#include "fit/starting_values.h"

#include <algorithm>
#include <cmath>

namespace Fit {

namespace {

struct Extremes {
    std::size_t lowest = 0;   // index of the lowest frequency
    std::size_t highest = 0;  // and of the highest
    std::size_t smallest = 0; // of the smallest |Z|
    std::size_t largest = 0;  // of the largest |Z|
};

Extremes FindExtremes(const UsablePoints &p) {
    Extremes e;
    for (std::size_t i = 1; i < p.omega.size(); ++i) {
        if (p.omega[i] < p.omega[e.lowest]) e.lowest = i;
        if (p.omega[i] > p.omega[e.highest]) e.highest = i;
        if (std::abs(p.impedance[i]) < std::abs(p.impedance[e.smallest])) e.smallest = i;
        if (std::abs(p.impedance[i]) > std::abs(p.impedance[e.largest])) e.largest = i;
    }
    return e;
}

// Where a resonance beyond the measured range may lie, as a factor beyond its end.
constexpr double BeyondFactors[] = {1.5, 5.0, 50.0};

// A positive, finite value, or the fallback.
double Positive(double value, double fallback) {
    return std::isfinite(value) && value > 0.0 ? value : fallback;
}

// Mean of the real part, each point weighted by 1/|Z|^2 as the fit weighs it.
double WeightedResistance(const UsablePoints &p) {
    double sum = 0.0, weights = 0.0;
    for (std::size_t i = 0; i < p.omega.size(); ++i) {
        const double w = 1.0 / std::norm(p.impedance[i]);
        sum += w * p.impedance[i].real();
        weights += w;
    }
    return sum / weights;
}

struct Reactive {
    double inductance = 0.0;         // L of X = wL - 1/(wC)
    double inverseCapacitance = 0.0; // 1/C
};

// Least squares of X = a w - b / w with relative weights; either term may be left out.
Reactive FitReactance(const UsablePoints &p, bool withL, bool withC) {
    double aa = 0.0, ab = 0.0, bb = 0.0, ax = 0.0, bx = 0.0;
    for (std::size_t i = 0; i < p.omega.size(); ++i) {
        const double w2 = 1.0 / std::norm(p.impedance[i]);
        const double u = withL ? p.omega[i] : 0.0;
        const double v = withC ? -1.0 / p.omega[i] : 0.0;
        const double x = p.impedance[i].imag();
        aa += w2 * u * u;
        ab += w2 * u * v;
        bb += w2 * v * v;
        ax += w2 * u * x;
        bx += w2 * v * x;
    }
    Reactive r;
    if (withL && withC) {
        const double det = aa * bb - ab * ab;
        if (det > 0.0) {
            r.inductance = (ax * bb - bx * ab) / det;
            r.inverseCapacitance = (bx * aa - ax * ab) / det;
        }
    } else if (withL && aa > 0.0) {
        r.inductance = ax / aa;
    } else if (withC && bb > 0.0) {
        r.inverseCapacitance = bx / bb;
    }
    return r;
}

// C that makes |1/(wC)| equal |Z| at point i, and L that makes |wL| do so.
double CapacitanceAt(const UsablePoints &p, std::size_t i) {
    return 1.0 / (p.omega[i] * std::abs(p.impedance[i]));
}
double InductanceAt(const UsablePoints &p, std::size_t i) {
    return std::abs(p.impedance[i]) / p.omega[i];
}

std::vector<Elements> SeriesStarts(Model model, const UsablePoints &p, const Extremes &e) {
    const double rFallback = 1e-3 * std::abs(p.impedance[e.smallest]);
    const double r = Positive(WeightedResistance(p), rFallback);
    const bool withL = model == Model::SeriesRl || model == Model::Capacitor;
    const bool withC = model == Model::SeriesRc || model == Model::Capacitor;
    const Reactive x = FitReactance(p, withL, withC);
    const double l = Positive(x.inductance, 1e-3 * InductanceAt(p, e.highest));
    const double c = Positive(1.0 / x.inverseCapacitance, 1e3 * CapacitanceAt(p, e.lowest));
    switch (model) {
    case Model::Resistor:
        return {{Positive(WeightedResistance(p), std::abs(p.impedance[e.smallest]))}};
    case Model::SeriesRc:
        return {{r, c}};
    case Model::SeriesRl:
        return {{r, l}};
    default: // capacitor: also a start from the corner values, in case the linear fit is poor
        return {{r, l, c},
                {r, InductanceAt(p, e.highest), CapacitanceAt(p, e.lowest)},
                {rFallback, 1e-3 * InductanceAt(p, e.highest), CapacitanceAt(p, e.lowest)}};
    }
}

// Rs + (Rp || C): the parallel part is read from the admittance once a guess of Rs is taken off.
std::vector<Elements> ParallelRcStarts(const UsablePoints &p, const Extremes &e) {
    std::vector<Elements> starts;
    const double rHigh = Positive(p.impedance[e.highest].real(), std::abs(p.impedance[e.highest]));
    for (double share : {0.9, 0.01}) {
        const double rs = share * rHigh;
        double g = 0.0, gw = 0.0, bc = 0.0, bw = 0.0;
        for (std::size_t i = 0; i < p.omega.size(); ++i) {
            const Complex y = 1.0 / (p.impedance[i] - rs);
            const double w = 1.0 / std::norm(y);
            g += w * y.real();
            gw += w;
            bc += w * y.imag() * p.omega[i];
            bw += w * p.omega[i] * p.omega[i];
        }
        const double rp = Positive(gw / g, std::abs(p.impedance[e.lowest]));
        const double c = Positive(bc / bw, CapacitanceAt(p, e.highest));
        starts.push_back({rs, rp, c});
    }
    return starts;
}

// Frequencies where the phase changes sign, upwards (- to +) or downwards, interpolated in log w.
std::vector<double> PhaseCrossings(const UsablePoints &p, bool upwards) {
    std::vector<std::size_t> order(p.omega.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&p](std::size_t a, std::size_t b) { return p.omega[a] < p.omega[b]; });
    std::vector<double> crossings;
    for (std::size_t k = 1; k < order.size(); ++k) {
        const double before = std::arg(p.impedance[order[k - 1]]);
        const double after = std::arg(p.impedance[order[k]]);
        if (upwards ? (before < 0.0 && after >= 0.0) : (before > 0.0 && after <= 0.0)) {
            const double t = before / (before - after);
            const double lw0 = std::log(p.omega[order[k - 1]]);
            const double lw1 = std::log(p.omega[order[k]]);
            crossings.push_back(std::exp(lw0 + t * (lw1 - lw0)));
        }
    }
    return crossings;
}

// (R + jwL) || C: R and L from the points below the self-resonance, C from where it lies.
std::vector<Elements> InductorStarts(const UsablePoints &p, const Extremes &e) {
    const double r = Positive(p.impedance[e.lowest].real(), 1e-3 * std::abs(p.impedance[e.lowest]));
    const double l =
        Positive(p.impedance[e.lowest].imag() / p.omega[e.lowest], InductanceAt(p, e.lowest));
    std::vector<Elements> starts;
    for (double w0 : PhaseCrossings(p, false))
        starts.push_back({r, l, 1.0 / (w0 * w0 * l)});
    const double wPeak = p.omega[e.largest];
    starts.push_back({r, l, 1.0 / (wPeak * wPeak * l)});
    for (double beyond : BeyondFactors) { // a resonance above the range
        const double w = beyond * p.omega[e.highest];
        starts.push_back({r, l, 1.0 / (w * w * l)});
    }
    return starts;
}

// The point whose frequency lies nearest w (in log terms).
std::size_t Nearest(const UsablePoints &p, double w) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < p.omega.size(); ++i)
        if (std::fabs(std::log(p.omega[i] / w)) < std::fabs(std::log(p.omega[best] / w))) best = i;
    return best;
}

// (R1 + jwL1 + 1/(jwC1)) || C0: C0 from the top of the range, C0 + C1 from the bottom, the
// series resonance fs where the phase turns up (or below its peak, when it stays negative), the
// parallel one fp where it turns down again; R1 is the arm's resistance at fs.
std::vector<Elements> ResonatorStarts(const UsablePoints &p, const Extremes &e) {
    const double c0 = CapacitanceAt(p, e.highest);
    const double total = CapacitanceAt(p, e.lowest);
    std::vector<double> series = PhaseCrossings(p, true);
    const std::vector<double> parallel = PhaseCrossings(p, false);
    std::size_t peak = 0;
    for (std::size_t i = 1; i < p.omega.size(); ++i)
        if (std::arg(p.impedance[i]) > std::arg(p.impedance[peak])) peak = i;
    series.push_back(p.omega[peak] / 1.05);
    std::vector<Elements> starts;
    // Resonances beyond the range: the motional arm is then a capacitor (above) or an inductor
    // (below) throughout, so C1 takes a share of the capacitance seen at the lowest frequency.
    const std::size_t edge[2] = {e.highest, e.lowest};
    for (int side = 0; side < 2; ++side) {
        const std::size_t at = edge[side];
        const double r1 = Positive(p.impedance[at].real(), 1e-3 * std::abs(p.impedance[at]));
        for (double beyond : BeyondFactors) {
            const double ws = side == 0 ? beyond * p.omega[at] : p.omega[at] / beyond;
            for (double share : {0.5, 0.05}) {
                const double c1 = share * total;
                const double shunt =
                    side == 0 ? (1.0 - share) * total : CapacitanceAt(p, e.highest);
                starts.push_back({r1, 1.0 / (ws * ws * c1), c1, shunt});
            }
        }
    }
    for (double ws : series) {
        double wp = 1.1 * ws;
        for (double w : parallel)
            if (w > ws) {
                wp = w;
                break;
            }
        const std::size_t at = Nearest(p, ws);
        const Complex arm = 1.0 / (1.0 / p.impedance[at] - Complex(0.0, p.omega[at] * c0));
        const double r1 = Positive(arm.real(), std::abs(p.impedance[at]));
        for (double c1 : {total - c0, c0 * ((wp / ws) * (wp / ws) - 1.0)}) {
            if (!(c1 > 0.0) || !std::isfinite(c1)) continue;
            starts.push_back({r1, 1.0 / (ws * ws * c1), c1, c0});
        }
    }
    return starts;
}

} // namespace

std::vector<Elements> StartingValues(Model model, const UsablePoints &points) {
    const Extremes e = FindExtremes(points);
    switch (model) {
    case Model::ParallelRc:
        return ParallelRcStarts(points, e);
    case Model::Inductor:
        return InductorStarts(points, e);
    case Model::Resonator:
        return ResonatorStarts(points, e);
    default:
        return SeriesStarts(model, points, e);
    }
}

} // namespace Fit
