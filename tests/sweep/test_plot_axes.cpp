// The sweep graph's value axes without a widget: round ticks and their labels (no rounding
// noise, zero as "0", one number of decimals per axis), log ticks, which parameters take a log
// axis, their units with prefixes and the points a log axis leaves out.
#include "sweep/axis_ticks.h"
#include "sweep/plot_scale.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

using namespace Sweep;

namespace {

QStringList Labels(const std::vector<AxisTick> &ticks) {
    QStringList labels;
    for (const AxisTick &tick : ticks)
        labels << tick.label;
    return labels;
}

// Parameters of the display lines, by their place.
enum { C, L, R, G, B, X, Z, Y, D, Q, Fiz, Fiy, F, Ub };

} // namespace

class PlotAxesTest : public QObject {
    Q_OBJECT

private slots:
    void linearTicks();
    void linearTickValues();
    void narrowSpans();
    void tickText();
    void logTicks();
    void logValueParameters();
    void axisUnits();
    void ohmsScale();
    void leftOutOnLog();
};

void PlotAxesTest::linearTicks() {
    const struct {
        double low, high;
        int intervals;
        QStringList labels;
    } cases[] = {
        // A span across zero: zero is "0", never "-1.387779e-17", and the tenths keep one digit.
        {-0.35, 0.45, 8, {"-0.3", "-0.2", "-0.1", "0", "0.1", "0.2", "0.3", "0.4"}},
        {-1.1, 1.1, 10, {"-1.0", "-0.5", "0", "0.5", "1.0"}},
        {-1.1,
         1.1,
         20,
         {"-1.0", "-0.8", "-0.6", "-0.4", "-0.2", "0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
        // Whole numbers without a point, thousands grouped.
        {0.0, 100.0, 10, {"0", "10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}},
        {47.5, 102.5, 10, {"50", "60", "70", "80", "90", "100"}},
        {47.5, 102.5, 20, {"50", "55", "60", "65", "70", "75", "80", "85", "90", "95", "100"}},
        {-3000.0,
         12000.0,
         8,
         {"-2,000", "0", "2,000", "4,000", "6,000", "8,000", "10,000", "12,000"}},
        // A small span keeps every digit its step needs.
        {0.0995, 0.1006, 5, {"0.0995", "0.1000", "0.1005"}},
        {0.0995, 0.1006, 10, {"0.0996", "0.0998", "0.1000", "0.1002", "0.1004", "0.1006"}},
        // The 5 step with two decimals.
        {0.0, 0.2, 4, {"0", "0.05", "0.10", "0.15", "0.20"}},
    };
    for (const auto &c : cases) {
        QStringList expected;
        for (const QString &label : c.labels)
            expected << label;
        QCOMPARE(Labels(LinearTicks(c.low, c.high, c.intervals)).join(' '), expected.join(' '));
    }
}

// The values are whole multiples of the step (so a zero tick is exactly zero) within the span.
void PlotAxesTest::linearTickValues() {
    const std::vector<AxisTick> ticks = LinearTicks(-0.7, 0.3, 10);
    QVERIFY(!ticks.empty());
    bool zero = false;
    for (const AxisTick &tick : ticks) {
        QVERIFY(tick.value >= -0.7 && tick.value <= 0.3);
        if (tick.label == QLatin1String("0")) {
            QVERIFY(tick.value == 0.0);
            QVERIFY(!std::signbit(tick.value));
            zero = true;
        }
    }
    QVERIFY(zero);
    // No span, or a span that is not a number: no tick.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QVERIFY(LinearTicks(5.0, 5.0, 8).empty());
    QVERIFY(LinearTicks(6.0, 5.0, 8).empty());
    QVERIFY(LinearTicks(nan, 5.0, 8).empty());
    QVERIFY(LinearTicks(0.0, std::numeric_limits<double>::infinity(), 8).empty());
    // The same step on two axes at one scale.
    QCOMPARE(Labels(TicksAtStep(-2.0, 3.1, 1.0)), QStringList({"-2", "-1", "0", "1", "2", "3"}));
    QVERIFY(TicksAtStep(0.0, 1.0, 0.0).empty());
    QCOMPARE(RoundStep(10.0, 8), 2.0);
    QCOMPARE(RoundStep(1.0, 4), 0.5);
}

// A span far below its values' precision (a flat line at 10^6): evenly spaced ticks whose
// labels still tell each other apart, both ends included.
void PlotAxesTest::narrowSpans() {
    const std::vector<AxisTick> ticks = LinearTicks(1e6, 1e6 + 1e-5, 4);
    QCOMPARE(int(ticks.size()), 5);
    QCOMPARE(ticks.front().value, 1e6);
    QCOMPARE(ticks.back().value, 1e6 + 1e-5);
    const QStringList labels = Labels(ticks);
    QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), 5);
}

void PlotAxesTest::tickText() {
    const struct {
        double value;
        int decimals;
        const char *text;
    } cases[] = {
        {0.0, 2, "0"},         {-0.0, 0, "0"},       {-1e-17, 1, "0"},
        {1.5, 2, "1.50"},      {-2.0, 1, "-2.0"},    {1234567.0, 0, "1,234,567"},
        {0.001, 3, "0.001"},   {2e-12, 12, "2e-12"}, {3e13, 0, "3e13"},
        {std::nan(""), 2, ""},
    };
    for (const auto &c : cases)
        QCOMPARE(TickText(c.value, c.decimals), QString::fromUtf8(c.text));
}

void PlotAxesTest::logTicks() {
    const struct {
        double low, high;
        int most;
        QStringList labels;
    } cases[] = {
        {0.8, 60.0, 20, {"1", "2", "5", "10", "20", "50"}},
        // A capacitor's dip: milliohms to kilohms, the decades alone when room is short.
        {0.003, 2000.0, 8, {"0.01", "0.1", "1", "10", "100", "1,000"}},
        {0.003,
         2000.0,
         30,
         {"0.005", "0.01", "0.02", "0.05", "0.1", "0.2", "0.5", "1", "2", "5", "10", "20", "50",
          "100", "200", "500", "1,000", "2,000"}},
        // Less than three 1-2-5 values: every whole step.
        {3.0, 9.5, 20, {"3", "4", "5", "6", "7", "8", "9"}},
        {0.0, 10.0, 20, {}},
        {-5.0, 10.0, 20, {}},
    };
    for (const auto &c : cases)
        QCOMPARE(Labels(LogTicks(c.low, c.high, c.most)).join(' '), c.labels.join(' '));
    for (const AxisTick &tick : LogTicks(1e-4, 1e4, 100))
        QVERIFY(tick.value >= 1e-4 * (1 - 1e-9) && tick.value <= 1e4 * (1 + 1e-9));
}

void PlotAxesTest::logValueParameters() {
    const struct {
        int parameter;
        bool log;
    } cases[] = {{C, true},  {L, true},   {R, true},   {G, true},  {B, true},    {X, true},
                 {Z, true},  {Y, true},   {D, true},   {Q, true},  {Fiz, false}, {Fiy, false},
                 {F, false}, {Ub, false}, {-1, false}, {14, false}};
    for (const auto &c : cases)
        QCOMPARE(LogValueApplies(c.parameter), c.log);
}

// The unit of an axis follows the factor the statistics divided the values by: C is held in
// picofarads, L in microhenries, R, X and Z in milliohms (their first prefixes).
void PlotAxesTest::axisUnits() {
    const struct {
        int parameter;
        double factor;
        const char *unit;
    } cases[] = {
        {C, 1.0, "пФ"},       {C, 1000.0, "нФ"},   {C, 1e6, "мкФ"},   {L, 1.0, "нГн"},
        {L, 1e6, "мГн"},      {R, 1.0, "мОм"},     {R, 1000.0, "Ом"}, {Z, 1e6, "кОм"},
        {X, 1e9, "МОм"},      {G, 1000.0, "мкСм"}, {Y, 1e6, "мСм"},   {D, 1.0, ""},
        {Q, 1000.0, "×1000"}, {Fiz, 1.0, "°"},     {F, 1.0, "Гц"},    {F, 1000.0, "кГц"},
        {Ub, 1.0, "мВ"},      {Ub, 1000.0, "В"},   {-1, 1.0, ""},
    };
    for (const auto &c : cases)
        QCOMPARE(AxisUnit(c.parameter, c.factor), QString::fromUtf8(c.unit));
}

void PlotAxesTest::ohmsScale() {
    const struct {
        double largest;
        double factor;
        const char *unit;
    } cases[] = {
        {0.5, 1e-3, "мОм"},  {3.0, 1.0, "Ом"},   {1000.0, 1.0, "Ом"}, {-2500.0, 1e3, "кОм"},
        {4.7e6, 1e6, "МОм"}, {5e12, 1e9, "ГОм"}, {0.0, 1.0, "Ом"},    {std::nan(""), 1.0, "Ом"},
    };
    for (const auto &c : cases) {
        const UnitScale scale = OhmsScale(c.largest);
        QCOMPARE(scale.factor, c.factor);
        QCOMPARE(scale.unit, QString::fromUtf8(c.unit));
    }
}

void PlotAxesTest::leftOutOnLog() {
    const double nan = std::nan("");
    const struct {
        QList<QPointF> points;
        int leftOut;
    } cases[] = {
        {{}, 0},
        {{{1, 3.0}, {2, 0.5}}, 0},
        {{{1, 3.0}, {2, 0.0}, {3, -2.0}}, 2},
        // A gap (no measurement) is no point left out.
        {{{1, nan}, {2, -1.0}, {3, 1e-30}}, 1},
    };
    for (const auto &c : cases)
        QCOMPARE(LeftOutOnLog(c.points), c.leftOut);
    QVERIFY(LeftOutText(0).isEmpty());
    QCOMPARE(LeftOutText(3), QStringLiteral("Лог. Y: не показано точек ≤ 0: 3"));
}

QTEST_APPLESS_MAIN(PlotAxesTest)
#include "test_plot_axes.moc"
