// The solver runs on the logarithms of the elements, so every element stays positive and steps are
// relative. Residuals are (Zfit - Z) / |Z|, real and imaginary parts, so each decade of |Z| counts
// alike. Uncertainties come from the Jacobian at the solution, scaled by the residual.
#include "fit/circuit_fit.h"

#include "fit/derived_figures.h"
#include "fit/starting_values.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Fit {

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double LogLimit = 230.0; // ln of 1e100: an element beyond it is no part
// Below this the relative residual says nothing: the sweep store keeps single-precision values.
constexpr double ResolutionFloor = 1e-6;
constexpr double Infinity = std::numeric_limits<double>::infinity();

struct Residuals : Eigen::DenseFunctor<double> {
    Residuals(Model m, const UsablePoints &p)
        : DenseFunctor(Info(m).elementCount, 2 * static_cast<int>(p.omega.size())), model(m),
          points(p) {}

    Elements ElementsOf(const InputType &x) const {
        Elements e{};
        for (int i = 0; i < inputs(); ++i)
            e[i] = std::exp(std::clamp(x[i], -LogLimit, LogLimit));
        return e;
    }

    int operator()(const InputType &x, ValueType &f) const {
        const Elements e = ElementsOf(x);
        const int n = static_cast<int>(points.omega.size());
        for (int k = 0; k < n; ++k) {
            const Complex z = points.impedance[k];
            const Complex r = (Impedance(model, e.data(), points.omega[k]) - z) / std::abs(z);
            f[k] = r.real();
            f[n + k] = r.imag();
        }
        return 0;
    }

    int df(const InputType &x, JacobianType &jacobian) const {
        const Elements e = ElementsOf(x);
        const int n = static_cast<int>(points.omega.size());
        Complex gradient[MaxElements];
        for (int k = 0; k < n; ++k) {
            ImpedanceAndGradient(model, e.data(), points.omega[k], gradient);
            const double scale = 1.0 / std::abs(points.impedance[k]);
            for (int i = 0; i < inputs(); ++i) {
                jacobian(k, i) = gradient[i].real() * scale;
                jacobian(n + k, i) = gradient[i].imag() * scale;
            }
        }
        return 0;
    }

    Model model;
    const UsablePoints &points;
};

struct Solution {
    Eigen::VectorXd x; // ln of the elements
    double sumOfSquares = Infinity;
    bool converged = false;
};

bool Converged(Eigen::LevenbergMarquardtSpace::Status status) {
    using namespace Eigen::LevenbergMarquardtSpace;
    switch (status) {
    case RelativeReductionTooSmall:
    case RelativeErrorTooSmall:
    case RelativeErrorAndReductionTooSmall:
    case CosinusTooSmall:
    // The tolerances cannot be met in double precision: no step improves the fit any more.
    case FtolTooSmall:
    case XtolTooSmall:
    case GtolTooSmall:
        return true;
    default:
        return false;
    }
}

bool Valid(const Elements &start, int count) {
    for (int i = 0; i < count; ++i)
        if (!(start[i] > 0.0) || !std::isfinite(start[i])) return false;
    return true;
}

Solution Solve(Residuals &residuals, const Elements &start, const FitOptions &options) {
    Solution s;
    s.x.resize(residuals.inputs());
    for (int i = 0; i < residuals.inputs(); ++i)
        s.x[i] = std::log(start[i]);
    Eigen::LevenbergMarquardt<Residuals> solver(residuals);
    solver.setMaxfev(options.maxEvaluations);
    solver.setXtol(1e-12);
    solver.setFtol(1e-14);
    const Eigen::LevenbergMarquardtSpace::Status status = solver.minimize(s.x);
    Eigen::VectorXd f(residuals.values());
    residuals(s.x, f);
    s.sumOfSquares = f.squaredNorm();
    if (!std::isfinite(s.sumOfSquares)) s.sumOfSquares = Infinity;
    s.converged = Converged(status) && std::isfinite(s.sumOfSquares);
    return s;
}

// The best of all starts: converged ones first, then the smaller residual.
Solution BestSolution(Residuals &residuals, const UsablePoints &points, const FitOptions &options) {
    Solution best;
    for (const Elements &start : StartingValues(residuals.model, points)) {
        if (!Valid(start, residuals.inputs())) continue;
        Solution s = Solve(residuals, start, options);
        const bool better =
            s.converged != best.converged ? s.converged : s.sumOfSquares < best.sumOfSquares;
        if (better || best.x.size() == 0) best = std::move(s);
    }
    return best;
}

// sigma of ln x from s^2 (J^T J)^-1; infinite where the data leave an element free.
std::vector<ElementValue> Uncertainties(Residuals &residuals, const Solution &s) {
    const int p = residuals.inputs();
    const int n = residuals.values();
    Residuals::JacobianType jacobian(n, p);
    residuals.df(s.x, jacobian);
    const double variance = s.sumOfSquares / std::max(1, n - p);
    const Eigen::MatrixXd normal = jacobian.transpose() * jacobian;
    Eigen::FullPivLU<Eigen::MatrixXd> lu(normal);
    lu.setThreshold(1e-14);
    const bool free = !lu.isInvertible();
    const Eigen::MatrixXd covariance = free ? Eigen::MatrixXd() : Eigen::MatrixXd(lu.inverse());
    const Elements e = residuals.ElementsOf(s.x);
    std::vector<ElementValue> values(static_cast<std::size_t>(p));
    for (int i = 0; i < p; ++i) {
        values[i].value = e[i];
        const double sigmaLog =
            free ? Infinity : std::sqrt(std::max(0.0, covariance(i, i)) * variance);
        values[i].uncertainty = std::isfinite(sigmaLog) ? e[i] * sigmaLog : Infinity;
    }
    return values;
}

