// The library of kept sweeps in the window: a run kept in a temporary library and listed, reopened
// as the current sweep and overlaid on the graph (the overlay of the shown sweep lies on its own
// series), its Nyquist and Bode views, eight overlays at most, reopening refused while a run goes,
// a delete asked first, an import and a bad file's line; a refused library keeps nothing.
#include "core/sweep_keeper.h"
#include "exchange/sweep_data.h"
#include "library/sweep_library.h"
#include "sweep/sweep_store.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/bode_chart.h"
#include "ui/chart/nyquist_chart.h"
#include "ui/chart/sweep_chart.h"
#include "ui/file_dialog.h"
#include "ui/library_panel.h"
#include "ui/message_box.h"
#include "ui/sweep_views_panel.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace TestWindow;

namespace {

Chart::SweepChart *Grafik(Main::Tb_tok &w) {
    return Find<Chart::SweepChart>(w, "grafik");
}

QTableWidget *Rows(Main::Tb_tok &w) {
    return Find<QTableWidget>(w, "TwLibrary");
}

QString Problem(Main::Tb_tok &w) {
    return Find<QLabel>(w, "LaLibraryProblem")->text();
}

// Ticks the overlay box of the row of id, as a click on it does.
void CheckOverlay(Main::Tb_tok &w, qint64 id, bool on) {
    Main::LibraryPanel *panel = Find<Main::LibraryPanel>(w, "PaLibrary");
    const int row = panel->RowOf(id);
    QVERIFY(row >= 0);
    Rows(w)
        ->item(row, Main::LibraryPanel::OverlayColumn)
        ->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void StartRun(Main::Tb_tok &w, const QString &low, const QString &high, const QString &n) {
    QCheckBox *f = Find<QCheckBox>(w, "ChBoF");
    if (!f->isChecked()) f->click();
    Find<QLineEdit>(w, "istart")->setText(low);
    Find<QLineEdit>(w, "istop")->setText(high);
    Find<QLineEdit>(w, "ikol")->setText(n);
    Find<QPushButton>(w, "bgraf")->click();
}

// The same points in any order, within float rounding.
bool SamePlaces(QList<QPointF> a, QList<QPointF> b) {
    if (a.size() != b.size()) return false;
    const auto byX = [](const QPointF &p, const QPointF &q) { return p.x() < q.x(); };
    std::sort(a.begin(), a.end(), byX);
    std::sort(b.begin(), b.end(), byX);
    for (int i = 0; i < a.size(); ++i)
        if (std::fabs(a[i].x() - b[i].x()) > 1e-6 * std::fabs(b[i].x()) ||
            std::fabs(a[i].y() - b[i].y()) > 1e-5 * std::max(1.0, std::fabs(b[i].y())))
            return false;
    return true;
}

struct SaveAnswer {
    QString path;
    int asked = 0;
    SaveAnswer() {
        Framework::SetSaveFileHandler([this](const Framework::SaveFileRequest &) {
            ++asked;
            return Framework::SaveFileChoice{path, 0};
        });
    }
    ~SaveAnswer() { Framework::SetSaveFileHandler({}); }
};

struct Answers {
    QString open;
    bool yes = false;
    QStringList asked;
    Answers() {
        Framework::SetOpenFileHandler([this](const QString &) { return open; });
        Framework::SetQuestionHandler([this](const QString &question) {
            asked << question;
            return yes;
        });
    }
    ~Answers() {
        Framework::SetOpenFileHandler({});
        Framework::SetQuestionHandler({});
    }
};

} // namespace

class TestLibraryWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
    }

    void keptReopenedAndOverlaid() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        Library::SweepLibrary library;
        QVERIFY(library.open(m_dir.filePath(QStringLiteral("kept.sqlite"))).ok());
        Core::SweepKeeper keeper(f.Session(), library);
        QSignalSpy kept(&keeper, &Core::SweepKeeper::kept);
        w.UseLibrary(&library, &keeper);
        Find<QToolButton>(w, "b_library")->click();
        QCOMPARE(Rows(w)->rowCount(), 0);

        // A run not kept is said beside the status line, not in a message box, until one is kept.
        QLabel *notKept = Find<QLabel>(w, "LaLibrary");
        QVERIFY(notKept->isHidden());
        emit keeper.notKept({Library::Problem::WriteFailed, QStringLiteral("disk full")});
        QVERIFY(!notKept->isHidden());
        QVERIFY2(notKept->text().contains(QStringLiteral("не сохранено")),
                 qPrintable(notKept->text()));

        QVERIFY(TickWithFrame(w));
        StartRun(w, QStringLiteral("50000"), QStringLiteral("100000"), QStringLiteral("10"));
        for (int i = 0; i < 10; ++i)
            QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(kept.count(), 1);
        QVERIFY(notKept->isHidden());
        const qint64 id = kept.first().first().toLongLong();
        QCOMPARE(Rows(w)->rowCount(), 1); // the list follows the keeper
        QVERIFY(Rows(w)->item(0, Main::LibraryPanel::SweptColumn)->text().contains("100 kHz"));
        const Exchange::SweepData measured = Exchange::FromStore(Main::SweepState);
        QStringList statistics;
        for (const char *name : {"ip1min", "ip1sr", "ip1max", "ip2min", "ip2sr", "ip2max"})
            statistics << TextOf(w, name);
        const QList<QPointF> measuredSeries = Grafik(w)->points(0);
        QCOMPARE(measuredSeries.size(), 10);

        // Another run over other frequencies takes the graph.
        StartRun(w, QStringLiteral("1000"), QStringLiteral("5000"), QStringLiteral("5"));
        for (int i = 0; i < 5; ++i)
            QVERIFY(TickForPoint(w));
        QCOMPARE(kept.count(), 2);
        QCOMPARE(Rows(w)->rowCount(), 2);
        QVERIFY(Grafik(w)->overlays().isEmpty()); // nothing laid over until asked

        // The first reopened: the store and the graph hold its points again.
        auto *panel = Find<Main::LibraryPanel>(w, "PaLibrary");
        QVERIFY(panel->ChooseId(id));
        Find<QPushButton>(w, "BuLibOpen")->click();
        QVERIFY2(Problem(w).isEmpty(), qPrintable(Problem(w)));
        const Exchange::SweepData reopened = Exchange::FromStore(Main::SweepState);
        QCOMPARE(reopened.points.size(), measured.points.size());
        for (std::size_t i = 0; i < measured.points.size(); ++i) {
            QCOMPARE(float(reopened.points[i].frequency), float(measured.points[i].frequency));
            QCOMPARE(float(reopened.points[i].magnitude), float(measured.points[i].magnitude));
        }
        QVERIFY(SamePlaces(Grafik(w)->points(0), measuredSeries));
        // The statistics of the same points, none beyond them.
        QStringList reopenedStatistics;
        for (const char *name : {"ip1min", "ip1sr", "ip1max", "ip2min", "ip2sr", "ip2max"})
            reopenedStatistics << TextOf(w, name);
        QCOMPARE(reopenedStatistics, statistics);

        // Overlaid: in its colour and named in the legend, on the shown sweep's own points in
        // the series' unit, on both series.
        CheckOverlay(w, id, true);
        QCOMPARE(w.Overlays().size(), 1);
        const QList<Chart::Overlay> overlays = Grafik(w)->overlays();
        QCOMPARE(overlays.size(), 1);
        QCOMPARE(overlays[0].colour, Views::OverlayColour(0));
        QVERIFY(SamePlaces(overlays[0].points[0], Grafik(w)->points(0)));
        QVERIFY(SamePlaces(overlays[0].points[1], Grafik(w)->points(1)));
        QVERIFY(Grafik(w)->overlayLegend().contains(overlays[0].name));
        QCOMPARE(Rows(w)->item(panel->RowOf(id), 0)->checkState(), Qt::Checked);

        // The views: the current sweep and the overlay, ten points each.
        Find<QPushButton>(w, "BuLibNyquist")->click();
        const QList<Chart::Curve> nyquist = Find<Chart::NyquistChart>(w, "ChNyquist")->curves();
        QCOMPARE(nyquist.size(), 2);
        QCOMPARE(nyquist[0].points.size(), 10);
        QCOMPARE(nyquist[1].colour, Views::OverlayColour(0));
        QVERIFY(SamePlaces(nyquist[1].points, nyquist[0].points));
        const auto *bode = Find<Chart::BodeChart>(w, "ChBode");
        QCOMPARE(bode->magnitudeCurves().size(), 2);
        QCOMPARE(bode->phaseCurves()[1].points.size(), 10);
        const Chart::Range hz = bode->axisRange(Chart::Axis::Bottom);
        QVERIFY(hz.min <= 50000.0 && hz.max >= 100000.0);

        // Each view saved as the picture it shows, at its size.
        SaveAnswer save;
        auto *views = Find<Main::SweepViewsPanel>(w, "PaViews");
        views->resize(640, 520);
        for (int tab : {0, 1}) {
            views->ShowTab(Main::SweepViewsPanel::Tab(tab));
            const QSize size = views->ShownChart()->size();
            QVERIFY(!size.isEmpty());
            save.path = m_dir.filePath(QStringLiteral("вид%1.png").arg(tab));
            Find<QPushButton>(w, "BuViewPng")->click();
            const QImage png(save.path);
            QCOMPARE(png.size(), size);
            save.path = m_dir.filePath(QStringLiteral("вид%1.svg").arg(tab));
            Find<QPushButton>(w, "BuViewSvg")->click();
            QFile written(save.path);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray text = written.readAll();
            QSvgRenderer svg(text);
            QVERIFY(svg.isValid());
            QCOMPARE(svg.viewBox(), QRect(QPoint(0, 0), size));
            // Lines and text stay vector: the legend names both sweeps.
            QVERIFY(text.contains(QStringLiteral("Текущее").toUtf8()));
            QVERIFY(text.contains(overlays[0].name.toUtf8()));
        }
        QCOMPARE(save.asked, 4);

        // Taken off: the graph as designed again.
        CheckOverlay(w, id, false);
        QVERIFY(Grafik(w)->overlays().isEmpty());
        QVERIFY(Grafik(w)->overlayLegend().isEmpty());
        QVERIFY(f.messages.isEmpty());
    }

    // Eight at once; a ninth refused on the panel, its box left unticked; reopening refused
    // while a run goes, the run's store untouched.
    void limitsAndRefusals() {
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        Library::SweepLibrary library;
        QVERIFY(library.open(m_dir.filePath(QStringLiteral("nine.sqlite"))).ok());
        Core::SweepKeeper keeper(f.Session(), library);
        w.UseLibrary(&library, &keeper);
        QList<qint64> ids;
        for (int k = 0; k < 9; ++k) {
            Library::KeptSweep sweep;
            sweep.entry.name = QStringLiteral("№%1").arg(k);
            for (int i = 0; i < 20; ++i) {
                Exchange::SweepPoint p;
                p.planned = p.frequency = 1000.0 * (i + 1);
                p.magnitude = 100.0 + k + i;
                p.phase = -1.0;
                sweep.data.points.push_back(p);
            }
            qint64 id = 0;
            QVERIFY(library.keep(sweep, &id).ok());
            ids << id;
        }
        w.RefreshLibrary();
        QCOMPARE(Rows(w)->rowCount(), 9);
        for (int k = 0; k < 8; ++k)
            CheckOverlay(w, ids[k], true);
        QCOMPARE(Grafik(w)->overlays().size(), 8);
        CheckOverlay(w, ids[8], true);
        QCOMPARE(w.Overlays().size(), 8);
        QVERIFY(!w.Overlays().contains(ids[8]));
        QVERIFY2(Problem(w).contains(QStringLiteral("не больше 8")), qPrintable(Problem(w)));
        auto *panel = Find<Main::LibraryPanel>(w, "PaLibrary");
        QCOMPARE(Rows(w)->item(panel->RowOf(ids[8]), 0)->checkState(), Qt::Unchecked);
        // One off, and the ninth takes its colour.
        const QColor freed = w.Overlays().colour(ids[2]);
        CheckOverlay(w, ids[2], false);
        CheckOverlay(w, ids[8], true);
        QCOMPARE(w.Overlays().colour(ids[8]), freed);
        Find<QPushButton>(w, "BuLibClearOverlays")->click();
        QVERIFY(Grafik(w)->overlays().isEmpty());

        QVERIFY(TickWithFrame(w));
        StartRun(w, QStringLiteral("1000"), QStringLiteral("5000"), QStringLiteral("5"));
        QVERIFY(TickForPoint(w));
        QVERIFY(Main::SweepRunning);
        const int points = Main::SweepPoints;
        panel->ChooseId(ids[0]);
        QVERIFY(!w.ReopenKept(ids[0]));
        QVERIFY2(Problem(w).contains(QStringLiteral("Идёт измерение")), qPrintable(Problem(w)));
        QVERIFY(Main::SweepRunning);
        QCOMPARE(Main::SweepPoints, points);
    }

    // Delete asks first; an import keeps the file under its name, a bad file is refused with its
    // line; an edited name is kept.
    void deleteImportRename() {
        Fixture f;
        Main::Tb_tok &w = f.Start();
        Library::SweepLibrary library;
        QVERIFY(library.open(m_dir.filePath(QStringLiteral("import.sqlite"))).ok());
        w.UseLibrary(&library, nullptr);
        Answers answers;

        const QString good = m_dir.filePath(QStringLiteral("катушка.csv"));
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1000,1,6.28\n10000,1.5,62.8\n100000,2,628\n");
        file.close();
        answers.open = good;
        Find<QPushButton>(w, "BuLibImport")->click();
        QVERIFY2(Problem(w).isEmpty(), qPrintable(Problem(w)));
        QCOMPARE(Rows(w)->rowCount(), 1);
        QVector<Library::Entry> entries;
        QVERIFY(library.list(entries).ok());
        QCOMPARE(entries.first().source, QStringLiteral("катушка.csv"));
        QCOMPARE(entries.first().pointCount, 3);

        const QString bad = m_dir.filePath(QStringLiteral("bad.csv"));
        QFile broken(bad);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("1000,1,6.28\n2000,x,6\n");
        broken.close();
        answers.open = bad;
        Find<QPushButton>(w, "BuLibImport")->click();
        QVERIFY2(Problem(w).contains(QStringLiteral("строка 2")), qPrintable(Problem(w)));
        QCOMPARE(Rows(w)->rowCount(), 1);

        Rows(w)->item(0, Main::LibraryPanel::NameColumn)->setText(QStringLiteral("Дроссель"));
        Rows(w)->item(0, Main::LibraryPanel::NoteColumn)->setText(QStringLiteral("партия 7"));
        QVERIFY(library.list(entries).ok());
        QCOMPARE(entries.first().name, QStringLiteral("Дроссель"));
        QCOMPARE(entries.first().note, QStringLiteral("партия 7"));

        auto *panel = Find<Main::LibraryPanel>(w, "PaLibrary");
        QVERIFY(panel->ChooseId(entries.first().id));
        Find<QPushButton>(w, "BuLibDelete")->click(); // answered no
        QCOMPARE(answers.asked.size(), 1);
        QVERIFY(library.list(entries).ok());
        QCOMPARE(entries.size(), 1);
        answers.yes = true;
        Find<QPushButton>(w, "BuLibDelete")->click();
        QVERIFY(library.list(entries).ok());
        QCOMPARE(entries.size(), 0);
        QCOMPARE(Rows(w)->rowCount(), 0);
    }

    // A file that is no library is refused and left as it is: the panel can do nothing and a
    // finished run is not kept.
    void refusedLibraryKeepsNothing() {
        const QString path = m_dir.filePath(QStringLiteral("foreign.sqlite"));
        QFile foreign(path);
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        const QByteArray bytes(4096, 'z');
        foreign.write(bytes);
        foreign.close();
        Fixture f;
        f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        Library::SweepLibrary library;
        QVERIFY(!library.open(path).ok());
        Core::SweepKeeper keeper(f.Session(), library);
        QSignalSpy kept(&keeper, &Core::SweepKeeper::kept);
        QSignalSpy notKept(&keeper, &Core::SweepKeeper::notKept);
        w.UseLibrary(&library, &keeper);
        QVERIFY(!Find<QPushButton>(w, "BuLibImport")->isEnabled());
        QVERIFY(!Find<QPushButton>(w, "BuLibOpen")->isEnabled());
        QVERIFY(TickWithFrame(w));
        StartRun(w, QStringLiteral("1000"), QStringLiteral("5000"), QStringLiteral("3"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(kept.count() + notKept.count(), 0);
        QVERIFY(foreign.open(QIODevice::ReadOnly));
        QCOMPARE(foreign.readAll(), bytes);
    }
};

QTEST_MAIN(TestLibraryWindow)
#include "test_library_window.moc"
