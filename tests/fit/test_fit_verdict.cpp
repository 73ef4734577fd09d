// Whether a fit says when it cannot be trusted: uncertainties of the free elements when one runs to
// a bound, against a direct fit without it; the verdict on parts no model describes, on too few
// points and on well-posed sweeps; figures outside the measured span; the final cost against a
// direct least-squares fit from many starts; the choice of auto on noisy sweeps; the noise
// estimate; and the exit status and the window's line that carry the verdict.
#include "cli/fit_output.h"
#include "cli/invocation.h"
#include "fit/circuit_fit.h"
#include "fit/fit_report.h"
#include "fit/fit_verdict.h"

#include "synthetic.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>
#include <unsupported/Eigen/NumericalDiff>

#include <QJsonObject>
#include <QtTest>

#include <functional>
#include <random>

using namespace Fit;

namespace {

constexpr double TwoPi = 6.283185307179586;

using ImpedanceOf = std::function<Complex(double omega)>;

// R parallel L: no model of the set describes it.
Complex ParallelRl(double r, double l, double omega) {
    const Complex x(0.0, omega * l);
    return r * x / (r + x);
}

Fit::Sweep Noisy(const ImpedanceOf &part, double noise, double low, double high, int points,
                 unsigned seed) {
    Fit::Sweep sweep;
    sweep.frequency = Synthetic::LogFrequencies(low, high, points);
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    for (double hz : sweep.frequency) {
        Complex z = part(TwoPi * hz);
        if (noise > 0.0)
            z = std::polar(std::abs(z) * (1.0 + gauss(random)), std::arg(z) + gauss(random));
        sweep.impedance.push_back(z);
    }
    return sweep;
}

ImpedanceOf Circuit(Model model, std::vector<double> elements) {
    return [model, elements](double omega) { return Impedance(model, elements.data(), omega); };
}

// A direct least-squares fit, written apart from the program's: the relative residuals of a
// function of ln x, Eigen's Levenberg-Marquardt with a numerical Jacobian.
struct Direct {
    using Scalar = double;
    using InputType = Eigen::VectorXd;
    using ValueType = Eigen::VectorXd;
    using JacobianType = Eigen::MatrixXd;
    enum { InputsAtCompileTime = Eigen::Dynamic, ValuesAtCompileTime = Eigen::Dynamic };

    std::function<Complex(const double *x, double omega)> model;
    int parameters = 0;
    const Fit::Sweep *sweep = nullptr;

    int inputs() const { return parameters; }
    int values() const { return 2 * static_cast<int>(sweep->frequency.size()); }
    int operator()(const Eigen::VectorXd &lnX, Eigen::VectorXd &f) const {
        double x[MaxElements];
        for (int i = 0; i < parameters; ++i)
            x[i] = std::exp(std::clamp(lnX[i], -300.0, 300.0));
        const int n = static_cast<int>(sweep->frequency.size());
        for (int k = 0; k < n; ++k) {
            const Complex z = sweep->impedance[k];
            const Complex r = (model(x, TwoPi * sweep->frequency[k]) - z) / std::abs(z);
            f[k] = r.real();
            f[n + k] = r.imag();
        }
        return 0;
    }
};

struct DirectFit {
    Eigen::VectorXd lnX;
    Eigen::VectorXd sigmaLn; // from s^2 (J^T J)^-1
    double sumOfSquares = 0.0;
};

DirectFit SolveDirect(const Direct &d, const std::vector<double> &start) {
    Eigen::NumericalDiff<Direct> numeric(d);
    Eigen::LevenbergMarquardt<Eigen::NumericalDiff<Direct>> solver(numeric);
    DirectFit out;
    out.lnX.resize(d.parameters);
    for (int i = 0; i < d.parameters; ++i)
        out.lnX[i] = std::log(start[static_cast<std::size_t>(i)]);
    solver.parameters.maxfev = 4000;
    solver.parameters.xtol = 1e-12;
    solver.parameters.ftol = 1e-14;
    solver.minimize(out.lnX);
    Eigen::VectorXd f(d.values());
    d(out.lnX, f);
    out.sumOfSquares = f.squaredNorm();
    Eigen::MatrixXd jacobian(d.values(), d.parameters);
    numeric.df(out.lnX, jacobian);
    const Eigen::MatrixXd covariance = (jacobian.transpose() * jacobian).inverse() *
                                       (out.sumOfSquares / (d.values() - d.parameters));
    out.sigmaLn = covariance.diagonal().cwiseSqrt();
    return out;
}

double FitCost(const FitResult &r, const Fit::Sweep &sweep) {
    const std::vector<Complex> z = EvaluateFit(r, sweep.frequency);
    double sum = 0.0;
    for (std::size_t k = 0; k < z.size(); ++k)
        sum += std::norm((z[k] - sweep.impedance[k]) / std::abs(sweep.impedance[k]));
    return sum;
}

bool NoHugeNumber(const QString &text) {
    // An element or figure at a solver's limit would print as e+/e- or a run of digits.
    return !text.contains(QLatin1String("e+")) && !text.contains(QLatin1String("e-")) &&
           !text.contains(QRegularExpression(QStringLiteral("\\d{7,}")));
}

} // namespace

