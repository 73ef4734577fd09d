// The linear Kramers-Kronig check: data of every model are consistent, data whose imaginary part
// changed over part of the sweep are not, and a short sweep is not checked.
#include "fit/kramers_kronig.h"
#include "fit/kramers_kronig_report.h"

#include "synthetic.h"

#include <QJsonObject>
#include <QtTest>

using namespace Fit;

Q_DECLARE_METATYPE(Fit::Sweep)

namespace {

// The imaginary part scaled by factor from low to high Hz: what drift or a changed setup during
// the run leaves, since the real part no longer belongs to it.
Sweep Tampered(Sweep sweep, double lowHz, double highHz, double factor) {
    for (std::size_t i = 0; i < sweep.frequency.size(); ++i)
        if (sweep.frequency[i] >= lowHz && sweep.frequency[i] <= highHz)
            sweep.impedance[i] = {sweep.impedance[i].real(), sweep.impedance[i].imag() * factor};
    return sweep;
}

QString Describe(const KramersKronigCheck &c) {
    return KramersKronigLine(c);
}

} // namespace

class TestKramersKronig : public QObject {
    Q_OBJECT

private slots:
    void check_data() {
        QTest::addColumn<Sweep>("sweep");
        QTest::addColumn<bool>("consistent");
        const char *names[] = {"resistor",  "series-rc", "series-rl", "parallel-rc",
                               "capacitor", "inductor",  "resonator"};
        int n = 0;
        for (Synthetic::Part part : Synthetic::Parts()) {
            const char *name = names[n++];
            // A resonance of Q 1.6 rather than 16: RC elements (in Z or in 1/Z) do not follow a
            // sharper one between the points (fit/README.md).
            if (part.model == Model::Resonator) part.elements[0] = 2000.0;
            QTest::addRow("%s exact", name) << Synthetic::Make(part.model, part.elements) << true;
            QTest::addRow("%s noisy", name)
                << Synthetic::Make(part.model, part.elements, 0.002, 256) << true;
        }
        const Sweep parallel = Synthetic::Make(Model::ParallelRc, {10.0, 10e3, 10e-9}, 0.001, 256);
        QTest::newRow("parallel-rc, one decade's Im x1.3")
            << Tampered(parallel, 1e3, 10e3, 1.3) << false;
        QTest::newRow("parallel-rc, Im x1.1 above 100 kHz")
            << Tampered(parallel, 1e5, 1e7, 1.1) << false;
        const Sweep resonator =
            Synthetic::Make(Model::Resonator, {200.0, 10e-3, 1e-9, 2e-9}, 0.001, 256);
        QTest::newRow("resonator, one decade's Im x1.3")
            << Tampered(resonator, 10e3, 100e3, 1.3) << false;
        const Sweep capacitor = Synthetic::Make(Model::Capacitor, {3.0, 20e-9, 100e-9}, 0.001, 256);
        QTest::newRow("capacitor, one decade's Im x1.3")
            << Tampered(capacitor, 1e3, 10e3, 1.3) << false;
    }
    void check() {
        QFETCH(Sweep, sweep);
        QFETCH(bool, consistent);
        const KramersKronigCheck c = CheckKramersKronig(sweep);
        QVERIFY(c.checked);
        QCOMPARE(c.pointsUsed, static_cast<int>(sweep.frequency.size()));
        QVERIFY2(c.consistent == consistent, qPrintable(Describe(c)));
        QVERIFY2(c.elements >= 1 && c.rmsResidual <= c.maxResidual &&
                     c.maxResidual == std::max(c.maxReal, c.maxImag),
                 qPrintable(Describe(c)));
        if (consistent) {
            // Within the noise the data show, or the floor for exact data.
            const double allowed = std::isfinite(c.noiseEstimate) && c.noiseEstimate > 1e-3
                                       ? 3.0 * c.noiseEstimate
                                       : 3e-3;
            QVERIFY2(c.rmsResidual <= allowed, qPrintable(Describe(c)));
        } else {
            QVERIFY2(c.rmsResidual > 3e-3, qPrintable(Describe(c)));
            QVERIFY2(c.rmsImag > c.rmsReal / 4, qPrintable(Describe(c)));
        }
        // M stops at the first mu below the criterion, or at the most the span allows.
        QVERIFY2(c.mu < KramersKronigMu || c.elements >= KramersKronigLeastElements,
                 qPrintable(Describe(c)));
    }

