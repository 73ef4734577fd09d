// The sorting panel without widgets: the plan read from its fields (taken and refused, by
// table), the plan shown in the fields read back the same, the verdict's word and colour, and
// the counts' rows.
#include "sorting/plan_file.h"
#include "sorting/sort_plan.h"
#include "ui/sort_graph.h"
#include "ui/sort_text.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace Main;

namespace {

constexpr int C = 0;
constexpr int D = 8;

using Rows = QList<QPair<QString, QString>>;

PlanFields Fields(int mode, const QString &nominal, const Rows &bins) {
    PlanFields fields;
    fields.primary = C;
    fields.mode = mode;
    fields.nominal = nominal;
    fields.bins = bins;
    fields.secondary = D;
    return fields;
}

PlanFields WithSecondary(PlanFields fields, const QString &low, const QString &high) {
    fields.secondaryLow = low;
    fields.secondaryHigh = high;
    return fields;
}

Sort::Verdict Outcome(Sort::Outcome outcome, int bin = 0) {
    Sort::Verdict verdict;
    verdict.outcome = outcome;
    verdict.bin = bin;
    return verdict;
}

Sort::Plan BinnedPlan(int bins) {
    Sort::Plan plan;
    plan.nominal = 1e-7;
    for (int b = 0; b < bins; ++b)
        plan.bins.push_back({-(b + 1.0), b + 1.0});
    return plan;
}

// Equal within the last few digits: a value typed with an SI prefix is scaled, not parsed whole.
bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
}

bool Near(const std::optional<double> &a, const std::optional<double> &b) {
    return a.has_value() == b.has_value() && (!a || Near(*a, *b));
}

bool Near(const Sort::Limits &a, const Sort::Limits &b) {
    return Near(a.low, b.low) && Near(a.high, b.high);
}

bool SamePlan(const Sort::Plan &a, const Sort::Plan &b) {
    if (a.primary != b.primary || a.mode != b.mode || !Near(a.nominal, b.nominal) ||
        a.bins.size() != b.bins.size() || a.boundaries.size() != b.boundaries.size() ||
        a.secondary != b.secondary || !Near(a.secondaryLimits, b.secondaryLimits) ||
        a.auxBin != b.auxBin)
        return false;
    for (std::size_t k = 0; k < a.bins.size(); ++k)
        if (!Near(a.bins[k], b.bins[k])) return false;
    for (std::size_t k = 0; k < a.boundaries.size(); ++k)
        if (!Near(a.boundaries[k], b.boundaries[k])) return false;
    return true;
}

QByteArray Both(const Sort::Plan &actual, const Sort::Plan &expected) {
    return Sort::WritePlanText(actual, {}) + "\n--- expected ---\n" +
           Sort::WritePlanText(expected, {});
}

} // namespace

Q_DECLARE_METATYPE(Main::PlanFields)
Q_DECLARE_METATYPE(Sort::Plan)
Q_DECLARE_METATYPE(Sort::Verdict)

class TestSortText : public QObject {
    Q_OBJECT

private slots:
    void takenPlans_data() {
        QTest::addColumn<PlanFields>("fields");
        QTest::addColumn<Sort::Plan>("expected");
        const Rows twoBins{{"-1", "1"}, {"-5", "5"}, {"", ""}, {"", ""}};
        Sort::Plan percent;
        percent.nominal = 1e-7;
        percent.bins = {{-1.0, 1.0}, {-5.0, 5.0}};
        QTest::newRow("percent, trailing rows empty") << Fields(0, "100n", twoBins) << percent;

        Sort::Plan absolute;
        absolute.mode = Sort::Mode::AbsoluteTolerance;
        absolute.nominal = 4700;
        absolute.bins = {{std::nullopt, 47.0}};
        absolute.primary = C;
        QTest::newRow("absolute, one side open, SI prefix")
            << Fields(1, " 4.7k ", {{"", "47"}}) << absolute;

        Sort::Plan sequential;
        sequential.mode = Sort::Mode::Sequential;
        sequential.boundaries = {9e-8, 9.5e-8, 1.05e-7};
        QTest::newRow("sequential, nominal ignored, low of row 2 left out")
            << Fields(2, "junk", {{"90n", "95n"}, {"", "105n"}}) << sequential;
        QTest::newRow("sequential, low of row 2 repeated")
            << Fields(2, "", {{"90n", "95n"}, {"95n", "105n"}}) << sequential;

        Sort::Plan secondaryOnly;
        secondaryOnly.nominal = 1e-7;
        secondaryOnly.secondaryLimits = {std::nullopt, 0.01};
        secondaryOnly.auxBin = true;
        PlanFields aux = WithSecondary(Fields(0, "100n", {}), "", "10m");
        aux.aux = true;
        QTest::newRow("secondary alone, AUX") << aux << secondaryOnly;
    }
    void takenPlans() {
        QFETCH(PlanFields, fields);
        QFETCH(Sort::Plan, expected);
        const PlanReading reading = ReadPlanFields(fields);
        QVERIFY2(reading.plan.has_value(), qPrintable(reading.problem));
        QVERIFY(reading.problem.isEmpty());
        QVERIFY2(SamePlan(*reading.plan, expected), Both(*reading.plan, expected).constData());
    }

