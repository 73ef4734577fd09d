// The solver runs on the logarithms of the elements, so every element stays positive and steps are
// relative, and within each element's bounds (element_bounds.h). Residuals are (Zfit - Z) / |Z|,
// real and imaginary parts, so each decade of |Z| counts alike. An element the data cannot tell
// from its bound is held there and left out; the uncertainties of the others come from the
// Jacobian at the solution, scaled by the residual.
#include "fit/circuit_fit.h"

#include "fit/derived_figures.h"
#include "fit/fit_steering.h"
#include "fit/fit_target.h"
#include "fit/fit_verdict.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Fit {

namespace {

constexpr double TwoPi = 6.283185307179586;
// Below this the relative residual says nothing: the sweep store keeps single-precision values.
constexpr double ResolutionFloor = 1e-6;
constexpr double Infinity = std::numeric_limits<double>::infinity();
// An element is held at a bound when putting it there raises the sum of squares by less than this
// many times the residual variance: the 95 % point of a chi-square of one degree.
constexpr double HoldChiSquare = 3.84;
// A solve ends when StallSteps steps lower the sum of squares by less than this share of it.
constexpr int StallSteps = 10;
constexpr double StallShare = 1e-9;
// Starts the solver runs from, the cheapest first.
constexpr std::size_t SolvedStarts = 6;
// Singular values of the column-scaled Jacobian below this share of the largest are taken as
// directions the data do not fix.
constexpr double SingularFloor = 1e-9;
// An element within this share of a user's bound ran to it.
constexpr double UserBoundShare = 1e-6;

// The residuals over the free elements; the others keep the values in held.
struct Residuals : Eigen::DenseFunctor<double> {
    Residuals(const FitTarget &t, const UsablePoints &p, const Bounds &b, const Elements &h,
              unsigned freeMask)
        : DenseFunctor(FreeCount(t, freeMask), 2 * static_cast<int>(p.omega.size())), target(&t),
          points(&p), bounds(&b), held(h) {
        for (int i = 0; i < t.Count(); ++i)
            if (freeMask & (1u << i)) index[used++] = i;
    }

    static int FreeCount(const FitTarget &t, unsigned mask) {
        int count = 0;
        for (int i = 0; i < t.Count(); ++i)
            count += (mask >> i) & 1u;
        return count;
    }

    double WeightReal(int k) const {
        return points->weightReal.empty() ? 1.0 / std::abs(points->impedance[k])
                                          : points->weightReal[k];
    }
    double WeightImag(int k) const {
        return points->weightImag.empty() ? 1.0 / std::abs(points->impedance[k])
                                          : points->weightImag[k];
    }

    double Lower(int j) const { return std::log(bounds->lower[index[j]]); }
    double Upper(int j) const { return std::log(bounds->upper[index[j]]); }

    Elements ElementsOf(const InputType &x) const {
        Elements e = held;
        for (int j = 0; j < used; ++j)
            e[index[j]] = std::exp(std::clamp(x[j], Lower(j), Upper(j)));
        return e;
    }

    InputType Start(const Elements &e) const {
        InputType x(used);
        for (int j = 0; j < used; ++j)
            x[j] = std::clamp(std::log(e[index[j]]), Lower(j), Upper(j));
        return x;
    }

    int Evaluate(const Elements &e, ValueType &f) const {
        const int n = static_cast<int>(points->omega.size());
        for (int k = 0; k < n; ++k) {
            const Complex d = target->Impedance(e.data(), points->omega[k]) - points->impedance[k];
            if (points->weightReal.empty()) { // modulus: divided, as it always was
                const Complex r = d / std::abs(points->impedance[k]);
                f[k] = r.real();
                f[n + k] = r.imag();
            } else {
                f[k] = d.real() * points->weightReal[k];
                f[n + k] = d.imag() * points->weightImag[k];
            }
        }
        return 0;
    }

    int operator()(const InputType &x, ValueType &f) const { return Evaluate(ElementsOf(x), f); }

    // Beyond a bound the residuals do not change, and the derivative says so.
    int df(const InputType &x, JacobianType &jacobian) const {
        const Elements e = ElementsOf(x);
        const int n = static_cast<int>(points->omega.size());
        Complex gradient[MaxElements];
        for (int k = 0; k < n; ++k) {
            target->ImpedanceAndGradient(e.data(), points->omega[k], gradient);
            const double real = WeightReal(k), imag = WeightImag(k);
            for (int j = 0; j < used; ++j) {
                const bool inside = x[j] >= Lower(j) && x[j] <= Upper(j);
                jacobian(k, j) = inside ? gradient[index[j]].real() * real : 0.0;
                jacobian(n + k, j) = inside ? gradient[index[j]].imag() * imag : 0.0;
            }
        }
        return 0;
    }

