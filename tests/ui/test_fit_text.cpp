// The fit in the window's words and its residuals, on plain data: each element's value with its
// prefix and symbol and its uncertainty, held and undetermined elements and figures outside the
// span said in words and never as numbers, no identifier of the command line's text, a circuit
// string that does not parse said with its position, the residuals' convention and points, and
// the runner that does a fit off the window's thread.
#include "fit/circuit_fit.h"
#include "fit/circuit_string.h"
#include "tests/fit/synthetic.h"
#include "ui/fit_residuals.h"
#include "ui/fit_runner.h"
#include "ui/fit_text.h"
#include "ui/residual_chart/residual_chart.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

namespace {

using Fit::ElementState;
using Fit::FigureSpan;

Fit::ElementValue Value(double value, double sigma, ElementState state = ElementState::Determined) {
    Fit::ElementValue e;
    e.value = value;
    e.uncertainty = sigma;
    e.state = state;
    return e;
}

Fit::FitResult Fitted(Fit::Model model, std::vector<Fit::ElementValue> elements) {
    Fit::FitResult fit;
    fit.model = model;
    fit.status = Fit::FitStatus::Ok;
    fit.elements = std::move(elements);
    fit.pointsUsed = 60;
    fit.rmsRelativeResidual = 0.002;
    fit.noiseEstimate = 0.0021;
    fit.describesData = true;
    fit.verdict = Fit::Verdict::Good;
    return fit;
}

Fit::DerivedFigure Figure(const char *key, const char *unit, double value, FigureSpan span) {
    Fit::DerivedFigure d{key, unit, value, value, 0u, span};
    return d;
}

// A capacitor with its resonance inside the span.
Fit::FitResult Capacitor() {
    Fit::FitResult fit = Fitted(Fit::Model::Capacitor,
                                {Value(3.0, 0.012), Value(20e-9, 0.15e-9), Value(100e-9, 0.22e-9)});
    fit.derived = {Figure("srf", "Hz", 3.5588e6, FigureSpan::Inside),
                   Figure("esr_at_srf", "ohm", 3.0, FigureSpan::Inside)};
    return fit;
}

// A resonator whose parallel resonance lies above the sweep, C0 held at its upper bound and L1
// not fixed by the data.
Fit::FitResult Resonator() {
    Fit::FitResult fit =
        Fitted(Fit::Model::Resonator,
               {Value(200.0, 1.5), Value(0.0123456, 0.0123456 * 2.0, ElementState::Undetermined),
                Value(1e-9, 1e-11), Value(7.7e99, 0.0, ElementState::AtUpperBound)});
    fit.derived = {Figure("srf", "Hz", 50329.0, FigureSpan::Inside),
                   Figure("parallel_resonance", "Hz", 61640.0, FigureSpan::Above),
                   Figure("q", "", 8.3e45, FigureSpan::Undetermined),
                   Figure("esr_at_srf", "ohm", 200.0, FigureSpan::Inside)};
    fit.verdict = Fit::Verdict::Poor;
    return fit;
}

// A circuit string with a constant-phase element, its series R at its lower bound.
Fit::FitResult ConstantPhase() {
    Fit::FitResult fit = Fitted(Fit::Model::Resistor,
                                {Value(1e-9, 0.0, ElementState::AtLowerBound), Value(1000.0, 2.0),
                                 Value(2.2e-6, 1.1e-8), Value(0.85, 0.0012)});
    fit.circuit = QStringLiteral("R0-p(R1,Q1)");
    return fit;
}

// The line of the text that begins with start (after the indent).
QString Line(const QString &text, const QString &start) {
    for (const QString &line : text.split(QLatin1Char('\n')))
        if (line.trimmed().startsWith(start)) return line.trimmed();
    return {};
}

} // namespace

