// The fit on what the program holds: the sweep store's points, fitted curves as stored
// parameters (checked against the link's decoding of a real frame), and the simulator's parts.
#include "fit/circuit_fit.h"
#include "fit/sweep_points.h"
#include "link/decoding.h"
#include "sim/component.h"
#include "sweep/sweep_store.h"

#include "../link/frame_builder.h"
#include "synthetic.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace Fit;

namespace {

constexpr double TwoPi = 6.283185307179586;

// The store as a run of the link would leave it: each point decoded from a frame carrying the
// impedance's magnitude and angle, all eleven parameters kept.
void FillStore(Main::SweepVariables &store, const Fit::Sweep &sweep, bool seriesCircuit) {
    store = {};
    store.SweepPoints = static_cast<int>(sweep.frequency.size());
    store.SweepIndex = store.SweepPoints - 1;
    for (int i = 0; i < store.SweepPoints; ++i) {
        const Complex z = sweep.impedance[i];
        const auto frame =
            TestFrames::MakeFrame(static_cast<float>(std::abs(z)), static_cast<float>(std::arg(z)),
                                  static_cast<std::int32_t>(sweep.frequency[i]));
        const Device::DecodedFrame d = Device::DecodeFrame(frame.data(), 20, seriesCircuit, 2);
        Device::ParameterInputs in{
            d.magnitude,        d.phase,       d.resistance,     d.reactance,
            d.angularFrequency, d.frequencyHz, d.biasMillivolts, seriesCircuit};
        store.SweepFrequencies[i] = static_cast<float>(sweep.frequency[i]);
        store.SweepMagnitudes[i] = d.magnitude;
        store.SweepPhases[i] = d.phase;
        for (int k = 0; k < Main::SweepParameterCount; ++k)
            store.SweepSamples[k][i] = Device::DeriveParameter(k, in);
    }
}

// Whole-hertz frequencies, as the meter reports them.
Fit::Sweep WholeHertz(Fit::Sweep sweep) {
    for (double &hz : sweep.frequency)
        hz = std::round(hz);
    return sweep;
}

Fit::Sweep FromSimulator(const Sim::Component &part) {
    Fit::Sweep sweep;
    sweep.frequency = Synthetic::LogFrequencies(25.0, 10e6, 101);
    for (double hz : sweep.frequency) {
        const Sim::Impedance z = Sim::impedanceAt(part, hz);
        sweep.impedance.push_back(std::polar(z.magnitude, z.theta));
    }
    return sweep;
}

} // namespace

class TestFitSweep : public QObject {
    Q_OBJECT

private slots:
    // Whichever circuit the run was shown in, the store gives back the frame's impedance.
    void storeGivesTheMeasuredImpedance() {
        const Synthetic::Part part = Synthetic::Parts()[4];
        const Fit::Sweep sweep = WholeHertz(Synthetic::Make(part.model, part.elements));
        Main::SweepVariables store;
        for (bool series : {true, false}) {
            FillStore(store, sweep, series);
            const Fit::Sweep read = SweepFromStore(store);
            QCOMPARE(int(read.impedance.size()), 101);
            for (int i = 0; i < 101; ++i) {
                QCOMPARE(read.frequency[i], sweep.frequency[i]);
                QVERIFY2(std::abs(read.impedance[i] - sweep.impedance[i]) <
                             2e-6 * std::abs(sweep.impedance[i]),
                         qPrintable(QStringLiteral("point %1").arg(i)));
            }
            const FitResult r = FitCircuit(part.model, read);
            QCOMPARE(r.status, FitStatus::Ok);
            for (std::size_t i = 0; i < r.elements.size(); ++i)
                QVERIFY(std::fabs(r.elements[i].value / part.elements[i] - 1.0) < 1e-4);
        }
    }

