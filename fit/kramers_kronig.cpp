// The linear Kramers–Kronig check: Z(w) = R0 + sum R_k / (1 + j w tau_k) + j w L + 1 / (j w C),
// tau_k log-spaced from 1/w_max to 1/w_min, the values solved by linear least squares on the real
// and imaginary parts, each over |Z|. L and 1/C may take either sign, as may each R_k; mu judges
// how much of the resistance went negative.
#include "fit/kramers_kronig.h"

#include "fit/fit_verdict.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace Fit {

namespace {

struct Solved {
    Eigen::VectorXd values;    // R0, R_1 … R_M, L, 1/C
    Eigen::VectorXd residuals; // real parts, then imaginary parts, over |Z|
};

Solved Solve(const UsablePoints &points, int m, double wMin, double wMax) {
    const int n = static_cast<int>(points.omega.size());
    const int columns = m + 3;
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(2 * n, columns);
    Eigen::VectorXd b(2 * n);
    std::vector<double> tau(static_cast<std::size_t>(m));
    for (int k = 0; k < m; ++k) {
        const double share = m == 1 ? 0.5 : static_cast<double>(k) / (m - 1);
        tau[k] = std::exp(-std::log(wMax) + share * (std::log(wMax) - std::log(wMin)));
    }
    for (int i = 0; i < n; ++i) {
        const double w = points.omega[i];
        const double weight = 1.0 / std::abs(points.impedance[i]);
        a(i, 0) = weight;
        for (int k = 0; k < m; ++k) {
            const double wt = w * tau[k];
            a(i, 1 + k) = weight / (1.0 + wt * wt);
            a(n + i, 1 + k) = -weight * wt / (1.0 + wt * wt);
        }
        a(n + i, m + 1) = weight * w;
        a(n + i, m + 2) = -weight / w;
        b[i] = weight * points.impedance[i].real();
        b[n + i] = weight * points.impedance[i].imag();
    }
    // Columns scaled to one: w L and 1/(w C) span many decades against the others.
    Eigen::VectorXd norms = a.colwise().norm().transpose();
    for (int j = 0; j < columns; ++j)
        if (norms[j] > 0.0) a.col(j) /= norms[j];
    Solved s;
    const Eigen::VectorXd x = a.colPivHouseholderQr().solve(b);
    s.residuals = a * x - b;
    s.values = x;
    for (int j = 0; j < columns; ++j)
        s.values[j] = norms[j] > 0.0 ? x[j] / norms[j] : 0.0;
    return s;
}

double Mu(const Eigen::VectorXd &values, int m) {
    double negative = 0.0, positive = 0.0;
    for (int k = 1; k <= m; ++k)
        (values[k] < 0.0 ? negative : positive) += std::fabs(values[k]);
    return positive > 0.0 ? 1.0 - negative / positive : 0.0;
}

// The check with m elements, its residuals summed up.
KramersKronigCheck Checked(const UsablePoints &points, int m, double wMin, double wMax) {
    KramersKronigCheck c;
    c.pointsUsed = static_cast<int>(points.omega.size());
    const Solved s = Solve(points, m, wMin, wMax);
    c.elements = m;
    c.mu = Mu(s.values, m);
    const int n = c.pointsUsed;
    double sumReal = 0.0, sumImag = 0.0;
    for (int i = 0; i < n; ++i) {
        const double real = std::fabs(s.residuals[i]), imag = std::fabs(s.residuals[n + i]);
        sumReal += real * real;
        sumImag += imag * imag;
        c.maxReal = std::max(c.maxReal, real);
        c.maxImag = std::max(c.maxImag, imag);
    }
    c.rmsReal = std::sqrt(sumReal / n);
    c.rmsImag = std::sqrt(sumImag / n);
    c.rmsResidual = std::sqrt((sumReal + sumImag) / (2 * n));
    c.maxResidual = std::max(c.maxReal, c.maxImag);
    c.checked = std::isfinite(c.rmsResidual);
    return c;
}

} // namespace

int KramersKronigMostElements(const Sweep &sweep) {
    const UsablePoints points = SelectUsable(sweep);
    if (points.omega.empty()) return 0;
    const auto [low, high] = std::minmax_element(points.omega.begin(), points.omega.end());
    const double decades = std::log10(*high / *low);
    return std::max(
        1, std::min(static_cast<int>(points.omega.size()) / 2,
                    std::max(KramersKronigLeastElements,
                             static_cast<int>(std::ceil(KramersKronigPerDecade * decades)))));
}

KramersKronigCheck CheckKramersKronig(const Sweep &sweep, int elements) {
    UsablePoints points = SelectUsable(sweep);
    KramersKronigCheck c;
    c.pointsUsed = static_cast<int>(points.omega.size());
    if (points.distinctFrequencies < KramersKronigLeastPoints) return c;
    const auto [low, high] = std::minmax_element(points.omega.begin(), points.omega.end());
    const double wMin = *low, wMax = *high;
    const int most = KramersKronigMostElements(sweep);
    const double noise = NoiseEstimate(points);
    // A part whose impedance has a resonance of a coil (L with its winding capacitance) is a sum
    // of RC elements in its admittance, not its impedance: the form that fits better with the
    // most elements is checked. (dY/Y = -dZ/Z: the relative residuals mean the same.)
    UsablePoints admittance = points;
    for (Complex &z : admittance.impedance)
        z = 1.0 / z;
    const bool byAdmittance = Checked(admittance, most, wMin, wMax).rmsResidual <
                              Checked(points, most, wMin, wMax).rmsResidual;
    if (byAdmittance) points = admittance;
    for (int m = elements > 0 ? std::min(elements, most) : 1; m <= most; ++m) {
        c = Checked(points, m, wMin, wMax);
        // More elements than fit the data to their noise only fit the noise: mu says when they
        // start to, and the first M it does so at is kept.
        if (elements > 0 || (c.mu < KramersKronigMu && DescribesData(c.rmsResidual, noise))) break;
    }
    c.admittance = byAdmittance;
    c.noiseEstimate = noise;
    c.consistent = c.checked && DescribesData(c.rmsResidual, noise);
    return c;
}

} // namespace Fit