    // Too few points: nothing is claimed, in any form.
    void shortSweep() {
        Sweep sweep = Synthetic::Make(Model::SeriesRc, {2.0, 1e-6}, 0.0, KramersKronigLeastPoints);
        sweep.impedance.back() = {std::nan(""), 0.0};
        const KramersKronigCheck c = CheckKramersKronig(sweep);
        QVERIFY(!c.checked);
        QCOMPARE(c.pointsUsed, KramersKronigLeastPoints - 1);
        const QJsonObject json = KramersKronigToJson(c);
        QCOMPARE(json[QStringLiteral("checked")].toBool(true), false);
        for (const char *key : {"consistent", "elements", "mu", "rms_residual", "max_residual"})
            QVERIFY2(json[QLatin1String(key)].isNull(), key);
        QVERIFY(KramersKronigLine(c).contains(QStringLiteral("not checked")));
        QVERIFY(KramersKronigLineRu(c).contains(QStringLiteral("не проверено")));
        QVERIFY(!CheckKramersKronig(Sweep{}).checked);
    }

    // A resonance of Q 16 the RC elements cannot follow: the fitted resonator describes the data,
    // so they are consistent; tampered, the fit no longer describes them and they are not.
    void sharpResonanceByCircuit() {
        const Sweep sharp =
            Synthetic::Make(Model::Resonator, {200.0, 10e-3, 1e-9, 2e-9}, 0.001, 256);
        QVERIFY(!CheckKramersKronig(sharp).consistent); // the RC elements alone
        const KramersKronigCheck byFit = CheckWithFit(sharp, FitByName("resonator", sharp));
        QVERIFY2(byFit.consistent && byFit.byCircuit, qPrintable(Describe(byFit)));
        QCOMPARE(KramersKronigToJson(byFit)[QStringLiteral("by_circuit")].toBool(false), true);
        const Sweep tampered = Tampered(sharp, 10e3, 100e3, 1.3);
        const KramersKronigCheck bad = CheckWithFit(tampered, FitByName("resonator", tampered));
        QVERIFY2(!bad.consistent && !bad.byCircuit, qPrintable(Describe(bad)));
    }

    void reports() {
        const Sweep good = Synthetic::Make(Model::SeriesRc, {2.0, 1e-6}, 0.001, 64);
        const KramersKronigCheck ok = CheckKramersKronig(good);
        const QJsonObject json = KramersKronigToJson(ok);
        QCOMPARE(json[QStringLiteral("consistent")].toBool(false), true);
        QCOMPARE(json[QStringLiteral("elements")].toInt(), ok.elements);
        QCOMPARE(json[QStringLiteral("rms_residual")].toDouble(), ok.rmsResidual);
        QCOMPARE(json[QStringLiteral("points_used")].toInt(), 64);
        QVERIFY(KramersKronigLineRu(ok).contains(QStringLiteral("данные согласованы")));
        const KramersKronigCheck bad = CheckKramersKronig(Tampered(good, 1e3, 1e4, 1.3));
        QVERIFY(KramersKronigLine(bad).contains(QStringLiteral("NOT consistent")));
        QVERIFY(KramersKronigLineRu(bad).contains(QStringLiteral("не согласованы")));
    }
};

QTEST_GUILESS_MAIN(TestKramersKronig)
#include "test_kramers_kronig.moc"
