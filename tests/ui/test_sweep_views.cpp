// The pure parts of the views and the library panel: Nyquist and Bode series of a sweep (only
// measurements; no Bode for a bias or level run), the overlays' limit and colours, axis ranges
// at one scale, a library row's texts and the refusals' words.
#include "link/decoding.h"
#include "sweep/sweep_store.h"
#include "ui/chart/equal_scale.h"
#include "ui/library_text.h"
#include "ui/sweep_views.h"

#include <QtTest>

#include <cmath>
#include <set>

using Exchange::SweepData;
using Exchange::SweepPoint;

namespace {

constexpr double Pi = 3.14159265358979323846;

// A point of impedance r + jx at f hertz, with the reading status given.
SweepPoint At(double hz, double r, double x, int status = 0) {
    SweepPoint p;
    p.planned = hz;
    p.frequency = hz;
    p.magnitude = std::hypot(r, x);
    p.phase = std::atan2(x, r);
    p.status = status;
    return p;
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

bool SamePoints(const QList<QPointF> &a, const QList<QPointF> &b) {
    if (a.size() != b.size()) return false;
    for (int i = 0; i < a.size(); ++i)
        if (!Near(a[i].x(), b[i].x()) || !Near(a[i].y(), b[i].y())) return false;
    return true;
}

QString Text(const QList<QPointF> &points) {
    QStringList out;
    for (const QPointF &p : points)
        out << QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y());
    return out.join(QLatin1Char(' '));
}

} // namespace

Q_DECLARE_METATYPE(SweepData)
Q_DECLARE_METATYPE(Library::Entry)

class TestSweepViews : public QObject {
    Q_OBJECT

private slots:
    void nyquist_data() {
        QTest::addColumn<SweepData>("data");
        QTest::addColumn<QList<QPointF>>("expected");
        SweepData rc;
        rc.points = {At(100, 3, -4), At(1000, 2, -1), At(10000, 1, 0.5)};
        QTest::newRow("−X up, run order") << rc << QList<QPointF>{{3, 4}, {2, 1}, {1, -0.5}};
        SweepData marked = rc;
        marked.points[1].status = 1; // an overload
        marked.points.push_back(At(20000, 7, 7, -1));
        QTest::newRow("no measurement left out") << marked << QList<QPointF>{{3, 4}, {1, -0.5}};
        SweepData broken = rc;
        broken.points[0].magnitude = std::nan("");
        QTest::newRow("not finite left out") << broken << QList<QPointF>{{2, 1}, {1, -0.5}};
        SweepData bias;
        bias.quantity = Sweep::Quantity::Bias;
        bias.points = {At(1000, 5, -2), At(1000, 6, -3)};
        QTest::newRow("bias run too") << bias << QList<QPointF>{{5, 2}, {6, 3}};
        QTest::newRow("empty") << SweepData{} << QList<QPointF>{};
    }
    void nyquist() {
        QFETCH(SweepData, data);
        QFETCH(QList<QPointF>, expected);
        const QList<QPointF> got = Views::NyquistPoints(data);
        QVERIFY2(SamePoints(got, expected), qPrintable(Text(got)));
    }

    void bode_data() {
        QTest::addColumn<SweepData>("data");
        QTest::addColumn<bool>("given");
        QTest::addColumn<QList<QPointF>>("magnitude");
        QTest::addColumn<QList<QPointF>>("phase");
        SweepData run;
        run.points = {At(100, 0, -10), At(1000, 1, -1), At(10000, 5, 0)};
        QTest::newRow("|Z| and degrees")
            << run << true << QList<QPointF>{{100, 10}, {1000, std::sqrt(2.0)}, {10000, 5}}
            << QList<QPointF>{{100, -90}, {1000, -45}, {10000, 0}};
        SweepData gaps = run;
        gaps.points[0].status = 8;
        gaps.points.push_back(At(0, 1, 1));        // no frequency
        gaps.points.push_back(At(20000, 0, 0));    // a short: no place on a log axis
        gaps.points.push_back(At(30000, 2, 2, 1)); // an overload
        QTest::newRow("gaps") << gaps << true << QList<QPointF>{{1000, std::sqrt(2.0)}, {10000, 5}}
                              << QList<QPointF>{{1000, -45}, {10000, 0}, {20000, 0}};
        SweepData bias = run;
        bias.quantity = Sweep::Quantity::Bias;
        QTest::newRow("bias run: none") << bias << false << QList<QPointF>{} << QList<QPointF>{};
        SweepData level = run;
        level.quantity = Sweep::Quantity::Level;
        QTest::newRow("level run: none") << level << false << QList<QPointF>{} << QList<QPointF>{};
    }
    void bode() {
        QFETCH(SweepData, data);
        QFETCH(bool, given);
        QFETCH(QList<QPointF>, magnitude);
        QFETCH(QList<QPointF>, phase);
        const std::optional<Views::BodePoints> got = Views::BodeSeries(data);
        QCOMPARE(got.has_value(), given);
        if (!got) return;
        QVERIFY2(SamePoints(got->magnitude, magnitude), qPrintable(Text(got->magnitude)));
        QVERIFY2(SamePoints(got->phase, phase), qPrintable(Text(got->phase)));
    }