    double SumOfSquares(const Elements &e) const {
        ValueType f(values());
        Evaluate(e, f);
        const double s = f.squaredNorm();
        return std::isfinite(s) ? s : Infinity;
    }

    const FitTarget *target;
    const UsablePoints *points;
    const Bounds *bounds;
    Elements held;
    int index[MaxElements] = {};
    int used = 0;
};

struct Solution {
    Elements elements{};
    unsigned freeMask = 0u;
    unsigned lowerMask = 0u;     // held at the lower bound
    unsigned fixedMask = 0u;     // held at the value the options give
    unsigned userBoundMask = 0u; // held at a bound the options give
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

// Levenberg-Marquardt over the free elements of start.
Solution Solve(const Residuals &residuals, const Elements &start, const Solution &shape,
               const FitOptions &options) {
    Solution s = shape;
    if (residuals.inputs() == 0) {
        s.elements = start;
        s.sumOfSquares = residuals.SumOfSquares(start);
        s.converged = std::isfinite(s.sumOfSquares);
        return s;
    }
    Eigen::VectorXd x = residuals.Start(start);
    Residuals copy = residuals;
    Eigen::LevenbergMarquardt<Residuals> solver(copy);
    solver.setMaxfev(options.maxEvaluations);
    solver.setXtol(1e-10);
    solver.setFtol(1e-10);
    // Along a valley the data leave flat (two elements that trade against each other) each step
    // gains almost nothing and the tolerances are never met: a run of steps that lowers the sum
    // of squares by less than StallShare of it ends the solve as converged.
    Eigen::LevenbergMarquardtSpace::Status status = solver.minimizeInit(x);
    bool stalled = false;
    if (status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters) {
        double before = Infinity;
        int steps = 0;
        do {
            status = solver.minimizeOneStep(x);
            if (++steps % StallSteps == 0) {
                const double now = solver.fnorm() * solver.fnorm();
                stalled = !(before - now > StallShare * before);
                before = now;
            }
        } while (status == Eigen::LevenbergMarquardtSpace::Running && !stalled);
    }
    s.elements = residuals.ElementsOf(x);
    s.sumOfSquares = residuals.SumOfSquares(s.elements);
    s.converged = (stalled || Converged(status)) && std::isfinite(s.sumOfSquares);
    return s;
}

unsigned AllElements(const FitTarget &target) {
    return (1u << target.Count()) - 1u;
}

// The best of all starts: converged ones first, then the smaller residual.
Solution BestSolution(const FitTarget &target, const UsablePoints &points, const Bounds &bounds,
                      double noise, const FitOptions &options, const Solution &shape) {
    const Residuals residuals(target, points, bounds, shape.elements, shape.freeMask);
    // Every start is cheap to score; the solver runs from the best few of them.
    std::vector<std::pair<double, Elements>> ranked;
    for (const Elements &start : target.Starts(points)) {
        if (!Valid(start, target.Count())) continue;
        Elements clamped = start;
        for (int i = 0; i < target.Count(); ++i)
            clamped[i] = (shape.fixedMask & (1u << i))
                             ? shape.elements[i]
                             : std::clamp(start[i], bounds.lower[i], bounds.upper[i]);
        ranked.emplace_back(residuals.SumOfSquares(clamped), clamped);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    if (ranked.size() > SolvedStarts) ranked.resize(SolvedStarts);
    // A fit whose residual is already no larger than the noise the data show cannot be bettered
    // by more than the noise: the remaining starts are not solved.
    const double enough = std::isfinite(noise) ? residuals.values() * noise * noise : 0.0;
    Solution best;
    bool any = false;
    for (const auto &[cost, start] : ranked) {
        Solution s = Solve(residuals, start, shape, options);
        // The lower sum of squares; a converged fit over one that did not when they are alike.
        const double alike = 1e-9 * std::min(s.sumOfSquares, best.sumOfSquares);
        const bool better = std::fabs(s.sumOfSquares - best.sumOfSquares) <= alike
                                ? s.converged && !best.converged
                                : s.sumOfSquares < best.sumOfSquares;
        if (better || !any) best = s;
        any = true;
        if (best.converged && best.sumOfSquares <= enough) break;
    }
    return best;
}

// Holds, one at a time, the element whose move to a bound costs least while that cost stays
// within what the noise explains, and fits the others again.
Solution HoldAtBounds(const FitTarget &target, const UsablePoints &points, const Bounds &bounds,
                      const Steering &steering, Solution s, double noise,
                      const FitOptions &options) {
    const int count = target.Count();
    const int residualCount = 2 * static_cast<int>(points.omega.size());
    for (int round = 0; round < count; ++round) {
        // The noise is what an element may hide in: the residual variance, but no more than
        // the noise the data show (or, without an estimate, the residual a fit that describes
        // the data may leave), so a model that misses the data cannot hide its elements in that.
        const int free = Residuals::FreeCount(target, s.freeMask);
        const double ceiling = std::isfinite(noise) ? noise : DescribeFloor;
        const double variance = std::max(
            std::min(s.sumOfSquares / std::max(1, residualCount - free), ceiling * ceiling),
            ResolutionFloor * ResolutionFloor);
        const Residuals all(target, points, bounds, s.elements, 0u);
        int chosen = -1;
        bool lower = false;
        double cheapest = HoldChiSquare * variance;
        for (int i = 0; i < count; ++i) {
            if (!(s.freeMask & (1u << i))) continue;
            for (bool toLower : {true, false}) {
                // A user's bound is no limit of what the data can tell: nothing is held there.
                if ((toLower ? steering.userLowerMask : steering.userUpperMask) & (1u << i))
                    continue;
                Elements e = s.elements;
                e[i] = toLower ? bounds.lower[i] : bounds.upper[i];
                const double cost = all.SumOfSquares(e) - s.sumOfSquares;
                if (cost <= cheapest) {
                    cheapest = cost;
                    chosen = i;
                    lower = toLower;
                }
            }
        }
        if (chosen < 0) break;
        Solution shape = s;
        shape.freeMask &= ~(1u << chosen);
        if (lower) shape.lowerMask |= 1u << chosen;
        Elements start = s.elements;
        start[chosen] = lower ? bounds.lower[chosen] : bounds.upper[chosen];
        const Residuals rest(target, points, bounds, start, shape.freeMask);
        Solution next = Solve(rest, start, shape, options);
        if (!(next.sumOfSquares <= s.sumOfSquares + cheapest) || !std::isfinite(next.sumOfSquares))
            break; // the fit of the rest went astray: keep what there was
        next.converged = next.converged || s.converged;
        s = next;
    }
    return s;
}

// sigma of ln x from s^2 (J^T J)^-1 over the free elements, with J's columns scaled to one and
// the directions the data do not fix left out: an element along such a direction gets none.
std::vector<ElementValue> Uncertainties(const FitTarget &target, const UsablePoints &points,
                                        const Bounds &bounds, const Solution &s) {
    const int count = target.Count();
    const Residuals residuals(target, points, bounds, s.elements, s.freeMask);
    const int p = residuals.inputs();
    const int n = residuals.values();
    std::vector<ElementValue> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        values[i].value = s.elements[i];
        values[i].uncertainty = Infinity;
        if (s.fixedMask & (1u << i)) {
            values[i].state = ElementState::FixedByUser;
            values[i].uncertainty = 0.0;
        } else if (s.userBoundMask & (1u << i)) {
            values[i].state = ElementState::AtUserBound;
        } else if (!(s.freeMask & (1u << i))) {
            values[i].state =
                (s.lowerMask & (1u << i)) ? ElementState::AtLowerBound : ElementState::AtUpperBound;
        }
    }
    if (p == 0) return values;
    Residuals::JacobianType jacobian(n, p);
    residuals.df(residuals.Start(s.elements), jacobian);
    Eigen::VectorXd norms = jacobian.colwise().norm().transpose();
    for (int j = 0; j < p; ++j)
        if (norms[j] > 0.0) jacobian.col(j) /= norms[j];
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(jacobian, Eigen::ComputeThinV);
    const Eigen::VectorXd &singular = svd.singularValues();
    const Eigen::MatrixXd &v = svd.matrixV();
    const double variance = s.sumOfSquares / std::max(1, n - p);
    for (int j = 0; j < p; ++j) {
        if (!(norms[j] > 0.0)) continue;
        double sum = 0.0;
        bool fixed = true;
        for (int k = 0; k < p; ++k) {
            if (singular[k] > SingularFloor * singular[0]) {
                sum += v(j, k) * v(j, k) / (singular[k] * singular[k]);
            } else if (std::fabs(v(j, k)) > 1e-3) {
                fixed = false;
            }
        }
        const double sigmaLog = std::sqrt(sum * variance) / norms[j];
        const int i = residuals.index[j];
        if (fixed && std::isfinite(sigmaLog)) values[i].uncertainty = s.elements[i] * sigmaLog;
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

// A result of the target: its model, or its circuit string.
FitResult Started(const FitTarget &target, const UsablePoints &points) {
    FitResult r;
    r.model = target.model();
    if (target.circuit()) r.circuit = target.circuit()->text;
    r.pointsUsed = static_cast<int>(points.omega.size());
    r.pointsLeftOut = points.leftOut;
    return r;
}

FitResult Refused(const FitTarget &target, const UsablePoints &points) {
    FitResult r = Started(target, points);
    r.status = FitStatus::TooFewPoints;
    const int needed = target.Count() + 1;
    r.message = QStringLiteral("%1 needs at least %2 points at different frequencies; the sweep "
                               "has %3 usable (%4 left out)")
                    .arg(target.Name())
                    .arg(needed)
                    .arg(points.distinctFrequencies)
                    .arg(points.leftOut);
    return r;
}

// The fixed values of steering as a solution's shape.
Solution ShapeOf(const FitTarget &target, const Steering &steering) {
    Solution shape;
    shape.elements = steering.held;
    shape.fixedMask = steering.fixedMask;
    shape.freeMask = AllElements(target) & ~steering.fixedMask;
    return shape;
}

// An element the fit ran to a user's bound is held there, out of the covariance.
Solution HoldAtUserBounds(const FitTarget &target, const Bounds &bounds, const Steering &steering,
                          Solution s) {
    for (int i = 0; i < target.Count(); ++i) {
        if (!(s.freeMask & (1u << i))) continue;
        const bool low = (steering.userLowerMask & (1u << i)) &&
                         s.elements[i] <= bounds.lower[i] * (1.0 + UserBoundShare);
        const bool high = (steering.userUpperMask & (1u << i)) &&
                          s.elements[i] >= bounds.upper[i] * (1.0 - UserBoundShare);
        if (!low && !high) continue;
        s.elements[i] = low ? bounds.lower[i] : bounds.upper[i];
        s.freeMask &= ~(1u << i);
        s.userBoundMask |= 1u << i;
    }
    return s;
}

FitResult Unsuited(const FitTarget &target, const UsablePoints &points, const QString &why) {
    FitResult r = Started(target, points);
    r.status = FitStatus::UnknownModel;
    r.message = QStringLiteral("%1: %2").arg(target.Name(), why);
    return r;
}

// strictKeys: a fixed key the target lacks refuses the fit (a named model or circuit); without,
// it is passed over (auto).
FitResult FitUsable(const FitTarget &target, const UsablePoints &given, const FitOptions &options,
                    bool strictKeys = true) {
    const QString missing = MissingKey(target, options);
    if (strictKeys && !missing.isEmpty()) {
        QStringList keys;
        for (int i = 0; i < target.Count(); ++i)
            keys << target.Key(i);
        return Unsuited(target, given,
                        QStringLiteral("no element %1 to fix or bound (its elements: %2)")
                            .arg(missing, keys.join(QStringLiteral(", "))));
    }
    if (given.distinctFrequencies < target.Count() + 1) return Refused(target, given);
    const UsablePoints points = Weighted(given, options.weighting);
    Bounds bounds = target.ValueBounds(points);
    const Steering steering = Steer(target, options, bounds);
    if (!steering.emptyRange.isEmpty()) return Unsuited(target, given, steering.emptyRange);
    const Solution shape = ShapeOf(target, steering);
    FitResult r = Started(target, points);
    r.noiseEstimate = NoiseEstimate(points);
    Solution s = BestSolution(target, points, bounds, r.noiseEstimate, options, shape);
    if (!std::isfinite(s.sumOfSquares)) {
        r.status = FitStatus::NotConverged;
        r.verdict = Verdict::Poor;
        r.message = QStringLiteral("%1: the fit did not converge").arg(target.Name());
        return r;
    }
    s = HoldAtBounds(target, points, bounds, steering, s, r.noiseEstimate, options);
    s = HoldAtUserBounds(target, bounds, steering, s);
    r.elements = Uncertainties(target, points, bounds, s);
    const int residualCount = 2 * static_cast<int>(points.omega.size());
    // Relative to |Z| whatever the weighting, so the verdict means the same.
    const double relative =
        options.weighting == Weighting::Modulus
            ? s.sumOfSquares
            : Residuals(target, given, bounds, s.elements, 0u).SumOfSquares(s.elements);
    r.rmsRelativeResidual = std::sqrt(relative / residualCount);
    r.bic = Bic(s.sumOfSquares, residualCount, Residuals::FreeCount(target, s.freeMask));
    r.derived = target.Derived(s.elements.data());
    r.status = s.converged ? FitStatus::Ok : FitStatus::NotConverged;
    const auto [low, high] = std::minmax_element(points.omega.begin(), points.omega.end());
    Judge(r, *low / TwoPi, *high / TwoPi);
    r.message = s.converged
                    ? QStringLiteral("%1 fitted to %2 points").arg(target.Name()).arg(r.pointsUsed)
                    : QStringLiteral("%1: the fit did not converge within %2 evaluations")
                          .arg(target.Name())
                          .arg(options.maxEvaluations);
    if (r.pointsLeftOut > 0)
        r.message +=
            QStringLiteral(", %1 left out (not measured or overload)").arg(r.pointsLeftOut);
    return r;
}

int FreeElements(const FitResult &fit) {
    return static_cast<int>(
        std::count_if(fit.elements.begin(), fit.elements.end(), [](const ElementValue &e) {
            return e.state == ElementState::Determined || e.state == ElementState::Undetermined;
        }));
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
    return FitUsable(FitTarget(model), SelectUsable(sweep), options);
}

FitResult FitBest(const Sweep &sweep, const FitOptions &options) {
    const UsablePoints points = SelectUsable(sweep);
    std::vector<FitResult> fits;
    for (Model model : AllModels())
        fits.push_back(FitUsable(FitTarget(model), points, options, false));
    std::stable_sort(fits.begin(), fits.end(), Ranks);
    // Within the gap of the lowest BIC the model with the fewest free elements is kept, of those
    // the one with the fewest elements: a larger model with elements held at bounds is the
    // smaller one again.
    std::size_t kept = 0;
    const auto simpler = [&fits](std::size_t a, std::size_t b) {
        const int freeA = FreeElements(fits[a]), freeB = FreeElements(fits[b]);
        if (freeA != freeB) return freeA < freeB;
        return fits[a].elements.size() < fits[b].elements.size();
    };
    for (std::size_t i = 1; i < fits.size(); ++i) {
        if (fits[i].status != FitStatus::Ok || fits.front().status != FitStatus::Ok) break;
        if (fits[i].bic > fits.front().bic + BicGap) break;
        if (simpler(i, kept)) kept = i;
    }
    std::rotate(fits.begin(), fits.begin() + static_cast<std::ptrdiff_t>(kept),
                fits.begin() + static_cast<std::ptrdiff_t>(kept) + 1);
    FitResult best = fits.front();
    best.automatic = true;
    for (std::size_t i = 1; i < fits.size(); ++i)
        best.alternatives.push_back({fits[i].model, fits[i].status, fits[i].bic,
                                     fits[i].rmsRelativeResidual, fits[i].verdict});
    if (best.status == FitStatus::TooFewPoints) {
        best.message = QStringLiteral("auto: no model can be fitted; %1").arg(best.message);
    } else {
        best.message =
            QStringLiteral(
                "auto chose %1, the fewest free elements within %2 of the lowest BIC; %3")
                .arg(Named(best.model))
                .arg(BicGap)
                .arg(best.message);
    }
    return best;
}

FitResult FitByName(const QString &name, const Sweep &sweep, const FitOptions &options) {
    if (name == QLatin1String("auto")) return FitBest(sweep, options);
    if (const std::optional<Model> model = ModelByName(name))
        return FitCircuit(*model, sweep, options);
    CircuitParse parse = ParseCircuit(name);
    if (parse.ok)
        return FitUsable(FitTarget(std::move(parse.circuit)), SelectUsable(sweep), options);
    FitResult r;
    r.status = FitStatus::UnknownModel;
    r.message = QStringLiteral("unknown model '%1' (one of %2, or a circuit such as "
                               "R0-p(R1,Q1): %3)")
                    .arg(name, ModelNameList(), parse.Error());
    return r;
}

QString FitNameError(const QString &name) {
    if (name == QLatin1String("auto") || ModelByName(name)) return {};
    const CircuitParse parse = ParseCircuit(name);
    if (parse.ok) return {};
    return QStringLiteral("one of %1, or a circuit such as R0-p(R1,Q1); \"%2\" is neither (%3)")
        .arg(ModelNameList(), name, parse.Error());
}

std::vector<Complex> EvaluateFit(const FitResult &fit, const std::vector<double> &frequencies) {
    std::vector<Complex> z;
    const std::optional<FitTarget> target = TargetOf(fit);
    if (!target || fit.elements.size() != static_cast<std::size_t>(target->Count())) return z;
    Elements values{};
    for (std::size_t i = 0; i < fit.elements.size(); ++i)
        values[i] = fit.elements[i].value;
    z.reserve(frequencies.size());
    for (double hz : frequencies)
        z.push_back(target->Impedance(values.data(), TwoPi * hz));
    return z;
}

} // namespace Fit
