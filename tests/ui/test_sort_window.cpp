// Sorting from the window: a batch of three simulated parts sorted by the comparator switched on
// in the panel PaSort, each verdict shown in turn and counted once; a refused plan is said on
// the panel and leaves the comparator off; the plan applied is kept for the next run.
#include "core/session.h"
#include "sim/batch.h"
#include "sorting/plan_file.h"
#include "sorting/sort_plan.h"
#include "sweep/sweep_store.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/file_dialog.h"
#include "ui/sort_panel.h"
#include "ui/sort_text.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace TestWindow;

namespace {

constexpr int Generous = 30000; // ms; a deadline for what must happen, never a measured time

Main::SortPanel *Panel(Main::Tb_tok &w) {
    return Find<Main::SortPanel>(w, "PaSort");
}

void SetCell(QTableWidget *table, int row, int column, const QString &text) {
    table->setItem(row, column, new QTableWidgetItem(text));
}

// C against 100 nF: bin 1 ±1 %, bin 2 ±5 %.
void TypePlan(Main::SortPanel &panel) {
    Find<QComboBox>(panel, "CbSortPrimary")->setCurrentIndex(0);
    Find<QComboBox>(panel, "CbSortMode")->setCurrentIndex(0);
    Find<QLineEdit>(panel, "EdSortNominal")->setText(QStringLiteral("100n"));
    auto *bins = Find<QTableWidget>(panel, "TwSortBins");
    bins->clearContents();
    SetCell(bins, 0, 0, QStringLiteral("-1"));
    SetCell(bins, 0, 1, QStringLiteral("1"));
    SetCell(bins, 1, 0, QStringLiteral("-5"));
    SetCell(bins, 1, 1, QStringLiteral("5"));
}

} // namespace

class TestSortWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QFile::remove(Main::SortPlanPath()); }
    void cleanup() { QFile::remove(Main::SortPlanPath()); }

    void batchSortedInTurn() {
        Fixture fixture;
        Meter &meter = fixture.AddMeter(1, 0);
        Main::Tb_tok &w = fixture.Start();
        Core::Session &core = w.Session();
        Main::SortPanel &panel = *Panel(w);
        QCOMPARE(TextOf(panel, "LaVerdict"), QStringLiteral("—"));
        QVERIFY(!core.Sorting());

        const std::optional<Sim::BatchPlan> batch = Sim::parseBatchPlan(
            QStringLiteral("C=100n,R=0.5;values=100n,103n,120n;sit=10r;gap=5r"));
        QVERIFY(batch);
        meter.instrument->setBatch(std::make_shared<Sim::Batch>(*batch));

        TypePlan(panel);
        Find<QCheckBox>(panel, "ChBoSortOn")->click();
        QVERIFY(core.Sorting());
        QVERIFY(TextOf(panel, "LaSortProblem").isEmpty());

        // The verdicts by hand from the values the meter holds.
        Sort::Plan plan;
        plan.nominal = 100e-9;
        plan.bins = {{-1.0, 1.0}, {-5.0, 5.0}};
        QStringList expected;
        for (double farads : meter.instrument->batchValues())
            expected << Main::VerdictText(Sort::Judge(plan, farads, 0.0, true), plan);
        QCOMPARE(expected, (QStringList{"BIN 1", "BIN 2", "ВНЕ"}));

        QStringList shown;
        QList<QColor> colours;
        connect(&core, &Core::Session::partSorted, &panel, [&] {
            QLabel *verdict = Find<QLabel>(panel, "LaVerdict");
            shown << verdict->text();
            colours << verdict->palette().color(QPalette::Window);
        });
        // The batch takes 3 × 15 requests; twice that many ticks leave the contacts open long
        // after the last part, time enough for a part to be counted again were it to be.
        const QDeadlineTimer deadline(Generous);
        int ticksAfterLast = 0;
        while (ticksAfterLast < 45 && !deadline.hasExpired()) {
            core.Tick();
            if (shown.size() >= 3) ++ticksAfterLast;
        }
        QCOMPARE(shown, expected);
        QCOMPARE(colours, (QList<QColor>{Main::VerdictColour(Sort::Judge(plan, 100e-9, 0, true)),
                                         Main::VerdictColour(Sort::Judge(plan, 103e-9, 0, true)),
                                         Main::VerdictColour(Sort::Judge(plan, 120e-9, 0, true))}));
        QVERIFY(colours[0] != colours[2]);

        const Sort::Counts &counts = core.SortCounts();
        QCOMPARE(counts.bins[0], 1);
        QCOMPARE(counts.bins[1], 1);
        QCOMPARE(counts.out, 1);
        QCOMPARE(counts.total(), 3);
        const QString rows = TextOf(panel, "LaSortCounts");
        for (const auto &row : Main::CountRows(counts, core.SortPlan()))
            QVERIFY2(rows.contains(row.first) && rows.contains(row.second), qPrintable(rows));
        QVERIFY(rows.contains(QStringLiteral("66,7 %")));

        // The log as CSV: a header and a row per part, in turn.
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString logPath = folder.filePath(QStringLiteral("parts.csv"));
        Framework::SetSaveFileHandler([&](const Framework::SaveFileRequest &) {
            return Framework::SaveFileChoice{logPath, 0};
        });
        Find<QPushButton>(panel, "BuSortLog")->click();
        Framework::SetSaveFileHandler({});
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[1].contains("bin 1") && lines[2].contains("bin 2") &&
                lines[3].contains("out"));
        QVERIFY(fixture.messages.isEmpty());

        // The reset empties the counts and the verdict.
        Find<QPushButton>(panel, "BuSortClear")->click();
        QCOMPARE(core.SortCounts().total(), 0);
        QCOMPARE(TextOf(panel, "LaVerdict"), QStringLiteral("—"));

        // The contacts are open since the last part went: sorting on demand has nothing to sort.
        Find<QPushButton>(panel, "BuSortNow")->click();
        QCOMPARE(core.SortCounts().total(), 0);

        // The plan applied is the one kept for the next run.
        const Sort::PlanFile kept = Sort::ReadPlanFile(Main::SortPlanPath());
        QVERIFY2(kept.ok(), qPrintable(kept.reason));
        QCOMPARE(kept.plan.bins.size(), std::size_t(2));
        QCOMPARE(*kept.plan.bins[1].high, 5.0);
        QVERIFY(std::fabs(kept.plan.nominal - 100e-9) < 1e-21);
        // The file carries the value typed, "100n", as the textbook 1e-07.
        QVERIFY(Sort::WritePlanText(kept.plan, {}).contains("nominal = 1e-07\n"));
    }

    // With the comparator on, the graph of a frequency sweep of C shows bin 1's limits around
    // its points and marks the points outside; another nominal puts all of them outside, the
    // comparator off takes the limits away.
    void limitsOnTheSweepGraph() {
        Fixture fixture;
        fixture.AddMeter(1, 0);
        Main::Tb_tok &w = fixture.Start();
        QVERIFY(TickWithFrame(w)); // the first frame: C and D chosen
        Main::SortPanel &panel = *Panel(w);
        TypePlan(panel);
        Find<QCheckBox>(panel, "ChBoSortOn")->click();
        QVERIFY(w.Session().Sorting());

        auto *chart = Find<Chart::SweepChart>(w, "grafik");
        if (!Find<QCheckBox>(w, "ChBoF")->isChecked()) Find<QCheckBox>(w, "ChBoF")->click();
        Find<QLineEdit>(w, "istart")->setText(QStringLiteral("1000"));
        Find<QLineEdit>(w, "istop")->setText(QStringLiteral("10000"));
        Find<QLineEdit>(w, "ikol")->setText(QStringLiteral("5"));
        Find<QPushButton>(w, "bgraf")->click();
        QVERIFY(Main::SweepRunning);
        const QDeadlineTimer deadline(Generous);
        while (Main::SweepRunning && !deadline.hasExpired())
            QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);

        const QList<QPointF> points = chart->points(0);
        QCOMPARE(points.size(), 5);
        const QList<double> limits = chart->limits(0);
        QCOMPARE(limits.size(), 2);
        for (const QPointF &p : points)
            QVERIFY2(limits[0] < p.y() && p.y() < limits[1],
                     qPrintable(
                         QStringLiteral("%1 < %2 < %3").arg(limits[0]).arg(p.y()).arg(limits[1])));
        // ±1 % of the plotted value itself: the limits are in the plotted unit.
        QVERIFY(std::fabs(limits[1] / points[0].y() - 1.01) < 0.005);
        QVERIFY(chart->outsidePoints(0).isEmpty());
        QVERIFY(chart->limits(1).isEmpty()); // D is not the primary

        Find<QLineEdit>(panel, "EdSortNominal")->setText(QStringLiteral("90n"));
        Find<QPushButton>(panel, "BuSortApply")->click();
        QCOMPARE(chart->outsidePoints(0), points);

        Find<QCheckBox>(panel, "ChBoSortOn")->click();
        QVERIFY(!w.Session().Sorting());
        QVERIFY(chart->limits(0).isEmpty());
        QVERIFY(chart->outsidePoints(0).isEmpty());
    }

    // A plan that cannot be used is said, not applied, and the comparator stays off; a kept plan
    // is in the fields of the next window.
    void refusedAndKept() {
        {
            Fixture fixture;
            fixture.AddMeter(1, 0);
            Main::Tb_tok &w = fixture.Start();
            Main::SortPanel &panel = *Panel(w);
            TypePlan(panel);
            Find<QLineEdit>(panel, "EdSortNominal")->setText(QStringLiteral("сто"));
            const Sort::Plan before = w.Session().SortPlan();
            Find<QCheckBox>(panel, "ChBoSortOn")->click();
            QVERIFY(!w.Session().Sorting());
            QVERIFY(!Find<QCheckBox>(panel, "ChBoSortOn")->isChecked());
            QCOMPARE(TextOf(panel, "LaSortProblem"), QStringLiteral("Номинал: не число"));
            QCOMPARE(Sort::WritePlanText(w.Session().SortPlan(), {}),
                     Sort::WritePlanText(before, {}));
            QVERIFY(!QFile::exists(Main::SortPlanPath()));

            Find<QLineEdit>(panel, "EdSortNominal")->setText(QStringLiteral("4.7u"));
            Find<QPushButton>(panel, "BuSortApply")->click();
            QVERIFY(TextOf(panel, "LaSortProblem").isEmpty());
            QVERIFY(!w.Session().Sorting());
            QVERIFY(QFile::exists(Main::SortPlanPath()));
        }
        Fixture fixture;
        fixture.AddMeter(1, 0);
        Main::Tb_tok &w = fixture.Start();
        QCOMPARE(w.Session().SortPlan().nominal, 4.7e-6);
        QCOMPARE(TextOf(*Panel(w), "EdSortNominal"), QStringLiteral("4.7u"));
        QVERIFY(!w.Session().Sorting());
    }
};

QTEST_MAIN(TestSortWindow)
#include "test_sort_window.moc"
