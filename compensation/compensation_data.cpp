// Interpolation of the fixture's readings and the correction of one reading.
#include "compensation/compensation_data.h"

#include <algorithm>
#include <cmath>

namespace Comp {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double SameFrequency = 0.5; // Hz: a spot reading holds at its own frequency only
constexpr int PointsPerDecade = 10;

bool Finite(Complex z) {
    return std::isfinite(z.real()) && std::isfinite(z.imag());
}

// A value at hz interpolated linearly in log f between the trace's neighbours. The imaginary
// part is interpolated over ω (a lead's inductance, a stray capacitance), so that lumped parts
// come out exactly between the points; the real part as it is. invert: the trace's admittance.
std::optional<Complex> Interpolate(const Trace &t, double hz, bool invert) {
    if (t.empty() || !(hz > 0.0)) return std::nullopt;
    if (t.hz.size() == 1) {
        if (std::fabs(hz - t.hz.front()) > SameFrequency) return std::nullopt;
        return t.z.front();
    }
    if (hz < t.hz.front() - SameFrequency || hz > t.hz.back() + SameFrequency) return std::nullopt;
    const auto upper = std::lower_bound(t.hz.begin(), t.hz.end(), hz);
    if (upper == t.hz.end()) return t.z.back();
    const std::size_t j = static_cast<std::size_t>(upper - t.hz.begin());
    if (j == 0 || *upper == hz) return t.z[j];
    const auto scaled = [invert](Complex z, double f) {
        const Complex v = invert ? Complex(1.0) / z : z;
        return Complex(v.real(), v.imag() / f);
    };
    const Complex low = scaled(t.z[j - 1], t.hz[j - 1]);
    const Complex high = scaled(t.z[j], t.hz[j]);
    const double w =
        (std::log(hz) - std::log(t.hz[j - 1])) / (std::log(t.hz[j]) - std::log(t.hz[j - 1]));
    const Complex mixed = low + w * (high - low);
    const Complex v(mixed.real(), mixed.imag() * hz);
    return invert ? Complex(1.0) / v : v;
}

} // namespace

bool LoadStandard::valid() const {
    if (!std::isfinite(first) || !std::isfinite(second)) return false;
    switch (form) {
    case Form::ResistanceReactance:
        return first != 0.0 || second != 0.0;
    case Form::CapacitanceD:
        return first > 0.0 && second >= 0.0;
    case Form::InductanceQ:
        return first > 0.0 && second > 0.0;
    }
    return false;
}

Complex LoadStandard::At(double hz) const {
    const double omega = 2.0 * Pi * hz;
    switch (form) {
    case Form::ResistanceReactance:
        return {first, second};
    case Form::CapacitanceD: { // series C with D = ωCR
        const double x = -1.0 / (omega * first);
        return {second * -x, x};
    }
    case Form::InductanceQ: { // series L with Q = ωL/R
        const double x = omega * first;
        return {x / second, x};
    }
    }
    return {};
}

void Trace::Put(double frequency, Complex impedance) {
    const auto at = std::lower_bound(hz.begin(), hz.end(), frequency);
    const auto index = at - hz.begin();
    if (at != hz.end() && *at == frequency) {
        z[static_cast<std::size_t>(index)] = impedance;
        return;
    }
    hz.insert(at, frequency);
    z.insert(z.begin() + index, impedance);
}

unsigned Compensation::Usable() const {
    unsigned usable = NoCorrection;
    if ((enabled & OpenCorrection) && !open.empty()) usable |= OpenCorrection;
    if ((enabled & ShortCorrection) && !shorted.empty()) usable |= ShortCorrection;
    if ((enabled & LoadCorrection) && !load.empty() && standard.valid() &&
        (usable & (OpenCorrection | ShortCorrection)) == (OpenCorrection | ShortCorrection))
        usable |= LoadCorrection;
    return usable;
}

std::optional<Complex> ImpedanceAt(const Trace &trace, double hz) {
    return Interpolate(trace, hz, false);
}

std::optional<Complex> OpenAt(const Trace &trace, double hz) {
    return Interpolate(trace, hz, true);
}

Corrected Compensation::Apply(double hz, Complex measured) const {
    const Compensation &c = *this;
    Corrected out{measured, NoCorrection, false};
    const unsigned kinds = c.Usable();
    if (kinds == NoCorrection) return out;
    Standards s;
    if (kinds & OpenCorrection) {
        const auto open = OpenAt(c.open, hz);
        if (!open) return {measured, NoCorrection, true};
        s.open = *open;
    }
    if (kinds & ShortCorrection) {
        const auto shorted = ImpedanceAt(c.shorted, hz);
        if (!shorted) return {measured, NoCorrection, true};
        s.shorted = *shorted;
    }
    if (kinds & LoadCorrection) {
        const auto load = ImpedanceAt(c.load, hz);
        if (!load) return {measured, NoCorrection, true};
        s.loadMeasured = *load;
        s.loadTrue = c.standard.At(hz);
    }
    const Complex z = Correct(measured, s, kinds);
    if (!Finite(z)) return {measured, NoCorrection, true};
    return {z, kinds, false};
}

std::vector<double> StandardGrid(double low, double high) {
    std::vector<double> grid;
    if (!(low > 0.0) || !(high >= low)) return grid;
    grid.push_back(low);
    for (int k = 0;; ++k) {
        const double hz = 10.0 * std::pow(10.0, static_cast<double>(k) / PointsPerDecade);
        if (hz >= high) break;
        if (hz > low * (1.0 + 1e-9)) grid.push_back(std::round(hz));
    }
    if (high > low) grid.push_back(high);
    grid.erase(std::unique(grid.begin(), grid.end()), grid.end());
    return grid;
}

} // namespace Comp