class TestFitText : public QObject {
    Q_OBJECT

private slots:
    void siText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nano") << 1.5e-7 << "F" << 5 << "150,00 nF";
        QTest::newRow("micro sign") << 2.2e-6 << "F" << 2 << "2,2 µF";
        QTest::newRow("unprefixed") << 3.0 << "Ω" << 5 << "3,0000 Ω";
        QTest::newRow("zero") << 0.0 << "Ω" << 3 << "0,00 Ω";
        QTest::newRow("negative milli") << -2.5e-3 << "H" << 3 << "-2,50 mH";
        QTest::newRow("rounds into the next prefix") << 999.9996 << "Hz" << 5 << "1,0000 kHz";
        QTest::newRow("rounds into the next decade") << 9.99996 << "Hz" << 5 << "10,000 Hz";
        QTest::newRow("mega") << 3.5588e6 << "Hz" << 5 << "3,5588 MHz";
        QTest::newRow("top of tera") << 999e12 << "Ω" << 3 << "999 TΩ";
        QTest::newRow("beyond tera") << 1e15 << "Ω" << 3 << "1,00e+15 Ω";
        QTest::newRow("below femto") << 1e-18 << "F" << 2 << "1,0e-18 F";
        QTest::newRow("not a number") << std::nan("") << "Ω" << 5 << "— Ω";
    }
    void siText() {
        QFETCH(double, value);
        QFETCH(QString, unit);
        QFETCH(int, digits);
        QFETCH(QString, expected);
        QCOMPARE(Main::SiText(value, unit, digits), expected);
    }

    // Each element: key, value with prefix and symbol, ± σ with its share, its role in Russian;
    // the derived figures named; the residual against the noise; the verdict last.
    void wordsAGoodFit() {
        const QString text = Main::FitText(Capacitor());
        QCOMPARE(text.section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Схема: конденсатор (R–L–C последовательно)"));
        QCOMPARE(Line(text, "ESR"), QStringLiteral("ESR = 3,0000 Ω ± 12 mΩ (0,4 %)   "
                                                   "эквивалентное последовательное сопротивление"));
        QCOMPARE(Line(text, "ESL"), QStringLiteral("ESL = 20,000 nH ± 150 pH (0,75 %)   "
                                                   "эквивалентная последовательная индуктивность"));
        QCOMPARE(Line(text, "C "), QStringLiteral("C   = 100,00 nF ± 220 pF (0,22 %)   ёмкость"));
        QCOMPARE(Line(text, "Собственный"), QStringLiteral("Собственный резонанс: 3,5588 MHz"));
        QCOMPARE(Line(text, "ESR на"), QStringLiteral("ESR на резонансе: 3,0000 Ω"));
        QCOMPARE(Line(text, "Остаток"), QStringLiteral("Остаток (СКО): 0,2 %, шум данных 0,21 %"));
        QVERIFY(text.endsWith(QStringLiteral("Вывод: подбор надёжен.")));
    }

    // Held and undetermined elements and figures beyond the span or not determined are words:
    // none of the solver's numbers for them reaches the text.
    void wordsWhatTheDataDoNotFix() {
        const QString text = Main::FitText(Resonator());
        QCOMPARE(Line(text, "L1"), QStringLiteral("L1 = не определено данными   "
                                                  "динамическая индуктивность"));
        QCOMPARE(Line(text, "C0"), QStringLiteral("C0 = не влияет (на верхней границе)   "
                                                  "статическая ёмкость"));
        QCOMPARE(Line(text, "Последовательный"),
                 QStringLiteral("Последовательный резонанс: 50,329 kHz"));
        QCOMPARE(Line(text, "Параллельный"),
                 QStringLiteral("Параллельный резонанс: вне диапазона (резонанс выше измеренных "
                                "частот)"));
        QCOMPARE(Line(text, "Добротность"), QStringLiteral("Добротность Q: не определено"));
        for (const char *number : {"12,34", "12.34", "7,7", "61,64", "8,3", "e+"})
            QVERIFY2(!text.contains(QLatin1String(number)), number);
        QVERIFY2(text.endsWith(QStringLiteral("Вывод: подбор ненадёжен: не определены: L1.")),
                 qPrintable(text));

        Fit::FitResult below = Resonator();
        below.derived[1].span = FigureSpan::Below;
        QCOMPARE(Line(Main::FitText(below), "Параллельный"),
                 QStringLiteral("Параллельный резонанс: вне диапазона (резонанс ниже измеренных "
                                "частот)"));
    }

    // A circuit string: its own text as the name, Q with its unit, the exponent as "Q1 α" with
    // the phase it gives, the R at its lower bound said so.
    void wordsACircuitString() {
        const QString text = Main::FitText(ConstantPhase());
        QCOMPARE(text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("Схема: R0-p(R1,Q1)"));
        QCOMPARE(Line(text, "R0"),
                 QStringLiteral("R0   = пренебрежимо мало (на нижней границе)   сопротивление"));
        QCOMPARE(Line(text, "Q1 α"), QStringLiteral("Q1 α = 0,85 ± 0,0012 (0,14 %), фаза "
                                                    "-76,5°   его показатель α"));
        QCOMPARE(Line(text, "Q1 "), QStringLiteral("Q1   = 2,2000 µF·s^(α−1) ± 11 nF·s^(α−1) "
                                                   "(0,5 %)   элемент постоянной фазы"));
        // An exponent held at a bound is the bound, a meaningful value.
        Fit::FitResult ideal = ConstantPhase();
        ideal.elements[3] = Value(1.0, 0.0, ElementState::AtUpperBound);
        QCOMPARE(
            Line(Main::FitText(ideal), "Q1 α"),
            QStringLiteral("Q1 α = 1 (на верхней границе: чистая ёмкость)   его показатель α"));
        ideal.elements[3] = Value(0.01, 0.0, ElementState::AtLowerBound);
        QCOMPARE(Line(Main::FitText(ideal), "Q1 α"),
                 QStringLiteral("Q1 α = 0,01 (на нижней границе)   его показатель α"));
    }

    // Nothing of the command line's identifiers or English: no lower-case Latin word in any text
    // (keys and unit symbols are short or upper case).
    void noEnglishIdentifiers() {
        Fit::FitResult automatic = Capacitor();
        automatic.automatic = true;
        Fit::Alternative other;
        other.model = Fit::Model::SeriesRc;
        other.status = Fit::FitStatus::Ok;
        other.bic = -120.26;
        other.rmsRelativeResidual = 0.3;
        Fit::Alternative refused;
        refused.model = Fit::Model::Resonator;
        automatic.alternatives = {other, refused};
        Fit::FitResult notConverged = Resonator();
        notConverged.status = Fit::FitStatus::NotConverged;
        Fit::FitResult tooFew;
        tooFew.pointsUsed = 2;
        tooFew.message = QStringLiteral("too few points");
        const QRegularExpression english(QStringLiteral("[a-z_]{3,}"));
        for (const Fit::FitResult &fit :
             {Capacitor(), Resonator(), ConstantPhase(), automatic, notConverged, tooFew}) {
            const QString text = Main::FitText(fit);
            const QRegularExpressionMatch found = english.match(text);
            QVERIFY2(!found.hasMatch(), qPrintable(found.captured() + " in\n" + text));
        }
        const QString chosen = Main::FitText(automatic);
        QVERIFY(chosen.startsWith(QStringLiteral("Схема: конденсатор (R–L–C последовательно), "
                                                 "выбрана автоматически")));
        QCOMPARE(Line(chosen, "R–C последовательно"),
                 QStringLiteral("R–C последовательно: BIC -120,3, остаток 30 %"));
        QCOMPARE(Line(chosen, "резонатор"),
                 QStringLiteral("резонатор ((R1–L1–C1) ∥ C0): мало точек"));
        QVERIFY(Main::FitText(notConverged).contains(QStringLiteral("\nПодбор не сошёлся.\n")));
        QVERIFY(Main::FitText(tooFew).startsWith(
            QStringLiteral("Подбор невозможен: мало точек (пригодных 2).")));
    }

    void circuitProblems_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("parses") << "R0-p(R1,C1)"
                                << "";
        QTest::newRow("empty") << "  "
                               << "Схема не задана.";
        QTest::newRow("not closed") << "R0-p(R1,C1"
                                    << "Схема «R0-p(R1,C1»: позиция 11 — не закрыта скобка p(.";
        QTest::newRow("unknown element")
            << "R0-X1"
            << "Схема «R0-X1»: позиция 4 — ожидается элемент R, C, L, Q или p(.";
        QTest::newRow("ends after a dash")
            << "R0-"
            << "Схема «R0-»: позиция 4 — ожидается элемент R, C, L, Q или p(.";
        QTest::newRow("p without bracket") << "pR1"
                                           << "Схема «pR1»: позиция 2 — после p нужна «(».";
        QTest::newRow("separator") << "p(R1;C1)"
                                   << "Схема «p(R1;C1)»: позиция 5 — ожидается «,» или «)».";
        QTest::newRow("one branch")
            << "p(R1)"
            << "Схема «p(R1)»: позиция 5 — в p(…) нужно не меньше двух ветвей.";
        QTest::newRow("named twice") << "R1-p(R1,C1)"
                                     << "Схема «R1-p(R1,C1)»: позиция 6 — элемент назван дважды.";
        QTest::newRow("too many values")
            << "Q1-Q2-Q3-Q4-Q5-Q6-Q7"
            << "Схема «Q1-Q2-Q3-Q4-Q5-Q6-Q7»: позиция 19 — больше 12 величин для подбора.";
        QTest::newRow("unmatched bracket") << "R1)"
                                           << "Схема «R1)»: позиция 3 — «)» без своей p(.";
        QTest::newRow("comma at the top") << "R1,C1"
                                          << "Схема «R1,C1»: позиция 3 — ожидается «-» или конец.";
        QTest::newRow("position counts spaces")
            << " R0 - p( R1 "
            << "Схема « R0 - p( R1 »: позиция 13 — не закрыта скобка p(.";
    }
    void circuitProblems() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Main::CircuitProblemText(text, Fit::ParseCircuit(text)), expected);
    }

    // (Z measured − Z fitted) / |Z measured| at the usable points in their order, in percent;
    // none for a fit without elements.
    void residualsAtTheUsablePoints() {
        Fit::FitResult fit = Fitted(Fit::Model::SeriesRc, {Value(10.0, 0.1), Value(1e-6, 1e-8)});
        const double values[2] = {10.0, 1e-6};
        Fit::Sweep sweep;
        const std::vector<double> hz = {100.0, std::nan(""), 1000.0, 0.0, 10000.0, 20000.0};
        for (double f : hz) {
            sweep.frequency.push_back(f);
            sweep.impedance.push_back(std::isfinite(f) && f > 0.0
                                          ? Fit::Impedance(fit.model, values, 6.283185307179586 * f)
                                          : Fit::Complex(1.0, 0.0));
        }
        // 2 % of |Z| more in the real part at 1 kHz, 1 % less in the imaginary at 10 kHz; no
        // impedance at 20 kHz.
        const Fit::Complex at1k = sweep.impedance[2];
        sweep.impedance[2] += 0.02 * std::abs(at1k);
        const Fit::Complex at10k = sweep.impedance[4];
        sweep.impedance[4] -= Fit::Complex(0.0, 0.01 * std::abs(at10k));
        sweep.impedance[5] = Fit::Complex(0.0, 0.0);

        const std::vector<Main::FitResidual> r = Main::FitResiduals(fit, sweep);
        QCOMPARE(r.size(), std::size_t(3));
        QVERIFY(std::fabs(r[0].frequency - 100.0) < 1e-9);
        QVERIFY(std::fabs(r[1].frequency - 1000.0) < 1e-9);
        QVERIFY(std::fabs(r[2].frequency - 10000.0) < 1e-9);
        QVERIFY(std::fabs(r[0].real) < 1e-9 && std::fabs(r[0].imaginary) < 1e-9);
        const double expected1k = 2.0 * std::abs(at1k) / std::abs(sweep.impedance[2]);
        QVERIFY2(std::fabs(r[1].real - expected1k) < 1e-9, qPrintable(QString::number(r[1].real)));
        QVERIFY(std::fabs(r[1].imaginary) < 1e-9);
        const double expected10k = -1.0 * std::abs(at10k) / std::abs(sweep.impedance[4]);
        QVERIFY2(std::fabs(r[2].imaginary - expected10k) < 1e-9,
                 qPrintable(QString::number(r[2].imaginary)));
        QVERIFY(std::fabs(r[2].real) < 1e-9);

        Fit::FitResult none;
        QVERIFY(Main::FitResiduals(none, sweep).empty());
    }

    // A circuit string fitted to its own exact impedances leaves residuals at rounding level, at
    // every point of the sweep.
    void residualsOfAFittedCircuitString() {
        const Fit::CircuitParse parse = Fit::ParseCircuit(QStringLiteral("R0-p(R1,Q1)"));
        QVERIFY(parse.ok);
        const double truth[4] = {5.0, 1000.0, 2.2e-6, 0.85};
        Fit::Sweep sweep;
        sweep.frequency = Synthetic::LogFrequencies(25.0, 1e6, 61);
        for (double f : sweep.frequency)
            sweep.impedance.push_back(
                Fit::CircuitImpedance(parse.circuit, truth, 6.283185307179586 * f));
        const Fit::FitResult fit = Fit::FitByName(QStringLiteral("R0-p(R1,Q1)"), sweep);
        QCOMPARE(fit.status, Fit::FitStatus::Ok);
        const std::vector<Main::FitResidual> r = Main::FitResiduals(fit, sweep);
        QCOMPARE(r.size(), sweep.frequency.size());
        for (const Main::FitResidual &p : r)
            QVERIFY2(
                std::fabs(p.real) < 1e-3 && std::fabs(p.imaginary) < 1e-3,
                qPrintable(
                    QStringLiteral("%1 Hz: %2, %3").arg(p.frequency).arg(p.real).arg(p.imaginary)));
    }

    // One fit at a time off the calling thread; a forgotten one's result is not delivered, and
    // the busy cursor goes with the fit.
    void runnerDeliversOnlyTheFitsNotForgotten() {
        Fit::Sweep sweep;
        sweep.frequency = Synthetic::LogFrequencies(100.0, 1e6, 41);
        const double r[1] = {47.0};
        for (double f : sweep.frequency)
            sweep.impedance.push_back(Fit::Impedance(Fit::Model::Resistor, r, 1.0 + f));
        Main::FitRunner runner;
        QList<Main::FitOutcome> delivered;
        connect(&runner, &Main::FitRunner::finished, this,
                [&delivered](const Main::FitOutcome &o) { delivered << o; });
        QVERIFY(runner.start(QStringLiteral("resistor"), sweep));
        QVERIFY(QGuiApplication::overrideCursor());
        QVERIFY(!runner.start(QStringLiteral("auto"), sweep)); // while the first runs
        runner.forget();
        QVERIFY(QTest::qWaitFor([&runner] { return !runner.busy(); }, 60000));
        QVERIFY(delivered.isEmpty());
        QVERIFY(!QGuiApplication::overrideCursor());

        QVERIFY(runner.start(QStringLiteral("R0-C0"), sweep));
        QVERIFY(QTest::qWaitFor([&runner] { return !runner.busy(); }, 60000));
        QCOMPARE(delivered.size(), 1);
        QCOMPARE(delivered.first().result.circuit, QStringLiteral("R0-C0"));
        QVERIFY(delivered.first().text.startsWith(QStringLiteral("Схема: R0-C0\n")));
        QCOMPARE(delivered.first().residuals.size(), sweep.frequency.size());
    }

    // The residual axis' half span: the next 1, 2 or 5 of the decade, never below 0.1 %.
    void percentSpan_data() {
        QTest::addColumn<double>("largest");
        QTest::addColumn<double>("span");
        QTest::newRow("none") << 0.0 << 0.1;
        QTest::newRow("noise floor") << 0.04 << 0.1;
        QTest::newRow("exactly one") << 1.0 << 1.0;
        QTest::newRow("just above one") << 1.01 << 2.0;
        QTest::newRow("three") << 3.0 << 5.0;
        QTest::newRow("seventy") << 71.0 << 100.0;
        QTest::newRow("not a number") << std::nan("") << 0.1;
    }
    void percentSpan() {
        QFETCH(double, largest);
        QFETCH(double, span);
        QVERIFY2(std::fabs(Residuals::PercentSpan(largest) - span) < 1e-12,
                 qPrintable(QString::number(Residuals::PercentSpan(largest))));
    }
};

QTEST_MAIN(TestFitText)
#include "test_fit_text.moc"
