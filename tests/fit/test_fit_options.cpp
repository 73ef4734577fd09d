// A fit steered by its options: elements held at given values, and the weighting of the points.
#include "fit/circuit_fit.h"
#include "fit/fit_report.h"

#include "synthetic.h"

#include <QJsonObject>
#include <QtTest>

#include <limits>

using namespace Fit;

Q_DECLARE_METATYPE(Fit::Sweep)

namespace {

// Two values of impedance, each at half of the frequencies: a resistor fits between them where
// the weighting puts it.
Sweep TwoLevels(Complex first, Complex second) {
    Sweep sweep;
    sweep.frequency = Synthetic::LogFrequencies(100.0, 1e5, 20);
    for (std::size_t i = 0; i < sweep.frequency.size(); ++i)
        sweep.impedance.push_back(i % 2 == 0 ? first : second);
    return sweep;
}

FitOptions Weighted(Weighting weighting) {
    FitOptions options;
    options.weighting = weighting;
    return options;
}

} // namespace

class TestFitOptions : public QObject {
    Q_OBJECT

private slots:
    // A held element keeps its value, is reported as fixed, and the others fit around it.
    void fixedElement() {
        const std::vector<double> values = {10.0, 10e3, 10e-9};
        const Sweep sweep = Synthetic::Make(Model::ParallelRc, values, 0.002);
        FitOptions options;
        options.fixed = {{QStringLiteral("Rs"), 10.0}};
        const FitResult right = FitByName(QStringLiteral("parallel-rc"), sweep, options);
        QVERIFY2(right.verdict == Verdict::Good, qPrintable(FitSummary(right)));
        QCOMPARE(right.elements[0].state, ElementState::FixedByUser);
        QCOMPARE(right.elements[0].value, 10.0);
        for (std::size_t i = 1; i < values.size(); ++i)
            QVERIFY2(std::fabs(right.elements[i].value / values[i] - 1.0) < 0.01,
                     qPrintable(FitSummary(right)));
        const QJsonObject rs = FitToJson(right)[QStringLiteral("elements")]
                                   .toObject()[QStringLiteral("Rs")]
                                   .toObject();
        QCOMPARE(rs[QStringLiteral("state")].toString(), QStringLiteral("fixed"));
        QCOMPARE(rs[QStringLiteral("value")].toDouble(), 10.0);
        QVERIFY(FitSummary(right).contains(QStringLiteral("(fixed)")));

        // Held at a wrong value the model no longer describes the data: the value was used.
        options.fixed = {{QStringLiteral("Rs"), 100.0}};
        const FitResult wrong = FitByName(QStringLiteral("parallel-rc"), sweep, options);
        QCOMPARE(wrong.elements[0].value, 100.0);
        QCOMPARE(wrong.verdict, Verdict::Poor);
        QVERIFY(wrong.rmsRelativeResidual > 10 * right.rmsRelativeResidual);

        // A circuit string's exponent held at its value.
        options.fixed = {{QStringLiteral("Q1_alpha"), 1.0}};
        const FitResult string = FitByName(QStringLiteral("R0-p(R1,Q1)"), sweep, options);
        QVERIFY2(string.verdict == Verdict::Good, qPrintable(FitSummary(string)));
        QCOMPARE(string.elements[3].state, ElementState::FixedByUser);
        QVERIFY(std::fabs(string.elements[2].value / 10e-9 - 1.0) < 0.01);
    }

    void fixedKeyUnknown() {
        const Sweep sweep = Synthetic::Make(Model::SeriesRc, {2.0, 1e-6});
        FitOptions options;
        options.fixed = {{QStringLiteral("ESL"), 1e-9}};
        const FitResult named = FitByName(QStringLiteral("series-rc"), sweep, options);
        QCOMPARE(named.status, FitStatus::UnknownModel);
        QCOMPARE(named.verdict, Verdict::Refused);
        QVERIFY2(named.message.contains(QStringLiteral("no element ESL")) &&
                     named.message.contains(QStringLiteral("R, C")),
                 qPrintable(named.message));
        // auto holds the key where a model has it; the others fit as they would.
        const FitResult best = FitByName(QStringLiteral("auto"), sweep, options);
        QCOMPARE(best.status, FitStatus::Ok);
        QCOMPARE(best.model, Model::SeriesRc);
    }

