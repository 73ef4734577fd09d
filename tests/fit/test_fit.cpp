// The circuit fit on synthetic sweeps: recovery of known elements with and without noise, the
// automatic choice, wrong models, degenerate sweeps, resonances and the JSON and text output.
#include "fit/circuit_fit.h"
#include "fit/fit_report.h"

#include "synthetic.h"

#include <QJsonArray>
#include <QtTest>

#include <limits>

using namespace Fit;
using Synthetic::Part;

Q_DECLARE_METATYPE(Synthetic::Part)
Q_DECLARE_METATYPE(Fit::Model)

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

void AddPartRows() {
    QTest::addColumn<Part>("part");
    for (const Part &part : Synthetic::Parts())
        QTest::newRow(Info(part.model).name) << part;
}

QString Describe(const FitResult &r) {
    return FitSummary(r);
}

} // namespace

class TestFit : public QObject {
    Q_OBJECT

private slots:
    // dZ/d(ln x) against a central difference, for every model and element.
    void gradients_data() { AddPartRows(); }
    void gradients() {
        QFETCH(Part, part);
        const int count = Info(part.model).elementCount;
        for (double hz : {30.0, 2e3, 55e3, 3e6}) {
            const double omega = TwoPi * hz;
            Complex gradient[MaxElements];
            const Complex z =
                ImpedanceAndGradient(part.model, part.elements.data(), omega, gradient);
            QCOMPARE(z, Impedance(part.model, part.elements.data(), omega));
            for (int i = 0; i < count; ++i) {
                std::vector<double> up = part.elements, down = part.elements;
                const double h = 1e-6;
                up[i] *= std::exp(h);
                down[i] *= std::exp(-h);
                const Complex numeric = (Impedance(part.model, up.data(), omega) -
                                         Impedance(part.model, down.data(), omega)) /
                                        (2.0 * h);
                QVERIFY2(std::abs(numeric - gradient[i]) <=
                             1e-6 * std::abs(z) + 1e-9 * std::abs(numeric),
                         qPrintable(QStringLiteral("element %1 at %2 Hz").arg(i).arg(hz)));
            }
        }
    }

    void exactSweepIsRecovered_data() { AddPartRows(); }
    void exactSweepIsRecovered() {
        QFETCH(Part, part);
        const FitResult r = FitCircuit(part.model, Synthetic::Make(part.model, part.elements));
        QVERIFY2(r.status == FitStatus::Ok, qPrintable(r.message));
        QCOMPARE(r.pointsUsed, 101);
        QCOMPARE(r.pointsLeftOut, 0);
        QCOMPARE(int(r.elements.size()), Info(part.model).elementCount);
        for (std::size_t i = 0; i < r.elements.size(); ++i)
            QVERIFY2(std::fabs(r.elements[i].value / part.elements[i] - 1.0) < 1e-6,
                     qPrintable(Describe(r)));
        QVERIFY(r.rmsRelativeResidual < 1e-9);
    }

    void noisySweepWithinThreeUncertainties_data() { AddPartRows(); }
    void noisySweepWithinThreeUncertainties() {
        QFETCH(Part, part);
        const FitResult r =
            FitCircuit(part.model, Synthetic::Make(part.model, part.elements, 0.002));
        QVERIFY2(r.status == FitStatus::Ok, qPrintable(r.message));
        for (std::size_t i = 0; i < r.elements.size(); ++i) {
            const ElementValue &e = r.elements[i];
            QVERIFY2(e.uncertainty > 0.0 && e.uncertainty < 0.1 * e.value, qPrintable(Describe(r)));
            QVERIFY2(std::fabs(e.value - part.elements[i]) < 3.0 * e.uncertainty,
                     qPrintable(Describe(r)));
        }
        // Each part of the relative residual carries about the noise put in.
        QVERIFY2(r.rmsRelativeResidual > 0.0015 && r.rmsRelativeResidual < 0.0025,
                 qPrintable(Describe(r)));
    }

