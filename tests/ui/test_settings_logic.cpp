// The pure rules behind the controls: the automatic parameter pair at its thresholds, the
// frequency list, the decade steps and wraps of the frequency increment, and the bias steps.
#include "ui/main_state.h"
#include "ui/settings_logic.h"

#include <QLocale>
#include <QtTest>

using namespace Main;

namespace {

struct Choice {
    float magnitude, phase;
    int first, second;
};
struct Increment {
    int frequency;
    bool up;
    int low, high, result;
};

} // namespace

Q_DECLARE_METATYPE(Choice)
Q_DECLARE_METATYPE(Increment)

class TestSettingsLogic : public QObject {
    Q_OBJECT

private slots:
    void chooseParameters_data() {
        QTest::addColumn<Choice>("c");
        QTest::newRow("capacitive") << Choice{1000.0f, -1.5f, 0, 8};
        QTest::newRow("inductive") << Choice{1000.0f, 1.5f, 1, 9};
        QTest::newRow("resistive") << Choice{1000.0f, 0.1f, 2, 9};
        // 0.78f lies just inside 0.78, so the single-precision threshold itself is resistive.
        QTest::newRow("phase -0.78f") << Choice{1000.0f, -0.78f, 2, 9};
        QTest::newRow("phase 0.78f") << Choice{1000.0f, 0.78f, 2, 9};
        QTest::newRow("phase -0.7801") << Choice{1000.0f, -0.7801f, 0, 8};
        QTest::newRow("0.783 rad, below pi/4: inductive") << Choice{1000.0f, 0.783f, 1, 9};
        QTest::newRow("tiny |Z| beats phase") << Choice{0.01f, -1.5f, 2, 9};
        QTest::newRow("|Z| 0.02f counts as below") << Choice{0.02f, -1.5f, 2, 9};
        QTest::newRow("|Z| 0.0201") << Choice{0.0201f, -1.5f, 0, 8};
        QTest::newRow("huge |Z| beats phase") << Choice{2e8f, 1.5f, 0, 8};
        // The float nearest 99 999 999 is 1e8, above the limit; 99 999 990 stores as 99 999 992.
        QTest::newRow("|Z| 99999999f") << Choice{99999999.0f, 1.5f, 0, 8};
        QTest::newRow("|Z| 99999990f") << Choice{99999990.0f, 1.5f, 1, 9};
    }
    void chooseParameters() {
        QFETCH(Choice, c);
        Param1Index = Param2Index = -1;
        ChooseParameters(c.magnitude, c.phase);
        QCOMPARE(Param1Index, c.first);
        QCOMPARE(Param2Index, c.second);
    }

    void frequencyListEntry() {
        const int positions[] = {0, 7, 8, 21, 22, 23, 100};
        const int hz[] = {25, 1000, 3000, 10000000, 30000000, 30000000, 30000000};
        for (int i = 0; i < 7; ++i)
            QVERIFY2(FrequencyListEntry(positions[i]) == hz[i], qPrintable(QString::number(i)));
    }

    void frequencyIncrementStep_data() {
        QTest::addColumn<int>("frequency");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("step");
        // Going up, a decade edge takes the step of the decade above; going down, below.
        const struct {
            int f, up, down;
        } edges[] = {{99, 1, 1},
                     {100, 10, 1},
                     {101, 10, 10},
                     {1000, 100, 10},
                     {1001, 100, 100},
                     {10000, 1000, 100},
                     {100000, 10000, 1000},
                     {1000000, 100000, 10000},
                     {1000001, 100000, 100000},
                     {10000000, 1000000, 100000},
                     {30000000, 1000000, 100000},
                     {30000001, 1000000, 1000000}};
        for (const auto &e : edges) {
            QTest::addRow("%d up", e.f) << e.f << true << e.up;
            QTest::addRow("%d down", e.f) << e.f << false << e.down;
        }
    }
    void frequencyIncrementStep() {
        QFETCH(int, frequency);
        QFETCH(bool, up);
        QFETCH(int, step);
        QCOMPARE(FrequencyIncrementStep(frequency, up), step);
    }

    void incrementFrequency_data() {
        QTest::addColumn<Increment>("c");
        QTest::newRow("1000 up") << Increment{1000, true, 25, 1000000, 1100};
        QTest::newRow("26 down reaches 25") << Increment{26, false, 25, 1000000, 25};
        QTest::newRow("25 down wraps to high") << Increment{25, false, 25, 1000000, 1000000};
        QTest::newRow("high up wraps to low") << Increment{1000000, true, 25, 1000000, 25};
        QTest::newRow("up onto high stays") << Increment{990000, true, 25, 1000000, 1000000};
        // Only 25 Hz wraps downwards; the window's bottom is ApplyFrequency's business.
        QTest::newRow("below low, no wrap") << Increment{50000, false, 50000, 100000, 49000};
        QTest::newRow("10 MHz up") << Increment{10000000, true, 25, 30000000, 11000000};
    }
    void incrementFrequency() {
        QFETCH(Increment, c);
        QCOMPARE(IncrementFrequency(c.frequency, c.up, c.low, c.high), c.result);
    }

    void fineBiasStep() {
        const struct {
            int bias;
            bool up;
            int result;
        } rows[] = {{0, true, 100},       {900, true, 1000},     {1000, true, 2000},
                    {1000, false, 900},   {2000, false, 1000},   {100, false, 0},
                    {0, false, 0},        {9000, true, 10000},   {10000, true, 11000},
                    {10000, false, 9000}, {16000, false, 15000}, {39000, true, 40000},
                    {40000, true, 40000}, {40000, false, 39000}};
        for (const auto &row : rows)
            QVERIFY2(FineBiasStep(row.bias, row.up) == row.result,
                     qPrintable(QStringLiteral("%1 %2").arg(row.bias).arg(row.up ? "up" : "down")));
    }

    void coarseBiasPosition() {
        const int mv[] = {0, 1000, 1599, 1600, 2000, 2500, 6300, 39999, 40000, 45000};
        const int position[] = {0, 0, 0, 1, 1, 2, 5, 9, 10, 10};
        for (int i = 0; i < 10; ++i)
            QVERIFY2(CoarseBiasPosition(mv[i]) == position[i], qPrintable(QString::number(mv[i])));
    }

    void biasText() {
        // Written with a point; the program uses the system's separator.
        const QString point = QLocale::system().decimalPoint();
        QCOMPARE(BiasText(1600), QStringLiteral("1.6").replace(".", point));
        QCOMPARE(BiasText(40000), QStringLiteral("40"));
        QCOMPARE(BiasText(0), QStringLiteral("0"));
        QCOMPARE(BiasText(900), QStringLiteral("0.9").replace(".", point));
        QCOMPARE(BiasText(6300), QStringLiteral("6.3").replace(".", point));
    }
};

QTEST_GUILESS_MAIN(TestSettingsLogic)
#include "test_settings_logic.moc"