    // A user's bound narrows the solver's: inside it the fit is as free as before; a value the
    // data put beyond it is held at it and shown so, without an uncertainty.
    void bounds() {
        const std::vector<double> values = {10.0, 10e3, 10e-9};
        const Sweep sweep = Synthetic::Make(Model::ParallelRc, values, 0.002);
        FitOptions options;
        options.bounds = {{QStringLiteral("rp"), 5e3, 20e3}};
        const FitResult inside = FitByName(QStringLiteral("parallel-rc"), sweep, options);
        QVERIFY2(inside.verdict == Verdict::Good, qPrintable(FitSummary(inside)));
        QCOMPARE(inside.elements[1].state, ElementState::Determined);
        QVERIFY(std::fabs(inside.elements[1].value / 10e3 - 1.0) < 0.01);

        options.bounds = {{QStringLiteral("Rp"), 0.0, 5e3}};
        const FitResult held = FitByName(QStringLiteral("parallel-rc"), sweep, options);
        QCOMPARE(held.elements[1].state, ElementState::AtUserBound);
        QCOMPARE(held.elements[1].value, 5e3);
        QCOMPARE(held.verdict, Verdict::Poor); // the model at that bound misses the data
        const QJsonObject rp =
            FitToJson(held)[QStringLiteral("elements")].toObject()[QStringLiteral("Rp")].toObject();
        QCOMPARE(rp[QStringLiteral("state")].toString(), QStringLiteral("at_given_bound"));
        QCOMPARE(rp[QStringLiteral("value")].toDouble(), 5e3);
        QVERIFY(rp[QStringLiteral("uncertainty")].isNull());
        QVERIFY(FitSummary(held).contains(QStringLiteral("(at the given bound)")));

        // A lower bound on a series R the data put at zero: held at the bound the user gave,
        // not passed off as negligible.
        options.bounds = {{QStringLiteral("R"), 1e-3, std::numeric_limits<double>::infinity()}};
        const FitResult coil = FitByName(QStringLiteral("series-rl"),
                                         Synthetic::Make(Model::SeriesRl, {1e-9, 1e-3}), options);
        QCOMPARE(coil.elements[0].state, ElementState::AtUserBound);
        QCOMPARE(coil.elements[0].value, 1e-3);

        // A range beyond what the sweep can tell refuses the model, saying why.
        options.bounds = {{QStringLiteral("C"), 1e4, 1e5}};
        const FitResult beyond = FitByName(QStringLiteral("parallel-rc"), sweep, options);
        QCOMPARE(beyond.verdict, Verdict::Refused);
        QVERIFY2(beyond.message.contains(QStringLiteral("bound of C lies outside")),
                 qPrintable(beyond.message));
    }

    // Over three decades of |Z| unit weighting follows the large values and modulus each decade
    // alike: both fit exact data, and differ on noisy data.
    void weightingsOnWideSweep() {
        const std::vector<double> values = {10.0, 10e3, 10e-9};
        const Sweep sweep = Synthetic::Make(Model::ParallelRc, values, 0.01);
        std::vector<FitResult> fits;
        for (Weighting w : {Weighting::Modulus, Weighting::Proportional, Weighting::Unit}) {
            fits.push_back(FitCircuit(Model::ParallelRc, sweep, Weighted(w)));
            QVERIFY2(fits.back().status == FitStatus::Ok, qPrintable(FitSummary(fits.back())));
            const FitResult exact = FitCircuit(
                Model::ParallelRc, Synthetic::Make(Model::ParallelRc, values), Weighted(w));
            for (std::size_t i = 0; i < values.size(); ++i)
                QVERIFY2(std::fabs(exact.elements[i].value / values[i] - 1.0) < 1e-4,
                         qPrintable(FitSummary(exact)));
        }
        // Rs is a thousandth of |Z| at low frequencies: unit weighting hardly sees it there.
        QVERIFY2(std::fabs(fits[2].elements[0].value / fits[0].elements[0].value - 1.0) > 1e-3,
                 qPrintable(FitSummary(fits[0]) + FitSummary(fits[2])));
    }

    // The weighting is what the solver minimises; the reported residual stays relative to |Z|.
    void weighting_data() {
        QTest::addColumn<Sweep>("sweep");
        QTest::addColumn<int>("weighting");
        QTest::addColumn<double>("resistance");
        // Modulus: sum of ((R - Z)/|Z|)^2, R = sum(Re Z/|Z|^2) / sum(1/|Z|^2).
        const Sweep levels = TwoLevels(100.0, 1.0);
        QTest::newRow("modulus") << levels << int(Weighting::Modulus)
                                 << (1.0 / 100 + 1.0) / (1.0 / 10000 + 1.0);
        QTest::newRow("unit, the mean") << levels << int(Weighting::Unit) << 50.5;
        // With a large equal reactance, modulus weighs both nearly alike (1/|Z|^2: 10100 and
        // 10001); proportional by 1/|Re Z|.
        const Sweep reactive = TwoLevels({10.0, 100.0}, {1.0, 100.0});
        QTest::newRow("modulus, reactive")
            << reactive << int(Weighting::Modulus)
            << (10.0 / 10100 + 1.0 / 10001) / (1.0 / 10100 + 1.0 / 10001);
        QTest::newRow("proportional")
            << reactive << int(Weighting::Proportional) << (1.0 / 10 + 1.0) / (1.0 / 100 + 1.0);
    }
    void weighting() {
        QFETCH(Sweep, sweep);
        QFETCH(int, weighting);
        QFETCH(double, resistance);
        const FitResult r =
            FitCircuit(Model::Resistor, sweep, Weighted(static_cast<Weighting>(weighting)));
        QVERIFY2(r.status == FitStatus::Ok, qPrintable(r.message));
        QVERIFY2(std::fabs(r.elements[0].value / resistance - 1.0) < 1e-6,
                 qPrintable(QString::number(r.elements[0].value)));
        double sum = 0.0;
        for (const Complex &z : sweep.impedance)
            sum += std::norm((r.elements[0].value - z) / std::abs(z));
        QVERIFY(std::fabs(r.rmsRelativeResidual / std::sqrt(sum / (2 * sweep.impedance.size())) -
                          1.0) < 1e-9);
    }
};

QTEST_GUILESS_MAIN(TestFitOptions)
#include "test_fit_options.moc"