    void refusedPlans_data() {
        QTest::addColumn<PlanFields>("fields");
        QTest::addColumn<QString>("problem");
        QTest::newRow("nominal no number")
            << Fields(0, "abc", {{"-1", "1"}}) << QStringLiteral("Номинал: не число");
        QTest::newRow("nominal empty")
            << Fields(1, "", {{"-1", "1"}}) << QStringLiteral("Номинал: не число");
        QTest::newRow("percent of nominal 0")
            << Fields(0, "0", {{"-1", "1"}})
            << QStringLiteral("Допуск в %: номинал не может быть 0");
        QTest::newRow("bin low no number") << Fields(0, "100n", {{"-1", "1"}, {"x", "5"}})
                                           << QStringLiteral("Бин 2, нижн.: не число");
        QTest::newRow("bin high no number")
            << Fields(0, "100n", {{"-1", "1q"}}) << QStringLiteral("Бин 1, верхн.: не число");
        QTest::newRow("empty bin before a bin")
            << Fields(0, "100n", {{"", ""}, {"-5", "5"}}) << QStringLiteral("Бин 1 не задан");
        QTest::newRow("low above high") << Fields(0, "100n", {{"-1", "1"}, {"5", "-5"}})
                                        << QStringLiteral("Бин 2: нижний предел выше верхнего");
        QTest::newRow("sequential falling")
            << Fields(2, "", {{"95n", "90n"}}) << QStringLiteral("Границы бинов должны возрастать");
        QTest::newRow("sequential gap")
            << Fields(2, "", {{"90n", "95n"}, {"96n", "105n"}})
            << QStringLiteral("Бин 2: нижняя граница не равна верхней бина 1");
        QTest::newRow("sequential open top")
            << Fields(2, "", {{"90n", ""}}) << QStringLiteral("Бин 1: нет верхней границы");
        QTest::newRow("sequential open bottom")
            << Fields(2, "", {{"", "95n"}}) << QStringLiteral("Бин 1: нет нижней границы");
        QTest::newRow("secondary no number")
            << WithSecondary(Fields(0, "100n", {{"-1", "1"}}), "", "0,01")
            << QStringLiteral("Второй параметр, верхн.: не число");
        QTest::newRow("secondary low above high")
            << WithSecondary(Fields(0, "100n", {{"-1", "1"}}), "1", "0.5")
            << QStringLiteral("Второй параметр: нижний предел выше верхнего");
        QTest::newRow("nothing to judge")
            << Fields(0, "100n", {{"", ""}})
            << QStringLiteral("Нет ни бинов, ни пределов второго параметра");
        Rows ten;
        for (int b = 0; b < 10; ++b)
            ten.append(qMakePair(QStringLiteral("-1"), QStringLiteral("1")));
        QTest::newRow("ten bins") << Fields(0, "100n", ten) << QStringLiteral("Не больше 9 бинов");
    }
    void refusedPlans() {
        QFETCH(PlanFields, fields);
        QFETCH(QString, problem);
        const PlanReading reading = ReadPlanFields(fields);
        QVERIFY(!reading.plan.has_value());
        QCOMPARE(reading.problem, problem);
    }

    // What the panel shows of a plan is read back as the same plan.
    void fieldsRoundTrip_data() {
        QTest::addColumn<Sort::Plan>("plan");
        Sort::Plan percent = BinnedPlan(3);
        percent.primary = 2;
        percent.secondaryLimits = {1e-3, 0.0125};
        percent.secondary = 9;
        QTest::newRow("percent") << percent;
        Sort::Plan absolute;
        absolute.mode = Sort::Mode::AbsoluteTolerance;
        absolute.nominal = 3.3e-3;
        absolute.bins = {{-33e-6, 33e-6}, {std::nullopt, 1.5e-4}};
        QTest::newRow("absolute") << absolute;
        Sort::Plan sequential;
        sequential.mode = Sort::Mode::Sequential;
        sequential.boundaries = {-2.5, 0.0, 47e3, 1e9};
        sequential.auxBin = true;
        QTest::newRow("sequential") << sequential;
    }
    void fieldsRoundTrip() {
        QFETCH(Sort::Plan, plan);
        const PlanReading reading = ReadPlanFields(PlanToFields(plan));
        QVERIFY2(reading.plan.has_value(), qPrintable(reading.problem));
        QVERIFY2(SamePlan(*reading.plan, plan), Both(*reading.plan, plan).constData());
    }