    void autoPicksTheGeneratingModel_data() {
        QTest::addColumn<Part>("part");
        QTest::addColumn<double>("noise");
        for (const Part &part : Synthetic::Parts()) {
            QTest::addRow("%s exact", Info(part.model).name) << part << 0.0;
            QTest::addRow("%s noisy", Info(part.model).name) << part << 0.002;
        }
    }
    void autoPicksTheGeneratingModel() {
        QFETCH(Part, part);
        QFETCH(double, noise);
        const FitResult r = FitBest(Synthetic::Make(part.model, part.elements, noise));
        QVERIFY2(r.model == part.model, qPrintable(Describe(r)));
        QVERIFY(r.automatic);
        QCOMPARE(int(r.alternatives.size()), ModelCount - 1);
        for (const Alternative &a : r.alternatives) {
            QVERIFY(a.model != r.model);
            // A lower BIC only within the gap, and only for a larger model.
            if (a.status == FitStatus::Ok && a.bic <= r.bic)
                QVERIFY2(a.bic >= r.bic - BicGap &&
                             Info(a.model).elementCount > Info(r.model).elementCount,
                         qPrintable(Describe(r)));
        }
    }

    // A model that cannot take the shape leaves at least ten times the noise.
    void wrongModelLeavesALargeResidual_data() {
        QTest::addColumn<Part>("part");
        QTest::addColumn<Model>("wrong");
        const std::vector<Part> parts = Synthetic::Parts();
        QTest::newRow("capacitor as series-rc") << parts[4] << Model::SeriesRc;
        QTest::newRow("capacitor as inductor") << parts[4] << Model::Inductor;
        QTest::newRow("inductor as series-rl") << parts[5] << Model::SeriesRl;
        QTest::newRow("resonator as capacitor") << parts[6] << Model::Capacitor;
        QTest::newRow("parallel-rc as series-rc") << parts[3] << Model::SeriesRc;
        QTest::newRow("series-rl as resistor") << parts[2] << Model::Resistor;
    }
    void wrongModelLeavesALargeResidual() {
        QFETCH(Part, part);
        QFETCH(Model, wrong);
        const Sweep sweep = Synthetic::Make(part.model, part.elements, 0.002);
        const FitResult right = FitCircuit(part.model, sweep);
        const FitResult r = FitCircuit(wrong, sweep);
        QVERIFY2(r.rmsRelativeResidual > 10.0 * right.rmsRelativeResidual, qPrintable(Describe(r)));
    }

    void pointsAtOneFrequencyAreRefused() {
        Sweep sweep;
        sweep.frequency.assign(50, 1000.0);
        sweep.impedance.assign(50, Complex(3.0, -1591.5));
        for (Model model : AllModels()) {
            const FitResult r = FitCircuit(model, sweep);
            QCOMPARE(r.status, FitStatus::TooFewPoints);
            QVERIFY(r.elements.empty());
        }
        const FitResult r = FitBest(sweep);
        QCOMPARE(r.status, FitStatus::TooFewPoints);
        QVERIFY2(r.message.contains(QLatin1String("at different frequencies")),
                 qPrintable(r.message));
        QCOMPARE(FitToJson(r)[QStringLiteral("status")].toString(),
                 QStringLiteral("too_few_points"));
    }

    // The same impedance at every frequency with a phase no circuit here keeps flat: a result,
    // however poor, and nothing that is not a number.
    void oneImpedanceAtEveryFrequency() {
        Sweep sweep;
        sweep.frequency = Synthetic::LogFrequencies(25.0, 10e6, 101);
        sweep.impedance.assign(101, std::polar(100.0, -0.7));
        const FitResult r = FitBest(sweep);
        QVERIFY(!r.elements.empty());
        QVERIFY(std::isfinite(r.rmsRelativeResidual) && r.rmsRelativeResidual > 0.01);
        for (const ElementValue &e : r.elements)
            QVERIFY(std::isfinite(e.value) && e.value > 0.0);
    }

    void twoPointsAreTooFewForAnyReactiveModel() {
        const Part part = Synthetic::Parts()[4];
        const Sweep sweep = Synthetic::Make(part.model, part.elements, 0.0, 2);
        for (Model model : AllModels()) {
            const FitResult r = FitCircuit(model, sweep);
            if (model == Model::Resistor) {
                QCOMPARE(r.status, FitStatus::Ok);
                continue;
            }
            QCOMPARE(r.status, FitStatus::TooFewPoints);
            QVERIFY2(
                r.message.contains(
                    QStringLiteral("needs at least %1 points").arg(Info(model).elementCount + 1)),
                qPrintable(r.message));
        }
        const FitResult best = FitBest(sweep);
        QCOMPARE(best.model, Model::Resistor);
        for (const Alternative &a : best.alternatives)
            QCOMPARE(a.status, FitStatus::TooFewPoints);
    }

