// A model goes to its own functions; a circuit string to its parsed tree, with bounds and starts
// from the size of |Z| over the sweep.
#include "fit/fit_target.h"

#include "fit/derived_figures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Fit {

namespace {

constexpr double StartAlpha = 0.85;

struct Span {
    double zMin = 0.0, zMax = 0.0, wMin = 0.0, wMax = 0.0;
    std::size_t lowest = 0, middle = 0, highest = 0; // by frequency
};

Span SpanOf(const UsablePoints &p) {
    Span s;
    s.zMin = s.zMax = std::abs(p.impedance.front());
    s.wMin = s.wMax = p.omega.front();
    std::vector<std::size_t> order(p.omega.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
        const double z = std::abs(p.impedance[i]);
        s.zMin = std::min(s.zMin, z);
        s.zMax = std::max(s.zMax, z);
        s.wMin = std::min(s.wMin, p.omega[i]);
        s.wMax = std::max(s.wMax, p.omega[i]);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&p](std::size_t a, std::size_t b) { return p.omega[a] < p.omega[b]; });
    s.lowest = order.front();
    s.middle = order[order.size() / 2];
    s.highest = order.back();
    return s;
}

} // namespace

int FitTarget::Count() const {
    return circuit_ ? static_cast<int>(circuit_->parameters.size()) : Info(model_).elementCount;
}

QString FitTarget::Name() const {
    return circuit_ ? circuit_->text : QString::fromLatin1(Info(model_).name);
}

QString FitTarget::Key(int i) const {
    return circuit_ ? circuit_->parameters[static_cast<std::size_t>(i)].key
                    : QString::fromLatin1(Info(model_).elements[i].key);
}

QString FitTarget::Unit(int i) const {
    return QString::fromLatin1(circuit_ ? circuit_->parameters[static_cast<std::size_t>(i)].unit
                                        : Info(model_).elements[i].unit);
}

int FitTarget::IndexOf(const QString &key) const {
    for (int i = 0; i < Count(); ++i)
        if (Key(i).compare(key, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

Complex FitTarget::Impedance(const double *values, double omega) const {
    return circuit_ ? CircuitImpedance(*circuit_, values, omega)
                    : Fit::Impedance(model_, values, omega);
}

Complex FitTarget::ImpedanceAndGradient(const double *values, double omega,
                                        Complex *gradient) const {
    return circuit_ ? CircuitImpedance(*circuit_, values, omega, gradient)
                    : Fit::ImpedanceAndGradient(model_, values, omega, gradient);
}

Bounds FitTarget::ValueBounds(const UsablePoints &points) const {
    return circuit_ ? CircuitBounds(*circuit_, points) : ElementBounds(model_, points);
}

std::vector<Elements> FitTarget::Starts(const UsablePoints &points) const {
    return circuit_ ? CircuitStarts(*circuit_, points) : StartingValues(model_, points);
}

std::vector<DerivedFigure> FitTarget::Derived(const double *values) const {
    return circuit_ ? std::vector<DerivedFigure>{} : DerivedFigures(model_, values);
}

std::optional<FitTarget> TargetOf(const FitResult &fit) {
    if (fit.circuit.isEmpty()) return FitTarget(fit.model);
    CircuitParse parse = ParseCircuit(fit.circuit);
    if (!parse.ok) return std::nullopt;
    return FitTarget(std::move(parse.circuit));
}

Bounds CircuitBounds(const ParsedCircuit &circuit, const UsablePoints &points) {
    const Span s = SpanOf(points);
    Bounds b;
    for (std::size_t i = 0; i < circuit.parameters.size(); ++i) {
        switch (circuit.parameters[i].kind) {
        case 'L':
            b.lower[i] = s.zMin / (BoundReach * s.wMax);
            b.upper[i] = BoundReach * s.zMax / s.wMin;
            break;
        case 'C':
            b.lower[i] = 1.0 / (BoundReach * s.zMax * s.wMax);
            b.upper[i] = BoundReach / (s.zMin * s.wMin);
            break;
        case 'Q': {
            // w^alpha is monotonic in both, so its extremes lie at the corners.
            double most = 0.0, least = std::numeric_limits<double>::infinity();
            for (double w : {s.wMin, s.wMax})
                for (double a : {LowestAlpha, HighestAlpha}) {
                    most = std::max(most, std::pow(w, a));
                    least = std::min(least, std::pow(w, a));
                }
            b.lower[i] = 1.0 / (BoundReach * s.zMax * most);
            b.upper[i] = BoundReach / (s.zMin * least);
            break;
        }
        case 'a':
            b.lower[i] = LowestAlpha;
            b.upper[i] = HighestAlpha;
            break;
        default:
            b.lower[i] = s.zMin / BoundReach;
            b.upper[i] = BoundReach * s.zMax;
        }
    }
    return b;
}

std::vector<Elements> CircuitStarts(const ParsedCircuit &circuit, const UsablePoints &points) {
    const Span s = SpanOf(points);
    const std::size_t at[] = {s.lowest, s.middle, s.highest};
    const auto positive = [&s](double v) {
        return std::isfinite(v) && v > 0.0 ? v : std::sqrt(s.zMin * s.zMax);
    };
    std::vector<std::vector<double>> candidates;
    for (const CircuitParameter &p : circuit.parameters) {
        std::vector<double> c;
        switch (p.kind) {
        case 'R':
            // A series R from the high end, a parallel one from the low end, and the middle.
            c = {positive(points.impedance[s.highest].real()),
                 positive(points.impedance[s.lowest].real()), std::sqrt(s.zMin * s.zMax)};
            break;
        case 'C':
            for (std::size_t i : at)
                c.push_back(1.0 / (points.omega[i] * std::abs(points.impedance[i])));
            break;
        case 'L':
            for (std::size_t i : at)
                c.push_back(std::abs(points.impedance[i]) / points.omega[i]);
            break;
        case 'Q':
            for (std::size_t i : at)
                c.push_back(
                    1.0 / (std::pow(points.omega[i], StartAlpha) * std::abs(points.impedance[i])));
            break;
        default:
            c = {StartAlpha};
        }
        candidates.push_back(c);
    }
    double combinations = 1.0;
    for (const auto &c : candidates)
        combinations *= static_cast<double>(c.size());
    const int count = static_cast<int>(std::min<double>(combinations, MaxCircuitStarts));
    std::vector<Elements> starts;
    for (int k = 0; k < count; ++k) {
        // The k-th of count spread over all combinations, read as a mixed-radix number.
        double index = std::floor(k * combinations / count);
        Elements e{};
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const double radix = static_cast<double>(candidates[i].size());
            const double digit = std::fmod(index, radix);
            e[i] = candidates[i][static_cast<std::size_t>(digit)];
            index = std::floor(index / radix);
        }
        starts.push_back(e);
    }
    return starts;
}

} // namespace Fit