    void verdicts_data() {
        QTest::addColumn<Sort::Verdict>("verdict");
        QTest::addColumn<int>("bins");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        const QColor green(96, 200, 96), red(230, 80, 70), grey(224, 224, 224);
        QTest::newRow("bin 3") << Outcome(Sort::Outcome::Bin, 3) << 3 << "BIN 3" << green;
        QTest::newRow("pass") << Outcome(Sort::Outcome::Pass) << 0 << "ГОДЕН" << green;
        QTest::newRow("out") << Outcome(Sort::Outcome::Out) << 2 << "ВНЕ" << red;
        QTest::newRow("secondary") << Outcome(Sort::Outcome::SecondaryFail) << 2 << "ВТОР." << red;
        QTest::newRow("secondary alone")
            << Outcome(Sort::Outcome::SecondaryFail) << 0 << "БРАК" << red;
        QTest::newRow("none") << Sort::Verdict{} << 2 << "—" << grey;
    }
    void verdicts() {
        QFETCH(Sort::Verdict, verdict);
        QFETCH(int, bins);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        QCOMPARE(VerdictText(verdict, BinnedPlan(bins)), text);
        QCOMPARE(VerdictColour(verdict), colour);
    }

    // Bin 1 where the graph plots the quantity: the meter's unit (C in pF, R in mOhm) divided
    // by the series' factor; nothing for a quantity the plan does not sort by.
    void graphLimits_data() {
        QTest::addColumn<Sort::Plan>("plan");
        QTest::addColumn<int>("parameter");
        QTest::addColumn<bool>("series");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QList<double>>("limits"); // empty: none; NaN: no such side
        const double none = std::nan("");
        Sort::Plan percent = BinnedPlan(2); // C, 100n, bin 1 ±1 %
        QTest::newRow("C in nF") << percent << 0 << true << 1000.0 << QList<double>{99.0, 101.0};
        QTest::newRow("another quantity") << percent << 8 << true << 1.0 << QList<double>{};
        Sort::Plan inCircuit = percent;
        inCircuit.seriesCircuit = false;
        QTest::newRow("another circuit") << inCircuit << 0 << true << 1000.0 << QList<double>{};
        QTest::newRow("its circuit")
            << inCircuit << 0 << false << 1.0 << QList<double>{99000.0, 101000.0};
        Sort::Plan absolute;
        absolute.primary = 2;
        absolute.mode = Sort::Mode::AbsoluteTolerance;
        absolute.nominal = 100.0;
        absolute.bins = {{std::nullopt, 0.5}};
        QTest::newRow("R one side, mOhm")
            << absolute << 2 << true << 1000.0 << QList<double>{none, 100.5};
        Sort::Plan sequential;
        sequential.primary = 9;
        sequential.mode = Sort::Mode::Sequential;
        sequential.boundaries = {10.0, 20.0, 40.0};
        QTest::newRow("Q boundaries")
            << sequential << 9 << true << 1.0 << QList<double>{10.0, 20.0};
        Sort::Plan conductance = percent;
        conductance.primary = 3;
        QTest::newRow("G, the meter's own") << conductance << 3 << true << 1.0 << QList<double>{};
        QTest::newRow("no bins") << Sort::Plan{} << 0 << true << 1.0 << QList<double>{};
    }
    void graphLimits() {
        QFETCH(Sort::Plan, plan);
        QFETCH(int, parameter);
        QFETCH(bool, series);
        QFETCH(double, factor);
        QFETCH(QList<double>, limits);
        const std::optional<std::pair<double, double>> got =
            GraphLimits(plan, parameter, series, factor);
        QCOMPARE(got.has_value(), !limits.isEmpty());
        if (!got) return;
        const double sides[2] = {got->first, got->second};
        for (int k = 0; k < 2; ++k) {
            if (std::isnan(limits[k]))
                QVERIFY(std::isnan(sides[k]));
            else
                QVERIFY2(Near(sides[k], limits[k]) || std::fabs(sides[k] - limits[k]) < 1e-9,
                         qPrintable(QString::number(sides[k], 'g', 17)));
        }
    }

    void countRows() {
        Sort::Counts counts;
        counts.add(Outcome(Sort::Outcome::Bin, 1));
        counts.add(Outcome(Sort::Outcome::Bin, 2));
        counts.add(Outcome(Sort::Outcome::Out));
        const Rows binned{{"BIN 1", "1"}, {"BIN 2", "1"}, {"ВНЕ", "1"},
                          {"ВТОР.", "0"}, {"Всего", "3"}, {"Выход", "66,7 %"}};
        QCOMPARE(CountRows(counts, BinnedPlan(2)), binned);

        Sort::Counts alone;
        alone.add(Outcome(Sort::Outcome::Pass));
        alone.add(Outcome(Sort::Outcome::SecondaryFail));
        const Rows secondary{
            {"ГОДЕН", "1"}, {"ВНЕ", "0"}, {"ВТОР.", "1"}, {"Всего", "2"}, {"Выход", "50,0 %"}};
        QCOMPARE(CountRows(alone, Sort::Plan{}), secondary);
        QCOMPARE(CountRows({}, BinnedPlan(1)).last(),
                 qMakePair(QStringLiteral("Выход"), QStringLiteral("—")));
    }
};

QTEST_GUILESS_MAIN(TestSortText)
#include "test_sort_text.moc"
