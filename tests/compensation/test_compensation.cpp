// Fixture compensation as a lab checks it: a part behind leads (0.5 Ω + 50 nH) and a stray
// (5 pF ∥ 1 nS), computed by hand, recovered by open + short at the grid's points and between
// them; a meter with a gain error recovered by the load step; the file read back, and refused
// when it is damaged, of another model, or has a standard of zero.
#include "compensation/compensation_file.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using Comp::Complex;

namespace {

constexpr double Pi = 3.14159265358979323846;

Complex Leads(double hz) {
    return {0.5, 2 * Pi * hz * 50e-9};
}
Complex Stray(double hz) {
    return Complex(1.0) / Complex(1e-9, 2 * Pi * hz * 5e-12);
}
Complex Parallel(Complex a, Complex b) {
    return a * b / (a + b);
}
// What the meter reads through the fixture (gain: the meter's own error).
Complex Measured(Complex part, double hz, Complex gain = 1.0) {
    return gain * (Leads(hz) + Parallel(part, Stray(hz)));
}
Complex OpenReading(double hz, Complex gain = 1.0) {
    return gain * (Leads(hz) + Stray(hz));
}
Complex ShortReading(double hz, Complex gain = 1.0) {
    return gain * Leads(hz);
}
Complex Capacitor(double farads, double hz) {
    return {0.0, -1.0 / (2 * Pi * hz * farads)};
}

Comp::Compensation OverGrid(Complex gain = 1.0) {
    Comp::Compensation c;
    c.model = QStringLiteral("KT-44");
    c.fixture = QStringLiteral("leads");
    for (double hz : Comp::StandardGrid(100.0, 1e6)) {
        c.open.Put(hz, OpenReading(hz, gain));
        c.shorted.Put(hz, ShortReading(hz, gain));
        c.load.Put(hz, Measured(100.0, hz, gain));
    }
    c.standard = {Comp::LoadStandard::Form::ResistanceReactance, 100.0, 0.0};
    c.enabled = Comp::OpenCorrection | Comp::ShortCorrection;
    return c;
}

double RelativeError(Complex got, Complex want) {
    return std::abs(got - want) / std::abs(want);
}

} // namespace

class TestCompensation : public QObject {
    Q_OBJECT

private slots:
    // The formulas against the circuit: each kind alone removes what it models exactly.
    void formulas() {
        const double hz = 10e3;
        const Complex part = Capacitor(10e-12, hz);
        Comp::Standards s;
        s.open = OpenReading(hz);
        s.shorted = ShortReading(hz);
        QVERIFY(RelativeError(Comp::Correct(Measured(part, hz), s,
                                            Comp::OpenCorrection | Comp::ShortCorrection),
                              part) < 1e-9);
        // Leads only: short alone is exact; stray only: open alone is exact.
        s.shorted = ShortReading(hz);
        QVERIFY(RelativeError(Comp::Correct(Leads(hz) + part, s, Comp::ShortCorrection), part) <
                1e-12);
        s.open = Stray(hz);
        QVERIFY(RelativeError(Comp::Correct(Parallel(part, Stray(hz)), s, Comp::OpenCorrection),
                              part) < 1e-9);
        QCOMPARE(Comp::Correct(part, s, Comp::NoCorrection), part);
    }

    // A 10 pF part and a 10 mΩ resistor from 100 Hz to 1 MHz, at the grid's points and
    // between them: within 0.5 % (the circuit is lumped, so in fact far closer).
    void partRecoveredOverTheGrid() {
        const Comp::Compensation c = OverGrid();
        for (double hz = 100.0; hz <= 1e6; hz *= 1.37) {
            for (const Complex part : {Capacitor(10e-12, hz), Complex(0.01, 0.0)}) {
                const Comp::Corrected got = c.Apply(hz, Measured(part, hz));
                QVERIFY(!got.outside);
                QCOMPARE(got.applied, unsigned(Comp::OpenCorrection | Comp::ShortCorrection));
                QVERIFY2(RelativeError(got.z, part) < 0.005,
                         qPrintable(
                             QStringLiteral("%1 Hz: %2").arg(hz).arg(RelativeError(got.z, part))));
            }
        }
    }

    // A meter reading 2 % high and 0.5° turned: open + short leave that error, the load step
    // with an exact 100 Ω standard takes it out to within 0.1 %.
    void loadStepTakesOutTheMetersError() {
        const Complex gain = std::polar(1.02, 0.5 * Pi / 180.0);
        Comp::Compensation c = OverGrid(gain);
        const double hz = 12345.0;
        const Complex part = Capacitor(1e-9, hz);
        QVERIFY(RelativeError(c.Apply(hz, Measured(part, hz, gain)).z, part) > 0.01);
        c.enabled |= Comp::LoadCorrection;
        const Comp::Corrected got = c.Apply(hz, Measured(part, hz, gain));
        QCOMPARE(got.applied,
                 unsigned(Comp::OpenCorrection | Comp::ShortCorrection | Comp::LoadCorrection));
        QVERIFY2(RelativeError(got.z, part) < 0.001,
                 qPrintable(QString::number(RelativeError(got.z, part))));
    }

    // No extrapolation: outside the span, or away from a spot reading, the reading as measured.
    void outsideTheSpan() {
        const Comp::Compensation c = OverGrid();
        const Complex reading = Measured(1000.0, 2e6);
        const Comp::Corrected got = c.Apply(2e6, reading);
        QVERIFY(got.outside);
        QCOMPARE(got.applied, unsigned(Comp::NoCorrection));
        QCOMPARE(got.z, reading);
        Comp::Compensation spot;
        spot.open.Put(1000.0, OpenReading(1000.0));
        spot.enabled = Comp::OpenCorrection;
        QVERIFY(!spot.Apply(1000.0, reading).outside);
        QVERIFY(spot.Apply(1001.0, reading).outside);
        // Off, or without data: nothing applied and nothing marked.
        Comp::Compensation off = OverGrid();
        off.enabled = Comp::NoCorrection;
        QVERIFY(!off.Apply(2e6, reading).outside);
    }