    void unmeasuredPointsAreLeftOutAndCounted() {
        const Part part = Synthetic::Parts()[4];
        Sweep sweep = Synthetic::Make(part.model, part.elements);
        sweep.impedance[0] = Complex(NaN, 0.0);
        sweep.impedance[40] = Complex(std::numeric_limits<double>::infinity(), 0.0);
        sweep.impedance[41] = Complex(0.0, 0.0);
        sweep.frequency[70] = NaN;
        sweep.frequency.push_back(1e3); // a frequency without an impedance
        const FitResult r = FitCircuit(part.model, sweep);
        QCOMPARE(r.status, FitStatus::Ok);
        QCOMPARE(r.pointsUsed, 97);
        QCOMPARE(r.pointsLeftOut, 5);
        QVERIFY2(r.message.contains(QLatin1String("5 left out")), qPrintable(r.message));
        for (std::size_t i = 0; i < r.elements.size(); ++i)
            QVERIFY(std::fabs(r.elements[i].value / part.elements[i] - 1.0) < 1e-6);
        QCOMPARE(FitToJson(r)[QStringLiteral("points_left_out")].toInt(), 5);
    }

    // A flat resistor: the resistor wins; a model with a reactance can only push it out of the
    // range, its C growing until 1/(wC) is lost beside R at the lowest frequency.
    void flatResistorChoosesTheResistor() {
        Sweep sweep;
        sweep.frequency = Synthetic::LogFrequencies(25.0, 10e6, 101);
        sweep.impedance.assign(101, Complex(47.0, 0.0));
        const FitResult r = FitBest(sweep);
        QCOMPARE(r.model, Model::Resistor);
        QVERIFY(std::fabs(r.elements[0].value / 47.0 - 1.0) < 1e-9);
        const FitResult rc = FitCircuit(Model::SeriesRc, sweep);
        QVERIFY(1.0 / (TwoPi * 25.0 * rc.elements[1].value) < 1e-4 * 47.0);
    }

    void notConvergingSaysSo() {
        const Part part = Synthetic::Parts()[6];
        FitOptions options;
        options.maxEvaluations = 3;
        const FitResult r =
            FitCircuit(part.model, Synthetic::Make(part.model, part.elements), options);
        QCOMPARE(r.status, FitStatus::NotConverged);
        QVERIFY2(r.message.contains(QLatin1String("did not converge")), qPrintable(r.message));
        QCOMPARE(FitToJson(r)[QStringLiteral("status")].toString(),
                 QStringLiteral("not_converged"));
        QVERIFY(FitSummary(r).contains(QLatin1String("NOT CONVERGED")));
    }

    void namesChooseTheModel() {
        const Part part = Synthetic::Parts()[1];
        const Sweep sweep = Synthetic::Make(part.model, part.elements);
        for (Model model : AllModels())
            QCOMPARE(FitByName(QString::fromLatin1(Info(model).name), sweep).model, model);
        QVERIFY(FitByName(QStringLiteral("auto"), sweep).automatic);
        const FitResult r = FitByName(QStringLiteral("crystal"), sweep);
        QCOMPARE(r.status, FitStatus::UnknownModel);
        QVERIFY(r.message.contains(QLatin1String("series-rc")));
    }

    // Each resonance is where the fitted circuit's impedance (or its arm's) is real.
    void resonancesLieWhereTheImpedanceIsReal() {
        const std::vector<Part> parts = Synthetic::Parts();
        for (int row : {4, 5, 6}) {
            const Part &part = parts[row];
            const FitResult r = FitCircuit(part.model, Synthetic::Make(part.model, part.elements));
            QVERIFY(!r.derived.empty());
            QCOMPARE(QLatin1String(r.derived[0].key), QLatin1String("srf"));
            const double w = TwoPi * r.derived[0].value;
            const double *e = part.elements.data();
            if (part.model == Model::Resonator) {
                const Complex arm = Impedance(Model::Capacitor, e, w);
                QVERIFY(std::fabs(arm.imag()) < 1e-6 * std::abs(arm));
                QVERIFY(std::fabs(r.derived[3].value / e[0] - 1.0) < 1e-6); // R1 there
                // The lossless circuit's admittance vanishes at the parallel resonance.
                const double lossless[] = {1e-12, e[1], e[2], e[3]};
                const double wp = TwoPi * r.derived[1].value;
                QVERIFY(std::abs(Impedance(Model::Resonator, lossless, wp)) > 1e6 * std::abs(arm));
                QVERIFY(std::fabs(r.derived[2].value - w * e[1] / e[0]) <
                        1e-6 * r.derived[2].value);
            } else {
                const Complex z = Impedance(part.model, e, w);
                QVERIFY(std::fabs(z.imag()) < 1e-6 * std::abs(z));
                QVERIFY(std::fabs(r.derived[1].value / z.real() - 1.0) < 1e-6);
            }
        }
        // A coil too lossy to resonate has no self-resonance to report.
        const double lossy[] = {1e3, 1e-6, 1e-9};
        QVERIFY(FitCircuit(Model::Inductor, Synthetic::Make(Model::Inductor, {lossy, lossy + 3}))
                    .derived.empty());
    }