class TestFitVerdict : public QObject {
    Q_OBJECT

private slots:
    // Rs of 1 mOhm beside Rp of 10 kOhm is lost in 1 % noise: it is held at its lower bound, and
    // Rp and C keep the values and the uncertainties of a direct fit of Rp || C alone.
    void elementAtBoundLeavesTheOthersTheirUncertainty() {
        const std::vector<double> truth = {1e-3, 10e3, 10e-9};
        int held = 0;
        for (unsigned seed = 1; seed <= 10; ++seed) {
            const Fit::Sweep sweep =
                Noisy(Circuit(Model::ParallelRc, truth), 0.01, 25.0, 10e6, 101, seed);
            const FitResult r = FitCircuit(Model::ParallelRc, sweep);
            QCOMPARE(r.status, FitStatus::Ok);
            QVERIFY2(r.elements[0].state != ElementState::Determined, qPrintable(FitSummary(r)));
            if (r.elements[0].state == ElementState::AtLowerBound) ++held;
            Direct d;
            d.parameters = 2;
            d.sweep = &sweep;
            d.model = [](const double *x, double omega) {
                return 1.0 / (1.0 / x[0] + Complex(0.0, omega * x[1]));
            };
            const DirectFit direct = SolveDirect(d, {9e3, 11e-9});
            for (int i = 1; i <= 2; ++i) {
                const ElementValue &e = r.elements[static_cast<std::size_t>(i)];
                QCOMPARE(e.state, ElementState::Determined);
                const double value = std::exp(direct.lnX[i - 1]);
                const double sigma = value * direct.sigmaLn[i - 1];
                QVERIFY2(std::fabs(e.value / value - 1.0) < 1e-4,
                         qPrintable(QStringLiteral("seed %1 element %2: %3 against %4")
                                        .arg(seed)
                                        .arg(i)
                                        .arg(e.value)
                                        .arg(value)));
                QVERIFY2(std::fabs(e.uncertainty / sigma - 1.0) < 0.05,
                         qPrintable(QStringLiteral("seed %1 element %2: sigma %3 against %4")
                                        .arg(seed)
                                        .arg(i)
                                        .arg(e.uncertainty)
                                        .arg(sigma)));
            }
            const QJsonObject rs =
                FitToJson(r)[QStringLiteral("elements")][QStringLiteral("Rs")].toObject();
            QVERIFY(rs[QStringLiteral("value")].isNull());
            QVERIFY(rs[QStringLiteral("state")].toString() != QLatin1String("determined"));
        }
        QVERIFY2(held >= 5, qPrintable(QString::number(held)));
    }

    // A part no model describes: every model's verdict is poor and says why; the exit status says
    // so too.
    void partNoModelDescribesIsPoor() {
        const Fit::Sweep sweep =
            Noisy([](double w) { return ParallelRl(100.0, 1e-3, w); }, 0.002, 25.0, 10e6, 256, 3);
        const FitResult r = FitBest(sweep);
        QCOMPARE(r.verdict, Verdict::Poor);
        QVERIFY(!r.describesData);
        QVERIFY(r.noiseEstimate < 0.004);
        const QJsonObject o = FitToJson(r);
        QCOMPARE(o[QStringLiteral("verdict")].toString(), QStringLiteral("poor"));
        QCOMPARE(o[QStringLiteral("describes_data")].toBool(), false);
        QVERIFY2(FitSummary(r).contains(QLatin1String("does NOT describe")),
                 qPrintable(FitSummary(r)));
        QCOMPARE(Cli::FitExitCode(r), Cli::ExitFitPoor);
        for (const Alternative &a : r.alternatives)
            QVERIFY(a.verdict != Verdict::Good);
    }

    // Well-posed sweeps of every model are good, with every element determined.
    void wellPosedSweepsAreGood() {
        for (const Synthetic::Part &part : Synthetic::Parts()) {
            const Fit::Sweep sweep = Synthetic::Make(part.model, part.elements, 0.002, 101, 5);
            const FitResult r = FitCircuit(part.model, sweep);
            QVERIFY2(r.verdict == Verdict::Good, qPrintable(FitSummary(r)));
            QCOMPARE(Cli::FitExitCode(r), Cli::ExitDone);
            const FitResult best = FitBest(sweep);
            QVERIFY2(best.model == part.model && best.verdict == Verdict::Good,
                     qPrintable(FitSummary(best)));
        }
    }