    // Load needs open, short and a standard with an impedance.
    void loadNeedsEverything_data() {
        QTest::addColumn<int>("form");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("second");
        QTest::addColumn<bool>("usable");
        QTest::newRow("100 ohm") << 0 << 100.0 << 0.0 << true;
        QTest::newRow("zero") << 0 << 0.0 << 0.0 << false;
        QTest::newRow("1 nF, D 0.001") << 1 << 1e-9 << 0.001 << true;
        QTest::newRow("0 F") << 1 << 0.0 << 0.001 << false;
        QTest::newRow("1 mH, Q 0") << 2 << 1e-3 << 0.0 << false;
        QTest::newRow("NaN") << 0 << std::nan("") << 0.0 << false;
    }
    void loadNeedsEverything() {
        QFETCH(int, form);
        QFETCH(double, first);
        QFETCH(double, second);
        QFETCH(bool, usable);
        Comp::Compensation c = OverGrid();
        c.standard = {static_cast<Comp::LoadStandard::Form>(form), first, second};
        c.enabled |= Comp::LoadCorrection;
        QCOMPARE((c.Usable() & Comp::LoadCorrection) != 0, usable);
        c.enabled = Comp::LoadCorrection | Comp::OpenCorrection; // no short: no load
        QCOMPARE(c.Usable(), unsigned(Comp::OpenCorrection));
    }

    void standardValues() {
        const Comp::LoadStandard c{Comp::LoadStandard::Form::CapacitanceD, 1e-9, 0.01};
        const Complex z = c.At(1000.0);
        QVERIFY(std::fabs(-1.0 / (2 * Pi * 1000.0 * z.imag()) - 1e-9) < 1e-18);
        QVERIFY(std::fabs(z.real() / -z.imag() - 0.01) < 1e-12);
        const Comp::LoadStandard l{Comp::LoadStandard::Form::InductanceQ, 1e-3, 50.0};
        QVERIFY(std::fabs(l.At(1000.0).imag() / l.At(1000.0).real() - 50.0) < 1e-9);
    }

    // The file read back gives the same corrections; the reading lines in any order.
    void fileRoundTrip() {
        Comp::Compensation c = OverGrid();
        c.enabled |= Comp::LoadCorrection;
        c.saved = QDateTime(QDate(2026, 12, 10), QTime(2, 30), Qt::UTC);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sub/KT-44-leads.txt"));
        QString error;
        QVERIFY2(Comp::SaveCompensation(path, c, &error), qPrintable(error));
        const Comp::ParsedCompensation back = Comp::LoadCompensation(path, QStringLiteral("KT-44"));
        QVERIFY2(back.ok, qPrintable(back.error));
        QCOMPARE(back.compensation.open.hz, c.open.hz);
        QCOMPARE(back.compensation.load.z, c.load.z);
        QCOMPARE(back.compensation.enabled, c.enabled);
        QCOMPARE(back.compensation.saved, c.saved);
        QCOMPARE(back.compensation.fixture, QStringLiteral("leads"));
        const double hz = 3333.0;
        QCOMPARE(back.compensation.Apply(hz, Measured(50.0, hz)).z,
                 c.Apply(hz, Measured(50.0, hz)).z);
    }

    void refusals_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("words");
        const QByteArray head = "# Impedix fixture compensation\nmodel KT-44\n";
        QTest::newRow("another program's file")
            << QByteArray("freq,re,im\n1,2,3\n") << 1 << "not a compensation file";
        QTest::newRow("another model")
            << QByteArray("# Impedix fixture compensation\nmodel KT-41\n") << 1
            << "measured on KT-41, not on KT-44";
        QTest::newRow("a damaged reading") << head + "open 1000 1e6\n" << 3 << "a reading";
        QTest::newRow("not a number") << head + "short 1000 nan 0\n" << 3 << "a reading";
        QTest::newRow("a frequency of 0") << head + "short 0 1 0\n" << 3 << "a reading";
        QTest::newRow("a standard of zero") << head + "standard R+X 0 0\nload on\n" << 3 << "";
        QTest::newRow("a standard without impedance") << head + "standard C+D -1 0\n"
                                                      << 3 << "no impedance";
        QTest::newRow("unknown line") << head + "opne 1 2 3\n" << 3 << "unknown line";
    }
    void refusals() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, words);
        const Comp::ParsedCompensation parsed =
            Comp::ParseCompensation(text, QStringLiteral("KT-44"));
        if (words.isEmpty()) { // read, but nothing it holds can be applied
            QVERIFY(parsed.ok);
            QCOMPARE(parsed.compensation.Usable(), unsigned(Comp::NoCorrection));
            return;
        }
        QVERIFY(!parsed.ok);
        QCOMPARE(parsed.line, line);
        QVERIFY2(parsed.error.contains(words), qPrintable(parsed.error));
        QVERIFY(parsed.compensation.open.empty());
    }

    void grid() {
        const std::vector<double> g = Comp::StandardGrid(100.0, 1e6);
        QCOMPARE(g.front(), 100.0);
        QCOMPARE(g.back(), 1e6);
        QCOMPARE(int(g.size()), 41); // ten a decade over four decades, both ends
        QVERIFY(std::is_sorted(g.begin(), g.end()));
        QVERIFY(Comp::StandardGrid(0.0, 10.0).empty());
    }
};

QTEST_GUILESS_MAIN(TestCompensation)
#include "test_compensation.moc"
