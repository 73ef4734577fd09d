// Circuits written as strings: the parser's trees and errors, the impedance and its derivatives,
// and fits of simulated data through FitByName.
#include "fit/circuit_fit.h"
#include "fit/circuit_string.h"
#include "fit/fit_report.h"

#include "synthetic.h"

#include <QtTest>

#include <random>

using namespace Fit;

Q_DECLARE_METATYPE(std::vector<double>)

namespace {

constexpr double TwoPi = 6.283185307179586;

// A sweep of the circuit's impedance over 25 Hz .. 10 MHz, with seeded noise of |Z| and angle.
Sweep Simulate(const QString &text, const std::vector<double> &values, double noise,
               int points = 101) {
    const CircuitParse parse = ParseCircuit(text);
    Sweep sweep;
    if (!parse.ok) return sweep;
    sweep.frequency = Synthetic::LogFrequencies(25.0, 10e6, points);
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    for (double hz : sweep.frequency) {
        Complex z = CircuitImpedance(parse.circuit, values.data(), TwoPi * hz);
        if (noise > 0.0)
            z = std::polar(std::abs(z) * (1.0 + gauss(random)), std::arg(z) + gauss(random));
        sweep.impedance.push_back(z);
    }
    return sweep;
}

} // namespace

class TestCircuitString : public QObject {
    Q_OBJECT

private slots:
    void parses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("series and parallel") << "R0-p(R1,C1)"
                                             << "R0-p(R1,C1)" << QStringList{"R0", "R1", "C1"};
        QTest::newRow("constant phase, lower case, spaces")
            << " r0 - p( r1 , q1 ) "
            << "R0-p(R1,Q1)" << QStringList{"R0", "R1", "Q1", "Q1_alpha"};
        QTest::newRow("nested, three branches")
            << "p(R1,p(C1,L1)-R2,Q3)"
            << "p(R1,p(C1,L1)-R2,Q3)" << QStringList{"R1", "C1", "L1", "R2", "Q3", "Q3_alpha"};
        QTest::newRow("bare letters") << "R-C"
                                      << "R-C" << QStringList{"R", "C"};
    }
    void parses() {
        QFETCH(QString, text);
        const CircuitParse parse = ParseCircuit(text);
        QVERIFY2(parse.ok, qPrintable(parse.Error()));
        QTEST(parse.circuit.text, "normalised");
        QStringList keys;
        for (const CircuitParameter &p : parse.circuit.parameters)
            keys << p.key;
        QTEST(keys, "keys");
    }

    void refuses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << "  " << 2 << "empty";
        QTest::newRow("dangling dash") << "R0-" << 3 << "not the end";
        QTest::newRow("one branch") << "R0-p(R1)" << 7 << "at least two branches";
        QTest::newRow("unclosed") << "R0-p(R1,C1" << 10 << "not closed";
        QTest::newRow("stray parenthesis") << "R0)" << 2 << "without its 'p('";
        QTest::newRow("unknown element") << "R0-X1" << 3 << "not 'X'";
        QTest::newRow("named twice") << "R1-p(C1,R1)" << 8 << "R1 is named twice";
        QTest::newRow("p without parenthesis") << "pR1" << 1 << "expected '(' after p";
        QTest::newRow("no joint") << "R0R1" << 2 << "not 'R'";
        QTest::newRow("empty branch") << "p(,R1)" << 2 << "not ','";
        QTest::newRow("a model's name misspelt") << "resistr" << 1 << "not 'e'";
        QTest::newRow("too many values") << "Q1-Q2-Q3-Q4-Q5-Q6-R7" << 18 << "more than 12";
    }
    void refuses() {
        QFETCH(QString, text);
        const CircuitParse parse = ParseCircuit(text);
        QVERIFY(!parse.ok);
        QTEST(parse.position, "position");
        QFETCH(QString, reason);
        QVERIFY2(parse.reason.contains(reason), qPrintable(parse.reason));
        QVERIFY(parse.Error().startsWith(QStringLiteral("position %1: ").arg(parse.position)));
    }

    void impedance() {
        const double w = TwoPi * 1e3;
        const CircuitParse rc = ParseCircuit(QStringLiteral("R0-p(R1,C1)"));
        const double x[] = {10.0, 1e3, 1e-7};
        const Complex expected = 10.0 + 1.0 / (1.0 / 1e3 + Complex(0.0, w * 1e-7));
        QVERIFY(std::abs(CircuitImpedance(rc.circuit, x, w) - expected) <
                1e-9 * std::abs(expected));
        // A constant-phase element of exponent 1 is a capacitor; of exponent 0, a resistor 1/Q.
        const CircuitParse q = ParseCircuit(QStringLiteral("Q1"));
        const double ideal[] = {1e-7, 1.0};
        const Complex c = 1.0 / Complex(0.0, w * 1e-7);
        QVERIFY(std::abs(CircuitImpedance(q.circuit, ideal, w) - c) < 1e-9 * std::abs(c));
        const double flat[] = {1e-3, 0.0};
        QVERIFY(std::abs(CircuitImpedance(q.circuit, flat, w) - Complex(1e3, 0.0)) < 1e-9);
        // Exponent 0.5: the angle is -45 degrees whatever the frequency.
        const double half[] = {1e-4, 0.5};
        QVERIFY(std::fabs(std::arg(CircuitImpedance(q.circuit, half, w)) + TwoPi / 8) < 1e-12);
    }

    // dZ/d(ln x) against central differences, through nesting, for every kind of element.
    void gradient() {
        const CircuitParse parse = ParseCircuit(QStringLiteral("R0-p(R1-L1,p(C1,Q1)-R2)"));
        QVERIFY(parse.ok);
        std::vector<double> x = {5.0, 200.0, 1e-3, 1e-8, 3e-6, 0.7, 50.0};
        QCOMPARE(x.size(), parse.circuit.parameters.size());
        for (double hz : {50.0, 3e3, 2e5}) {
            const double w = TwoPi * hz;
            Complex gradient[MaxElements];
            CircuitImpedance(parse.circuit, x.data(), w, gradient);
            for (std::size_t i = 0; i < x.size(); ++i) {
                const double h = 1e-6;
                std::vector<double> up = x, down = x;
                up[i] *= std::exp(h);
                down[i] *= std::exp(-h);
                const Complex numeric = (CircuitImpedance(parse.circuit, up.data(), w) -
                                         CircuitImpedance(parse.circuit, down.data(), w)) /
                                        (2 * h);
                const double scale = std::abs(CircuitImpedance(parse.circuit, x.data(), w));
                QVERIFY2(std::abs(gradient[i] - numeric) < 1e-6 * scale,
                         qPrintable(QStringLiteral("%1 at %2 Hz").arg(i).arg(hz)));
            }
        }
    }

    // A custom circuit with a constant-phase element, fitted by its string, within 1 %.
    void fitsConstantPhase_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::vector<double>>("values");
        QTest::newRow("R0-p(R1,Q1)") << "R0-p(R1,Q1)" << std::vector<double>{10.0, 2e3, 2e-6, 0.8};
        QTest::newRow("R0-p(R1,C1)-p(R2,Q2)")
            << "R0-p(R1,C1)-p(R2,Q2)" << std::vector<double>{5.0, 100.0, 1e-8, 3e3, 1e-5, 0.7};
        QTest::newRow("r0-q1, as SCPI sends it") << "r0-q1" << std::vector<double>{50.0, 1e-6, 0.9};
    }
    void fitsConstantPhase() {
        QFETCH(QString, text);
        QFETCH(std::vector<double>, values);
        const Sweep sweep = Simulate(text, values, 0.002);
        const FitResult r = FitByName(text, sweep);
        QVERIFY2(r.status == FitStatus::Ok, qPrintable(r.message));
        QCOMPARE(r.circuit, ParseCircuit(text).circuit.text);
        QVERIFY2(r.verdict == Verdict::Good, qPrintable(FitSummary(r)));
        QCOMPARE(r.elements.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            QVERIFY2(
                std::fabs(r.elements[i].value / values[i] - 1.0) < 0.01,
                qPrintable(QStringLiteral("%1 %2: %3").arg(i).arg(values[i]).arg(FitSummary(r))));
        // The curve drawn over the points is the circuit's.
        const std::vector<Complex> curve = EvaluateFit(r, sweep.frequency);
        QCOMPARE(curve.size(), sweep.frequency.size());
        const Sweep exact = Simulate(text, values, 0.0);
        for (std::size_t k = 0; k < curve.size(); ++k)
            QVERIFY(std::abs(curve[k] - exact.impedance[k]) < 0.01 * std::abs(exact.impedance[k]));
    }

    // The string of a model's circuit gives that model's values; the JSON names the string's
    // elements, and keeps every key a model's fit has.
    void agreesWithModel() {
        const std::vector<double> values = {10.0, 10e3, 10e-9};
        const Sweep sweep = Synthetic::Make(Model::ParallelRc, values, 0.002);
        const FitResult model = FitByName(QStringLiteral("parallel-rc"), sweep);
        const FitResult string = FitByName(QStringLiteral("R0-p(R1,C1)"), sweep);
        QVERIFY2(string.verdict == Verdict::Good, qPrintable(FitSummary(string)));
        for (std::size_t i = 0; i < values.size(); ++i)
            QVERIFY(std::fabs(string.elements[i].value / model.elements[i].value - 1.0) < 1e-4);
        const QJsonObject json = FitToJson(string);
        const QJsonObject modelJson = FitToJson(model);
        for (const QString &key : modelJson.keys())
            QVERIFY2(json.contains(key), qPrintable(key));
        QCOMPARE(json[QStringLiteral("model")].toString(), QStringLiteral("R0-p(R1,C1)"));
        const QJsonObject elements = json[QStringLiteral("elements")].toObject();
        QCOMPARE(elements.keys(), (QStringList{"C1", "R0", "R1"}));
        QCOMPARE(elements[QStringLiteral("C1")].toObject()[QStringLiteral("unit")].toString(),
                 QStringLiteral("F"));
        QVERIFY2(FitSummary(string).contains(
                     QRegularExpression(QStringLiteral("R1   = (9\\.99|10\\.00)[0-9]* k"))),
                 qPrintable(FitSummary(string)));
    }

    void names() {
        QVERIFY(FitNameError(QStringLiteral("auto")).isEmpty());
        QVERIFY(FitNameError(QStringLiteral("capacitor")).isEmpty());
        QVERIFY(FitNameError(QStringLiteral("R0-p(R1,Q1)")).isEmpty());
        const QString why = FitNameError(QStringLiteral("R0-p(R1"));
        QVERIFY2(why.contains(QStringLiteral("position 7")) && why.contains("capacitor"),
                 qPrintable(why));
        const FitResult r = FitByName(QStringLiteral("R0-p(R1"), Simulate("R0", {1.0}, 0.0));
        QCOMPARE(r.status, FitStatus::UnknownModel);
        QVERIFY2(r.message.contains(QStringLiteral("position 7")), qPrintable(r.message));
        // Too few points for the circuit's values: refused, by the circuit's own count.
        const FitResult few = FitByName(QStringLiteral("R0-p(R1,Q1)"),
                                        Simulate("R0-p(R1,Q1)", {1.0, 2.0, 1e-6, 0.8}, 0.0, 4));
        QCOMPARE(few.status, FitStatus::TooFewPoints);
        QCOMPARE(few.verdict, Verdict::Refused);
        QVERIFY2(few.message.contains(QStringLiteral("needs at least 5")), qPrintable(few.message));
    }
};

QTEST_GUILESS_MAIN(TestCircuitString)
#include "test_circuit_string.moc"