    void jsonCarriesElementsInSi() {
        const Part part = Synthetic::Parts()[4];
        const FitResult r = FitBest(Synthetic::Make(part.model, part.elements, 0.002));
        const QJsonObject o = FitToJson(r);
        QCOMPARE(o[QStringLiteral("model")].toString(), QStringLiteral("capacitor"));
        QCOMPARE(o[QStringLiteral("status")].toString(), QStringLiteral("ok"));
        QCOMPARE(o[QStringLiteral("points_used")].toInt(), 101);
        const QJsonObject c = o[QStringLiteral("elements")][QStringLiteral("C")].toObject();
        QCOMPARE(c[QStringLiteral("unit")].toString(), QStringLiteral("F"));
        QCOMPARE(c[QStringLiteral("value")].toDouble(), r.elements[2].value);
        QCOMPARE(c[QStringLiteral("uncertainty")].toDouble(), r.elements[2].uncertainty);
        QCOMPARE(
            o[QStringLiteral("elements")][QStringLiteral("ESL")][QStringLiteral("unit")].toString(),
            QStringLiteral("H"));
        QCOMPARE(o[QStringLiteral("rms_relative_residual")].toDouble(), r.rmsRelativeResidual);
        const QJsonObject srf = o[QStringLiteral("derived")][QStringLiteral("srf")].toObject();
        QCOMPARE(srf[QStringLiteral("unit")].toString(), QStringLiteral("Hz"));
        QVERIFY(std::fabs(srf[QStringLiteral("value")].toDouble() / 3.5588e6 - 1.0) < 1e-3);
        const QJsonArray alternatives = o[QStringLiteral("alternatives")].toArray();
        QCOMPARE(alternatives.size(), ModelCount - 1);
        QVERIFY(alternatives[0][QStringLiteral("bic")].toDouble() > r.bic);
        const QString text = FitSummary(r);
        QVERIFY2(text.contains(QLatin1String("capacitor (R-L-C in series), 101 points")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("C    = 99.98")) &&
                     text.contains(QStringLiteral("nF")),
                 qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("others: ")), qPrintable(text));
    }

    void undeterminedValuesAreNullInJson() {
        FitResult r;
        r.model = Model::SeriesRc;
        r.status = FitStatus::Ok;
        r.elements = {{47.0, 0.1}, {1e30, std::numeric_limits<double>::infinity()}};
        const QJsonObject c =
            FitToJson(r)[QStringLiteral("elements")][QStringLiteral("C")].toObject();
        QVERIFY(c[QStringLiteral("uncertainty")].isNull());
        QVERIFY(FitSummary(r).contains(QLatin1String("not determined")));
    }

    void engineeringPrefixes_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("nano") << 1.5e-7 << "F"
                              << "150.00 nF";
        QTest::newRow("micro") << 2.2e-5 << "H" << QStringLiteral("22.000 \u00b5H");
        QTest::newRow("none") << 3.0 << "ohm"
                              << "3.0000 ohm";
        QTest::newRow("mega") << 3.5588e6 << "Hz"
                              << "3.5588 MHz";
        QTest::newRow("zero") << 0.0 << "ohm"
                              << "0.0000 ohm";
        QTest::newRow("negative") << -0.0047 << "F"
                                  << "-4.7000 mF";
    }
    void engineeringPrefixes() {
        QFETCH(double, value);
        QFETCH(QString, unit);
        QFETCH(QString, text);
        QCOMPARE(Engineering(value, unit), text);
    }
};

QTEST_GUILESS_MAIN(TestFit)
#include "test_fit.moc"