double Bic(double sumOfSquares, int residualCount, int parameters) {
    const double n = residualCount;
    const double meanSquare = std::max(sumOfSquares / n, ResolutionFloor * ResolutionFloor);
    return n * std::log(meanSquare) + parameters * std::log(n);
}

QString Named(Model model) {
    return QString::fromLatin1(Info(model).name);
}

FitResult Refused(Model model, const UsablePoints &points) {
    FitResult r;
    r.model = model;
    r.status = FitStatus::TooFewPoints;
    r.pointsUsed = static_cast<int>(points.omega.size());
    r.pointsLeftOut = points.leftOut;
    const int needed = Info(model).elementCount + 1;
    r.message = QStringLiteral("%1 needs at least %2 points at different frequencies; the sweep "
                               "has %3 usable (%4 left out)")
                    .arg(Named(model))
                    .arg(needed)
                    .arg(points.distinctFrequencies)
                    .arg(points.leftOut);
    return r;
}

FitResult FitUsable(Model model, const UsablePoints &points, const FitOptions &options) {
    const ModelInfo &info = Info(model);
    if (points.distinctFrequencies < info.elementCount + 1) return Refused(model, points);
    Residuals residuals(model, points);
    const Solution s = BestSolution(residuals, points, options);
    FitResult r;
    r.model = model;
    r.pointsUsed = static_cast<int>(points.omega.size());
    r.pointsLeftOut = points.leftOut;
    if (s.x.size() == 0 || !std::isfinite(s.sumOfSquares)) {
        r.status = FitStatus::NotConverged;
        r.message = QStringLiteral("%1: the fit did not converge").arg(Named(model));
        return r;
    }
    r.elements = Uncertainties(residuals, s);
    r.rmsRelativeResidual = std::sqrt(s.sumOfSquares / residuals.values());
    r.bic = Bic(s.sumOfSquares, residuals.values(), info.elementCount);
    Elements values{};
    for (int i = 0; i < info.elementCount; ++i)
        values[i] = r.elements[i].value;
    r.derived = DerivedFigures(model, values.data());
    r.status = s.converged ? FitStatus::Ok : FitStatus::NotConverged;
    r.message = s.converged
                    ? QStringLiteral("%1 fitted to %2 points").arg(Named(model)).arg(r.pointsUsed)
                    : QStringLiteral("%1: the fit did not converge within %2 evaluations")
                          .arg(Named(model))
                          .arg(options.maxEvaluations);
    if (r.pointsLeftOut > 0)
        r.message +=
            QStringLiteral(", %1 left out (not measured or overload)").arg(r.pointsLeftOut);
    return r;
}

// Converged fits before the others, then by BIC.
bool Ranks(const FitResult &a, const FitResult &b) {
    const bool aOk = a.status == FitStatus::Ok;
    const bool bOk = b.status == FitStatus::Ok;
    if (aOk != bOk) return aOk;
    const bool aFitted = !a.elements.empty();
    const bool bFitted = !b.elements.empty();
    if (aFitted != bFitted) return aFitted;
    return a.bic < b.bic;
}

} // namespace

FitResult FitCircuit(Model model, const Sweep &sweep, const FitOptions &options) {
    return FitUsable(model, SelectUsable(sweep), options);
}

FitResult FitBest(const Sweep &sweep, const FitOptions &options) {
    const UsablePoints points = SelectUsable(sweep);
    std::vector<FitResult> fits;
    for (Model model : AllModels())
        fits.push_back(FitUsable(model, points, options));
    std::stable_sort(fits.begin(), fits.end(), Ranks);
    FitResult best = fits.front();
    best.automatic = true;
    for (std::size_t i = 1; i < fits.size(); ++i)
        best.alternatives.push_back(
            {fits[i].model, fits[i].status, fits[i].bic, fits[i].rmsRelativeResidual});
    if (best.status == FitStatus::TooFewPoints) {
        best.message = QStringLiteral("auto: no model can be fitted; %1").arg(best.message);
    } else {
        best.message = QStringLiteral("auto chose %1 by the lowest BIC; %2")
                           .arg(Named(best.model), best.message);
    }
    return best;
}

FitResult FitByName(const QString &name, const Sweep &sweep, const FitOptions &options) {
    if (name == QLatin1String("auto")) return FitBest(sweep, options);
    if (const std::optional<Model> model = ModelByName(name))
        return FitCircuit(*model, sweep, options);
    FitResult r;
    r.status = FitStatus::UnknownModel;
    r.message = QStringLiteral("unknown model '%1' (one of %2)").arg(name, ModelNameList());
    return r;
}

std::vector<Complex> EvaluateFit(const FitResult &fit, const std::vector<double> &frequencies) {
    std::vector<Complex> z;
    if (fit.elements.size() != static_cast<std::size_t>(Info(fit.model).elementCount)) return z;
    Elements values{};
    for (std::size_t i = 0; i < fit.elements.size(); ++i)
        values[i] = fit.elements[i].value;
    z.reserve(frequencies.size());
    for (double hz : frequencies)
        z.push_back(Impedance(fit.model, values.data(), TwoPi * hz));
    return z;
}

} // namespace Fit