    // A sweep shown or overlaid from its |Z| and angle gets the parameters a run stores for the
    // graph, in the circuit asked: here 3 Ω − j4 Ω at 1 kHz.
    void storeHoldsTheGraphsParameters() {
        SweepData data;
        data.points = {At(1000, 3, -4), At(2000, 3, -2)};
        const std::optional<Main::SweepVariables> series = Exchange::ToStore(data, true);
        QVERIFY(series);
        const double omega = 2 * Pi * 1000;
        const double cs = 1e12 / (omega * 4.0); // pF
        QVERIFY2(std::fabs(series->SweepSamples[Device::ParC][0] - cs) < 1e-5 * cs,
                 qPrintable(QString::number(series->SweepSamples[Device::ParC][0])));
        QCOMPARE(series->SweepSamples[Device::ParD][0], 0.75f); // R / |X|
        QVERIFY(series->SweepSeriesCircuits[0]);
        // In parallel: G + jB = 1 / Z = (3 + j4) / 25, so Cp = B / ω.
        const std::optional<Main::SweepVariables> parallel = Exchange::ToStore(data, false);
        QVERIFY(parallel);
        const double cp = 1e12 * (4.0 / 25.0) / omega;
        QVERIFY2(std::fabs(parallel->SweepSamples[Device::ParC][0] - cp) < 1e-5 * cp,
                 qPrintable(QString::number(parallel->SweepSamples[Device::ParC][0])));
        QVERIFY(!parallel->SweepSeriesCircuits[0]);
    }

    // Eight at most, each its own colour, kept while others come and go; a freed colour is the
    // next one's.
    void overlayLimitAndColours() {
        Views::OverlaySet set;
        for (qint64 id = 10; id < 18; ++id)
            QCOMPARE(set.add(id), Views::OverlaySet::Added::Added);
        QCOMPARE(set.add(18), Views::OverlaySet::Added::Full);
        QCOMPARE(set.add(12), Views::OverlaySet::Added::AlreadyThere);
        QCOMPARE(set.size(), 8);
        QVERIFY(!set.contains(18));
        std::set<QRgb> colours;
        for (qint64 id : set.ids())
            colours.insert(set.colour(id).rgb());
        QCOMPARE(int(colours.size()), 8);
        // Not the graph's series, its breaks or its ground.
        for (const QColor taken :
             {QColor(255, 0, 255), QColor(0, 255, 0), QColor(255, 255, 0), QColor(Qt::black)})
            QVERIFY(!colours.count(taken.rgb()));

        const QColor third = set.colour(12);
        const QColor fifth = set.colour(14);
        QVERIFY(set.remove(12));
        QVERIFY(!set.remove(12));
        QVERIFY(!set.colour(12).isValid());
        QCOMPARE(set.colour(14), fifth); // the others keep theirs
        QCOMPARE(set.add(30), Views::OverlaySet::Added::Added);
        QCOMPARE(set.colour(30), third);
        QCOMPARE(set.ids(), (QVector<qint64>{10, 11, 13, 14, 15, 16, 17, 30}));
        set.clear();
        QVERIFY(set.isEmpty());
        QCOMPARE(set.add(40), Views::OverlaySet::Added::Added);
        QCOMPARE(set.colour(40), Views::OverlayColour(0));
    }