    // Three points of a parallel R-C, two of one frequency: refused, or a verdict; never a value
    // at a bound shown as a number.
    void fewPointsAreRefusedOrJudged() {
        const Fit::Sweep three =
            Noisy(Circuit(Model::ParallelRc, {10.0, 10e3, 10e-9}), 0.0, 100.0, 10e3, 3, 1);
        const FitResult r = FitBest(three);
        QVERIFY(r.verdict != Verdict::Refused);
        QVERIFY2(NoHugeNumber(FitSummary(r)), qPrintable(FitSummary(r)));
        Fit::Sweep one = three;
        one.frequency.assign(3, 1e3);
        const FitResult refused = FitBest(one);
        QCOMPARE(refused.verdict, Verdict::Refused);
        QCOMPARE(Cli::FitExitCode(refused), Cli::ExitFitRefused);
        QCOMPARE(FitToJson(refused)[QStringLiteral("verdict")].toString(),
                 QStringLiteral("refused"));
    }

    // A resonator whose resonances lie above the sweep: the figures say so and are no numbers.
    void resonanceAboveTheSweepIsNoNumber() {
        const std::vector<double> crystal = {200.0, 10e-3, 1e-9, 2e-9}; // fs 50 kHz
        const Fit::Sweep sweep =
            Noisy(Circuit(Model::Resonator, crystal), 0.002, 25.0, 5e3, 101, 2);
        const FitResult r = FitCircuit(Model::Resonator, sweep);
        QVERIFY(!r.derived.empty());
        for (const DerivedFigure &d : r.derived)
            QVERIFY2(d.span != FigureSpan::Inside, d.key);
        const QJsonObject srf =
            FitToJson(r)[QStringLiteral("derived")][QStringLiteral("srf")].toObject();
        QVERIFY(srf[QStringLiteral("value")].isNull());
        QVERIFY(srf[QStringLiteral("span")].toString() != QLatin1String("inside"));
        const QString text = FitSummary(r);
        QVERIFY2(NoHugeNumber(text), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1String("srf  = ")) ||
                     !text.contains(QRegularExpression(QStringLiteral("srf  = [0-9]"))),
                 qPrintable(text));
        // A capacitor swept to below its self-resonance: ESL is seen, the resonance is not.
        const FitResult below =
            FitCircuit(Model::Capacitor, Noisy(Circuit(Model::Capacitor, {3.0, 20e-9, 100e-9}),
                                               0.002, 25.0, 1e6, 101, 2));
        QCOMPARE(below.elements[1].state, ElementState::Determined);
        QCOMPARE(below.derived[0].span, FigureSpan::Above);
        QVERIFY2(FitSummary(below).contains(QLatin1String("srf  = above the measured")),
                 qPrintable(FitSummary(below)));
        QCOMPARE(
            FitToJson(
                below)[QStringLiteral("derived")][QStringLiteral("srf")][QStringLiteral("span")]
                .toString(),
            QStringLiteral("above"));
        // The same part swept across its resonances gives them as numbers.
        const FitResult across = FitCircuit(
            Model::Resonator, Noisy(Circuit(Model::Resonator, crystal), 0.002, 25.0, 10e6, 201, 2));
        QCOMPARE(across.derived[0].span, FigureSpan::Inside);
        QVERIFY(std::fabs(across.derived[0].value / 50329.2 - 1.0) < 1e-2);
    }

    // A flat sweep fitted to series R-C: C is held at its upper bound, shown as such.
    void elementWithoutEffectIsShownAsSuch() {
        const Fit::Sweep flat = Noisy(Circuit(Model::Resistor, {100.0}), 0.002, 25.0, 10e6, 101, 4);
        const FitResult r = FitCircuit(Model::SeriesRc, flat);
        QCOMPARE(r.elements[1].state, ElementState::AtUpperBound);
        QCOMPARE(r.elements[0].state, ElementState::Determined);
        const QJsonObject c =
            FitToJson(r)[QStringLiteral("elements")][QStringLiteral("C")].toObject();
        QVERIFY(c[QStringLiteral("value")].isNull());
        QCOMPARE(c[QStringLiteral("state")].toString(), QStringLiteral("at_upper_bound"));
        QVERIFY2(FitSummary(r).contains(QLatin1String("no effect")), qPrintable(FitSummary(r)));
    }

    // The final cost is no higher than a direct fit's best over many starts (within one residual
    // variance), for the models whose resonance may lie inside the sweep or beyond either end.
    void costMatchesManyStartDirectFit_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QList<double>>("elements");
        QTest::addColumn<double>("high");
        QTest::newRow("resonator inside")
            << int(Model::Resonator) << QList<double>{200.0, 10e-3, 1e-9, 2e-9} << 10e6;
        QTest::newRow("resonator above")
            << int(Model::Resonator) << QList<double>{200.0, 10e-3, 1e-9, 2e-9} << 20e3;
        QTest::newRow("resonator below")
            << int(Model::Resonator) << QList<double>{5.0, 1e-3, 1e-6, 1e-9} << 1e6;
        QTest::newRow("coil inside")
            << int(Model::Inductor) << QList<double>{1.5, 100e-6, 50e-12} << 10e6;
        QTest::newRow("coil above")
            << int(Model::Inductor) << QList<double>{1.5, 100e-6, 50e-12} << 1e6;
    }
    void costMatchesManyStartDirectFit() {
        QFETCH(int, model);
        QFETCH(QList<double>, elements);
        QFETCH(double, high);
        const Model m = static_cast<Model>(model);
        const Fit::Sweep sweep =
            Noisy(Circuit(m, {elements.begin(), elements.end()}), 0.005, 25.0, high, 101, 9);
        const FitResult r = FitCircuit(m, sweep);
        const double cost = FitCost(r, sweep);
        Direct d;
        d.parameters = Info(m).elementCount;
        d.sweep = &sweep;
        d.model = [m](const double *x, double omega) { return Impedance(m, x, omega); };
        double best = std::numeric_limits<double>::infinity();
        std::mt19937 random(11);
        std::uniform_real_distribution<double> decades(-3.0, 3.0);
        for (int start = 0; start < 60; ++start) {
            std::vector<double> x;
            for (double e : elements)
                x.push_back(e * std::pow(10.0, decades(random)));
            best = std::min(best, SolveDirect(d, x).sumOfSquares);
        }
        // No direct fit is better by as much as one residual variance: along a valley the data
        // leave flat the two are the same fit as far as the data can tell.
        const double variance = best / (2.0 * double(sweep.frequency.size()) - d.parameters);
        QVERIFY2(cost <= best + variance, qPrintable(QStringLiteral("fit %1 against direct %2\n%3")
                                                         .arg(cost)
                                                         .arg(best)
                                                         .arg(FitSummary(r))));
    }

    // auto keeps the resistor on noisy resistor sweeps, and a larger model only when it is needed.
    void autoDoesNotOverfit() {
        for (unsigned seed = 1; seed <= 20; ++seed) {
            const Fit::Sweep sweep =
                Noisy(Circuit(Model::Resistor, {100.0}), 0.01, 25.0, 10e6, 101, seed);
            const FitResult r = FitBest(sweep);
            QVERIFY2(r.model == Model::Resistor, qPrintable(FitSummary(r)));
        }
        const Fit::Sweep rc =
            Noisy(Circuit(Model::SeriesRc, {100.0, 1e-6}), 0.01, 25.0, 10e6, 101, 1);
        QCOMPARE(FitBest(rc).model, Model::SeriesRc);
    }

    // The noise the data show of themselves, for noises from 0.1 % to 5 %; nothing on three points.
    void noiseEstimate_data() {
        QTest::addColumn<double>("noise");
        QTest::newRow("0.1 %") << 0.001;
        QTest::newRow("1 %") << 0.01;
        QTest::newRow("5 %") << 0.05;
    }
    void noiseEstimate() {
        QFETCH(double, noise);
        for (const Synthetic::Part &part : Synthetic::Parts()) {
            const Fit::Sweep sweep = Synthetic::Make(part.model, part.elements, noise, 256, 13);
            const double estimate = NoiseEstimate(SelectUsable(sweep));
            QVERIFY2(std::fabs(estimate / noise - 1.0) < 0.3,
                     qPrintable(QStringLiteral("%1: %2").arg(Info(part.model).name).arg(estimate)));
        }
        const Fit::Sweep three = Synthetic::Make(Model::Resistor, {47.0}, noise, 3, 1);
        QVERIFY(std::isnan(NoiseEstimate(SelectUsable(three))));
    }

    // The residual test's table: within three times the noise, or under the floor.
    void describesData_data() {
        QTest::addColumn<double>("rms");
        QTest::addColumn<double>("noise");
        QTest::addColumn<bool>("describes");
        QTest::newRow("at the noise") << 0.01 << 0.01 << true;
        QTest::newRow("three times") << 0.0299 << 0.01 << true;
        QTest::newRow("beyond") << 0.031 << 0.01 << false;
        QTest::newRow("under the floor") << 0.002 << 1e-5 << true;
        QTest::newRow("no estimate, small") << 0.001 << qQNaN() << true;
        QTest::newRow("no estimate, large") << 0.05 << qQNaN() << false;
        QTest::newRow("no residual") << qQNaN() << 0.01 << false;
    }
    void describesData() {
        QFETCH(double, rms);
        QFETCH(double, noise);
        QFETCH(bool, describes);
        QCOMPARE(DescribesData(rms, noise), describes);
    }
};

QTEST_GUILESS_MAIN(TestFitVerdict)
#include "test_fit_verdict.moc"