    void storeTakesOnlyTakenPointsAndMarksOverload() {
        const Synthetic::Part part = Synthetic::Parts()[4];
        Main::SweepVariables store;
        FillStore(store, WholeHertz(Synthetic::Make(part.model, part.elements)), true);
        store.SweepMagnitudes[3] = std::numeric_limits<float>::quiet_NaN();
        store.SweepPhases[4] = std::numeric_limits<float>::infinity();
        store.SweepSamples[Device::ParZ][5] = 2e15f; // "OWERLOAD" in the statistics
        store.SweepSamples[Device::ParZ][6] = 9e14f; // large, but still shown as a number
        store.SweepRunning = true;
        store.SweepIndex = 60; // points 0..59 are taken
        const Fit::Sweep read = SweepFromStore(store);
        QCOMPARE(int(read.frequency.size()), 60);
        for (int i : {3, 4, 5})
            QVERIFY(std::isnan(read.impedance[i].real()));
        QVERIFY(std::isfinite(read.impedance[6].real()));
        const FitResult r = FitCircuit(Model::Capacitor, read);
        QCOMPARE(r.pointsLeftOut, 3);
        QCOMPARE(r.pointsUsed, 57);
    }

    // A fitted curve in the store's units equals what the link stores for a frame of the same
    // impedance, for all eleven parameters in both circuits.
    void curveIsWhatTheStoreWouldHold() {
        const Synthetic::Part part = Synthetic::Parts()[5];
        const Fit::Sweep sweep = WholeHertz(Synthetic::Make(part.model, part.elements));
        const FitResult fit = FitCircuit(part.model, sweep);
        QCOMPARE(fit.status, FitStatus::Ok);
        for (bool series : {true, false}) {
            Main::SweepVariables store;
            FillStore(store, Fit::Sweep{sweep.frequency, EvaluateFit(fit, sweep.frequency)}, series);
            for (int k = 0; k < Main::SweepParameterCount; ++k) {
                const std::vector<float> curve =
                    FittedParameterCurve(fit, k, sweep.frequency, series);
                QCOMPARE(int(curve.size()), 101);
                for (int i = 0; i < 101; ++i)
                    QVERIFY2(curve[i] == store.SweepSamples[k][i] ||
                                 std::fabs(curve[i] - store.SweepSamples[k][i]) <=
                                     1e-6f * std::fabs(store.SweepSamples[k][i]),
                             qPrintable(QStringLiteral("parameter %1, point %2: %3 and %4")
                                            .arg(k)
                                            .arg(i)
                                            .arg(curve[i])
                                            .arg(store.SweepSamples[k][i])));
            }
        }
        QVERIFY(FittedParameterCurve(FitResult{}, 0, sweep.frequency, true).empty());
    }

    // The demo part: C = 100 nF, R = 3 ohm, L = 20 nH in series.
    void simulatorDemoPartIsFound() {
        Sim::Component demo = *Sim::parseComponent(QStringLiteral("C=100n,R=3,L=20n"));
        const FitResult r = FitBest(FromSimulator(demo));
        QVERIFY2(r.model == Model::Capacitor, qPrintable(r.message));
        const double expected[] = {3.0, 20e-9, 100e-9};
        for (int i = 0; i < 3; ++i)
            QVERIFY(std::fabs(r.elements[i].value / expected[i] - 1.0) < 0.01);
    }

    void simulatorCoilAndResonator_data() {
        QTest::addColumn<QString>("dut");
        QTest::addColumn<int>("network");
        QTest::addColumn<int>("model");
        QTest::newRow("inductor") << "R=1.5,L=100u,C=50p" << int(Sim::Network::Inductor)
                                  << int(Model::Inductor);
        QTest::newRow("resonator")
            << "R=200,L=10m,C=1n,C0=2n" << int(Sim::Network::Resonator) << int(Model::Resonator);
    }
    void simulatorCoilAndResonator() {
        QFETCH(QString, dut);
        QFETCH(int, network);
        QFETCH(int, model);
        Sim::Component part = *Sim::parseComponent(dut);
        part.network = static_cast<Sim::Network>(network);
        const FitResult r = FitBest(FromSimulator(part));
        QVERIFY2(r.model == static_cast<Model>(model), qPrintable(r.message));
        const std::optional<double> given[] = {part.resistance, part.inductance, part.capacitance,
                                               part.shuntCapacitance};
        for (std::size_t i = 0; i < r.elements.size(); ++i)
            QVERIFY(std::fabs(r.elements[i].value / *given[i] - 1.0) < 1e-6);
    }
};

QTEST_GUILESS_MAIN(TestFitSweep)
#include "test_fit_sweep.moc"