    void equalScale_data() {
        QTest::addColumn<double>("x0");
        QTest::addColumn<double>("x1");
        QTest::addColumn<double>("y0");
        QTest::addColumn<double>("y1");
        QTest::addColumn<QSizeF>("plot");
        QTest::newRow("wide plot, wide data") << 0.0 << 100.0 << 0.0 << 50.0 << QSizeF(400, 100);
        QTest::newRow("wide plot, tall data") << 0.0 << 10.0 << -50.0 << 50.0 << QSizeF(400, 100);
        QTest::newRow("tall plot") << 10.0 << 30.0 << 0.0 << 5.0 << QSizeF(100, 500);
        QTest::newRow("one point") << 2.0 << 2.0 << 3.0 << 3.0 << QSizeF(300, 200);
        QTest::newRow("no plot yet") << 0.0 << 4.0 << 0.0 << 1.0 << QSizeF();
    }
    void equalScale() {
        QFETCH(double, x0);
        QFETCH(double, x1);
        QFETCH(double, y0);
        QFETCH(double, y1);
        QFETCH(QSizeF, plot);
        const auto [x, y] = Chart::EqualScaleRanges({x0, x1}, {y0, y1}, plot);
        // Everything inside and centred.
        QVERIFY(x.min < x0 && x.max > x1 && y.min < y0 && y.max > y1);
        QVERIFY(Near((x.min + x.max) / 2, (x0 + x1) / 2));
        QVERIFY(Near((y.min + y.max) / 2, (y0 + y1) / 2));
        const double w = plot.isEmpty() ? 1.0 : plot.width();
        const double h = plot.isEmpty() ? 1.0 : plot.height();
        // As many units per pixel on both axes.
        QVERIFY2(
            Near((x.max - x.min) / w, (y.max - y.min) / h),
            qPrintable(
                QStringLiteral("%1 … %2 × %3 … %4").arg(x.min).arg(x.max).arg(y.min).arg(y.max)));
        // The axis that needs the most room holds its points with just the margin.
        if (x1 > x0 || y1 > y0) {
            const double pad = 0.05 * std::max(x1 - x0, y1 - y0);
            QVERIFY(Near(x.max - x.min, x1 - x0 + 2 * pad) ||
                    Near(y.max - y.min, y1 - y0 + 2 * pad));
        }
    }

    void libraryRow_data() {
        QTest::addColumn<Library::Entry>("entry");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("swept");
        QTest::addColumn<QString>("points");
        Library::Entry run;
        run.taken = QDateTime(QDate(2026, 12, 10), QTime(9, 5, 7), Qt::UTC);
        run.model = QStringLiteral("KT-44");
        run.pointCount = 51;
        run.source = QStringLiteral("run");
        run.firstPlanned = 100.0;
        run.lastPlanned = 100000.0;
        QTest::newRow("frequency run") << run << ""
                                       << "KT-44"
                                       << "Частота 100 Hz … 100 kHz"
                                       << "51";
        Library::Entry stopped = run;
        stopped.interrupted = true;
        stopped.pointCount = 37;
        stopped.name = QStringLiteral("Катушка");
        QTest::newRow("interrupted") << stopped << "Катушка"
                                     << "KT-44"
                                     << "Частота 100 Hz … 100 kHz"
                                     << "37, прерван";
        Library::Entry bias = run;
        bias.quantity = Sweep::Quantity::Bias;
        bias.firstPlanned = 0.0;
        bias.lastPlanned = 1.5;
        QTest::newRow("bias run") << bias << ""
                                  << "KT-44"
                                  << "Смещение 0 В … 1,5 В"
                                  << "51";
        Library::Entry imported = run;
        imported.model.clear();
        imported.source = QStringLiteral("/data/заготовка.s1p");
        QTest::newRow("imported, no name") << imported << "заготовка.s1p"
                                           << "—"
                                           << "Частота 100 Hz … 100 kHz"
                                           << "51";
    }
    void libraryRow() {
        QFETCH(Library::Entry, entry);
        const Main::LibraryRow row = Main::EntryRow(entry);
        QTEST(row.name, "name");
        QTEST(row.model, "model");
        QTEST(row.swept, "swept");
        QTEST(row.points, "points");
        // Local time, to the second.
        QCOMPARE(row.taken,
                 entry.taken.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    }

    // The refusals name the file, the line when there is one, and the reason in plain words.
    void refusalTexts() {
        const QString bad = Main::ImportRefusalText(QStringLiteral("/tmp/замер.csv"),
                                                    {12, QStringLiteral("not a number")});
        QVERIFY2(bad.contains(QStringLiteral("замер.csv")) &&
                     bad.contains(QStringLiteral("строка 12")) && bad.contains("not a number"),
                 qPrintable(bad));
        const QString whole =
            Main::ImportRefusalText(QStringLiteral("/tmp/x.s1p"), {0, QStringLiteral("empty")});
        QVERIFY2(!whole.contains(QStringLiteral("строка")), qPrintable(whole));

        const QString path = QStringLiteral("/home/u/.local/share/Impedix/sweeps.sqlite");
        const struct {
            Library::Problem problem;
            const char *says;
        } reasons[] = {{Library::Problem::NotALibrary, "не является архивом"},
                       {Library::Problem::Damaged, "повреждён"},
                       {Library::Problem::NewerVersion, "более новой версией"},
                       {Library::Problem::CannotOpen, "нельзя открыть"}};
        for (const auto &r : reasons) {
            const QString text = Main::LibraryRefusedText({r.problem, QStringLiteral("x")}, path);
            QVERIFY2(text.contains(path) && text.contains(QString::fromUtf8(r.says)),
                     qPrintable(text));
        }
        QVERIFY(Main::NotKeptText({Library::Problem::WriteFailed, {}})
                    .contains(QStringLiteral("не удалась")));
    }
};

QTEST_GUILESS_MAIN(TestSweepViews)
#include "test_sweep_views.moc"
