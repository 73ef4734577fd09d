// The graph panel in the window: its start-up state, START's checks and messages, runs over the
// simulated and a scripted meter (points, frequencies sent, the track bar, the end of a run),
// the redraw with either series hidden, and the frequency line of every tick.
#include "cli/conditions.h"
#include "cli/invocation.h"
#include "core/session.h"
#include "link/device.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"
#include "tests/common/peer.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/file_dialog.h"
#include "ui/main_state.h"
#include "ui/settings_logic.h"
#include "ui/swept_quantity.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

using namespace TestWindow;
using namespace TestPeer;

namespace {

constexpr std::uint8_t KeyF1 = 17;
constexpr int KT44 = 2;
constexpr std::uint8_t SetFrequency = 0x43;
const QString Invalid = QStringLiteral("Неверное значение");

using Requests = QList<QByteArray>;

Requests FrequenciesSent(std::initializer_list<std::uint32_t> hz) {
    Requests out;
    for (std::uint32_t f : hz)
        out << Request(SetFrequency, f, 4);
    return out;
}

// The graph panel's controls, found by name as a user would see them.
struct Graph {
    Main::Tb_tok &w;
    QLineEdit *istart = find<QLineEdit>("istart");
    QLineEdit *istop = find<QLineEdit>("istop");
    QLineEdit *ikol = find<QLineEdit>("ikol");
    QCheckBox *ChBoF = find<QCheckBox>("ChBoF");
    QCheckBox *p1on = find<QCheckBox>("p1on");
    QCheckBox *p2on = find<QCheckBox>("p2on");
    QPushButton *bgraf = find<QPushButton>("bgraf");
    QSlider *marker = find<QSlider>("marker");
    Chart::SweepChart *grafik = find<Chart::SweepChart>("grafik");

    explicit Graph(Main::Tb_tok &window) : w(window) {}

    template <class T> T *find(const char *name) { return Find<T>(w, name); }
    QString text(const char *label) { return find<QLabel>(label)->text(); }

    void start(const QString &low, const QString &high, const QString &n, bool frequencySweep) {
        if (ChBoF->isChecked() != frequencySweep) ChBoF->click();
        istart->setText(low);
        istop->setText(high);
        ikol->setText(n);
        bgraf->click();
    }
    QList<double> xs(int series) {
        QList<double> out;
        for (const QPointF &p : grafik->points(series))
            out << p.x();
        return out;
    }
    QList<double> ys(int series) {
        QList<double> out;
        for (const QPointF &p : grafik->points(series))
            out << p.y();
        return out;
    }
};

// The settings sent since the last look (polls left out), once `count` of them have arrived.
Requests SettingsSent(Sim::PtyHost &host, int count) {
    Requests got;
    const QDeadlineTimer deadline(10000);
    for (;;) {
        got += TakeRequests(host, 0, true);
        if (got.size() >= count || deadline.hasExpired()) return got;
        host.waitForRequests(1, int(deadline.remainingTime())); // the next one, or the deadline
    }
}

// Every setting sent since the last look: a key press sent now marks the end of the log.
Requests SettingsUntilNow(Sim::PtyHost &host) {
    constexpr std::uint8_t Mark = 20;
    Device::SendKeyCode(Mark);
    Requests got;
    const QDeadlineTimer deadline(10000);
    while (!got.contains(Request(Mark)) && !deadline.hasExpired()) {
        got += TakeRequests(host, 0, true);
        host.waitForRequests(1, int(deadline.remainingTime())); // the next one, or the deadline
    }
    got.removeAll(Request(Mark));
    return got;
}

QList<double> Zeros(int n) {
    return QList<double>(n, 0.0);
}

// Parameters 0..10 of the last frame as stored for point i.
bool StoredAsMeasured(int i) {
    for (int k = 0; k < Main::SweepParameterCount; ++k)
        if (Main::SweepSamples[k][i] != Device::ParameterValues[k]) return false;
    return true;
}

Sim::Component Capacitor(double farads) {
    Sim::Component dut;
    dut.capacitance = farads;
    dut.resistance = 3.0;
    return dut;
}

struct Check {
    bool frequencySweep;
    const char *low, *high, *n;
    QString message; // empty: the run starts
    std::int32_t frequencyLow, frequencyHigh;
    int points;
};

} // namespace

Q_DECLARE_METATYPE(Check)

class TestSweepWindow : public QObject {
    Q_OBJECT

private slots:
    void startUp() {
        Fixture f;
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QCOMPARE(g.istart->text(), QStringLiteral("50000"));
        QCOMPARE(g.istop->text(), QStringLiteral("100000"));
        QCOMPARE(g.ikol->text(), QStringLiteral("10"));
        QVERIFY(g.istop->isHidden());
        QVERIFY(!g.ChBoF->isChecked());
        QVERIFY(g.p1on->isChecked() && g.p2on->isChecked());
        QVERIFY(g.find<QWidget>("PaGraph")->isHidden());
        QCOMPARE(Main::SweepPoints, 10);
        QCOMPARE(Main::SweepIndex, 0);
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(g.marker->minimum(), 0);
        QCOMPARE(g.marker->maximum(), 9);
        QCOMPARE(g.marker->value(), 0);
        const QList<double> khz{50.0,   55.555, 61.111, 66.666, 72.222,
                                77.777, 83.333, 88.888, 94.444, 100.0};
        for (int s = 0; s < 2; ++s) {
            QVERIFY(g.grafik->isSeriesActive(s));
            QCOMPARE(g.xs(s).size(), 10);
            for (int i = 0; i < 10; ++i)
                QVERIFY(qAbs(g.xs(s)[i] - khz[i]) < 1e-9);
            QCOMPARE(g.ys(s), Zeros(10));
        }
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Left), QStringLiteral("Rs"));
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Right), QStringLiteral("Q"));
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Bottom), QStringLiteral("Частота, kHz"));
        QCOMPARE(g.text("ifreq"), QStringLiteral("F=1000 Hz"));
        for (const char *label : {"ip1min", "ip1sr", "ip1max", "ip2min", "ip2sr", "ip2max"})
            QCOMPARE(g.text(label), QStringLiteral("0"));

        g.ChBoF->click();
        QVERIFY(!g.istop->isHidden());
        g.ChBoF->click();
        QVERIFY(g.istop->isHidden());

        // What is swept: the frequency unless chosen; volts keep both fields and their own text.
        auto *swept = g.find<QComboBox>("b_swept");
        QCOMPARE(swept->currentText(), QStringLiteral("Частота"));
        QCOMPARE(g.bgraf->text(), QStringLiteral("START"));
        swept->setCurrentIndex(1);
        QCOMPARE(g.text("Label9"), QStringLiteral("Umin"));
        QVERIFY(!g.istop->isHidden());
        QVERIFY(!g.find<QWidget>("GrBo_Spacing")->isEnabled());
        QCOMPARE(g.istart->text() + QLatin1Char('/') + g.istop->text(), QStringLiteral("0/1"));
        g.istop->setText(QStringLiteral("2,5"));
        swept->setCurrentIndex(0);
        QCOMPARE(g.text("Label9"), QStringLiteral("Fmin"));
        QCOMPARE(g.text("Label10"), QStringLiteral("Fmax"));
        QVERIFY(g.istop->isHidden());
        QVERIFY(g.find<QWidget>("GrBo_Spacing")->isEnabled());
        QCOMPARE(g.istart->text(), QStringLiteral("50000"));
        QCOMPARE(g.istop->text(), QStringLiteral("100000"));
        swept->setCurrentIndex(1);
        QCOMPARE(g.istop->text(), QStringLiteral("2,5"));
    }

    // The x axis of each kind of run: its title, each point's place and whether it may be log.
    void axisOfEachQuantity() {
        const auto store = std::make_unique<Main::SweepVariables>();
        store->SweepFrequencies[2] = 1234.0f;
        store->SweepSettings[2] = 1500;
        const struct {
            Sweep::Quantity quantity;
            bool frequencySweep;
            const char *title;
            double x;
            bool log;
        } rows[] = {
            {Sweep::Quantity::Frequency, true, "Частота, kHz", 1.234, true},
            {Sweep::Quantity::Frequency, false, "Отсчеты", 3.0, false},
            {Sweep::Quantity::Bias, true, "Смещение, В", 1.5, false},
            {Sweep::Quantity::Bias, false, "Смещение, В", 1.5, false},
            {Sweep::Quantity::Level, true, "Уровень, В", 1.5, false},
        };
        for (const auto &row : rows) {
            store->SweepQuantity = row.quantity;
            const QString title = Main::AxisTitle(row.quantity, row.frequencySweep);
            QCOMPARE(title, QString::fromUtf8(row.title));
            QVERIFY2(qAbs(Main::AxisValue(*store, 2, row.frequencySweep) - row.x) < 1e-9,
                     qPrintable(title));
            QCOMPARE(Main::LogAxisApplies(row.quantity, row.frequencySweep), row.log);
        }
        QCOMPARE(Main::SweptQuantityOf(0), Sweep::Quantity::Frequency);
        QCOMPARE(Main::SweptQuantityOf(1), Sweep::Quantity::Bias);
        QCOMPARE(Main::SweptQuantityOf(2), Sweep::Quantity::Level);
        QCOMPARE(Main::SweptQuantityOf(-1), Sweep::Quantity::Frequency);
    }

    // Volts as typed, in whole millivolts; what is no number is nothing.
    void voltsFields() {
        const struct {
            const char *typed;
            std::optional<std::int32_t> mv;
        } rows[] = {
            {"1,5", 1500},         {"1.5", 1500},
            {" 40 ", 40000},       {"0", 0},
            {"-1", -1000},         {"0,0004", 0},
            {"0,026", 26},         {"1e3", 1000000},
            {"1e12", 2000000000},  {"", std::nullopt},
            {"abc", std::nullopt}, {"1,5,0", std::nullopt},
            {"inf", std::nullopt}, {"nan", std::nullopt},
            {"2 В", std::nullopt},
        };
        for (const auto &row : rows) {
            const auto mv = Main::ReadMillivolts(QString::fromUtf8(row.typed));
            QVERIFY2(mv == row.mv, row.typed);
        }
    }

    // A level run walks the meter's list from the first level typed to the last, either way;
    // anything else is all six in the list's order.
    void levelRuns() {
        using Levels = std::vector<std::int32_t>;
        const Levels all{1000, 500, 100, 50, 10, 5};
        const struct {
            std::optional<std::int32_t> first, last;
            Levels run;
        } rows[] = {
            {1000, 5, all},
            {5, 1000, {5, 10, 50, 100, 500, 1000}},
            {500, 10, {500, 100, 50, 10}},
            {10, 50, {10, 50}},
            {100, 100, all},
            {300, 5, all},
            {std::nullopt, 5, all},
            {1000, std::nullopt, all},
        };
        for (const auto &row : rows)
            QCOMPARE(Main::LevelRun(row.first, row.last), row.run);
    }

    // Refusals in the window's words, the planner's among them.
    void refusalTexts() {
        using Answer = Core::Session::RunAnswer;
        using R = Core::Session::RunRefusal;
        const Device::Capabilities model = Device::CapabilitiesOf(KT44);
        const auto planned = [&model](std::int32_t start, std::int32_t stop, int points) {
            Sweep::Request r;
            r.quantity = Sweep::Quantity::Bias;
            r.start = start;
            r.stop = stop;
            r.points = points;
            return Answer{R::Planner, Sweep::PlanRun(r, model).refusal};
        };
        Sweep::Request levels;
        levels.quantity = Sweep::Quantity::Level;
        levels.spacing = Sweep::Spacing::List;
        levels.list = {1000, 300};
        const struct {
            Answer answer;
            const char *text;
        } rows[] = {
            {Answer{}, ""},
            {Answer{R::ExternalBias, {}}, "Развёртка смещения только от внутреннего источника"},
            {Answer{R::NoMeter, {}}, "Прибор не найден"},
            {Answer{R::RunGoing, {}}, "Идёт другое измерение: дождитесь его конца"},
            {planned(0, 41000, 5), "Смещение вне 0…40 В"},
            {planned(-1000, 1000, 5), "Смещение вне 0…40 В"},
            {planned(0, 1000, 1), "Число точек: от 2 до 256"},
            {planned(0, 1000, 257), "Число точек: от 2 до 256"},
            {Answer{R::Planner, Sweep::PlanRun(levels, model).refusal},
             "Уровня 0,3 В нет у прибора"},
        };
        for (const auto &row : rows)
            QCOMPARE(Main::RunRefusalText(row.answer), QString::fromUtf8(row.text));
        QCOMPARE(Main::BiasLeftText(1250),
                 QStringLiteral("Смещение не снято: нет связи с прибором. "
                                "На выходе может оставаться 1,25 В."));
    }

    // A held bias or level run is read along its axis, whichever way it ran.
    void valueAlongAHeldRun() {
        const std::vector<double> xs{2.0, 0.0, 1.0};
        const std::vector<double> ys{20.0, 0.0, 10.0};
        QCOMPARE(*Main::ValueAlong(xs, ys, 0.5), 5.0);
        QCOMPARE(*Main::ValueAlong(xs, ys, 2.0), 20.0);
        QCOMPARE(*Main::ValueAlong(xs, ys, 0.0), 0.0);
        QCOMPARE(*Main::ValueAlong(xs, ys, 1.75), 17.5);
        QVERIFY(!Main::ValueAlong(xs, ys, 2.5));
        QVERIFY(!Main::ValueAlong(xs, ys, -0.1));
        QVERIFY(!Main::ValueAlong({}, {}, 0.0));
        QVERIFY(!Main::ValueAlong(xs, {20.0, std::nan(""), 10.0}, 0.5));
    }

    // Every tick writes the frequency line, also when no frame comes back.
    void frequencyLineOnEveryTick() {
        Fixture f;
        Meter &meter = f.AddMeter(1, 2);
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        const QString line = QString::fromLatin1(Device::ParameterText[Device::ParF]);
        QVERIFY(line.startsWith(QLatin1Char('F')));
        QCOMPARE(g.text("ifreq"), line);
        meter.host->setFault(Sim::Fault::Silence);
        std::memcpy(Device::ParameterText[Device::ParF], "F  marker", 10);
        w.Session().Tick();
        QCOMPARE(g.text("ifreq"), QStringLiteral("F  marker"));
    }

    void startChecks_data() {
        QTest::addColumn<Check>("c");
        const QString none;
        auto notInteger = [](const char *text) {
            return QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(text));
        };
        QTest::newRow("Fmin below 25") << Check{false, "24", "", "10", Invalid, 50000, 100000, 10};
        QTest::newRow("Fmin above 10 MHz")
            << Check{false, "10000001", "", "10", Invalid, 50000, 100000, 10};
        QTest::newRow("Fmin letters")
            << Check{false, "5k", "", "10", notInteger("5k"), 50000, 100000, 10};
        QTest::newRow("Fmin empty")
            << Check{false, "", "", "10", notInteger(""), 50000, 100000, 10};
        QTest::newRow("Fmin beyond int")
            << Check{false, "99999999999", "", "10", notInteger("99999999999"), 50000, 100000, 10};
        QTest::newRow("Fmax below Fmin keeps the new Fmin")
            << Check{true, "2000", "1999", "10", Invalid, 2000, 100000, 10};
        QTest::newRow("Fmax above 10 MHz")
            << Check{true, "2000", "10000001", "10", Invalid, 2000, 100000, 10};
        QTest::newRow("Fmax letters")
            << Check{true, "2000", "x", "10", notInteger("x"), 2000, 100000, 10};
        QTest::newRow("N letters keeps the bounds")
            << Check{true, "2000", "3000", "ten", notInteger("ten"), 2000, 3000, 10};
        QTest::newRow("lowest and highest")
            << Check{true, "25", "10000000", "256", none, 25, 10000000, 256};
        QTest::newRow("Fmin = Fmax") << Check{true, "3000", "3000", "4", none, 3000, 3000, 4};
        QTest::newRow("samples at Fmin, Fmax unread")
            << Check{false, "1000", "junk", "5", none, 1000, 1000, 5};
        QTest::newRow("N of 1 gives 2") << Check{false, "1000", "", "1", none, 1000, 1000, 2};
        QTest::newRow("N of 1000 is said") << Check{
            false, "1000", "", "1000", QStringLiteral("Число точек: от 2 до 256"), 1000, 1000, 10};
        QTest::newRow("N with blanks") << Check{false, " 1000", "", " 7 ", none, 1000, 1000, 7};
    }
    void startChecks() {
        QFETCH(Check, c);
        Fixture f;
        Main::Tb_tok &w = f.Start(); // no meter: commands fail silently
        Graph g(w);
        g.start(QLatin1String(c.low), QLatin1String(c.high), QLatin1String(c.n), c.frequencySweep);
        QCOMPARE(f.messages, c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        QCOMPARE(Main::FrequencyLow, c.frequencyLow);
        QCOMPARE(Main::FrequencyHigh, c.frequencyHigh);
        QCOMPARE(Main::SweepPoints, c.points);
        const bool starts = c.message.isEmpty();
        QCOMPARE(Main::SweepRunning, starts);
        QCOMPARE(w.tmr.isActive(), starts);
        QCOMPARE(g.ikol->text(), QLatin1String(c.n)); // the typed text stays
        if (starts) {
            QCOMPARE(g.marker->maximum(), c.points - 1);
            QCOMPARE(Main::CurrentFrequency, c.frequencyLow);
            QCOMPARE(Main::SweepFrequencies[c.points - 1], float(c.frequencyHigh));
        }
    }

    // START: F1, the first frequency, the automatic pair switched off, polling on.
    void startOnTheWire() {
        Fixture f;
        ScriptedMeter scripted;
        Sim::PtyHost &host = f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(Main::AutoParams);
        w.tmr.stop();
        host.takeRequests();
        g.start(QStringLiteral("1000"), QStringLiteral("2000"), QStringLiteral("3"), true);
        QCOMPARE(SettingsSent(host, 2), (Requests{Request(KeyF1)} + FrequenciesSent({1000})));
        QVERIFY(!Main::AutoParams);
        QVERIFY(!g.find<QCheckBox>("b_apar")->isChecked());
        QVERIFY(w.tmr.isActive());
        QCOMPARE(Main::CurrentFrequency, 1000);
        QCOMPARE(Main::SweepFrequencies[1], 1500.0f);
    }

    // A frequency sweep over the simulated meter: one point per tick, the next frequency after
    // each, the last one once more, the track bar following, the end by itself.
    void frequencySweepOverTheSimulator() {
        Fixture f;
        Meter &meter = f.AddMeter(1, 2, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w)); // the first frame: settings copied, C and D chosen
        meter.host->takeRequests();
        g.start(QStringLiteral("50000"), QStringLiteral("100000"), QStringLiteral("10"), true);
        QCOMPARE(SettingsSent(*meter.host, 2),
                 (Requests{Request(KeyF1)} + FrequenciesSent({50000})));
        const std::uint32_t next[] = {55555, 61111, 66666, 72222,  77777,
                                      83333, 88888, 94444, 100000, 100000};
        for (int i = 0; i < 10; ++i) {
            QVERIFY(TickForPoint(w));
            QVERIFY(StoredAsMeasured(i));
            QCOMPARE(Device::FrequencyHz, std::int32_t(i == 0 ? 50000 : next[i - 1]));
            QCOMPARE(SettingsSent(*meter.host, 1), FrequenciesSent({next[i]}));
            QCOMPARE(Main::SweepRunning, i < 9);
            QCOMPARE(g.marker->value(), std::min(i + 1, 9));
        }
        QCOMPARE(Main::SweepIndex, 9);
        QCOMPARE(meter.instrument->state().frequencyHz, 100000);
        // The capacitance over the run, plotted in the unit of its mean.
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Left), QStringLiteral("C"));
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Right), QStringLiteral("D"));
        QVERIFY2(g.text("ip1sr").startsWith(QStringLiteral("Cs  100.")),
                 qPrintable(g.text("ip1sr")));
        QVERIFY(g.text("ip1sr").endsWith(QStringLiteral(" nF")));
        for (double y : g.ys(0))
            QVERIFY(qAbs(y - 100.0) < 0.5);
        QCOMPARE(g.xs(0).last(), 100.0);

        QVERIFY(TickWithFrame(w)); // the run is over: nothing stored, nothing sent
        QVERIFY(SettingsUntilNow(*meter.host).isEmpty());
        QCOMPARE(Main::SweepIndex, 9);
    }

    // Only a frame at the point's planned frequency makes the point: one from before START, one
    // at the previous point's frequency (a meter that lags) and one near it are left out, and
    // a point the meter never reaches is given up, marked and left out of the graph, so that the
    // run still ends.
    void pointsOnlyAtThePlannedFrequency() {
        Fixture f;
        ScriptedMeter scripted;
        scripted.followsFrequency = false; // the script says where the meter is
        Sim::PtyHost &host = f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        scripted.frequency = 500;
        QVERIFY(TickWithFrame(w)); // the first frame after the search sets the program's frequency
        host.takeRequests();
        g.start(QStringLiteral("1000"), QStringLiteral("2000"), QStringLiteral("3"), true);
        QCOMPARE(SettingsSent(host, 2), (Requests{Request(KeyF1)} + FrequenciesSent({1000})));
        QVERIFY(TickWithFrame(w)); // the meter still where it was before START
        QCOMPARE(Main::SweepIndex, 0);

        scripted.frequency = 1000;
        QVERIFY(TickForPoint(w));
        QCOMPARE(Main::SweepIndex, 1);
        QCOMPARE(Main::SweepStatuses[0], 0);
        QCOMPARE(SettingsSent(host, 1), FrequenciesSent({1500})); // and none before

        QVERIFY(TickWithFrame(w)); // the meter lags at 1000 Hz: no point for 1500 Hz
        QCOMPARE(Main::SweepIndex, 1);
        QVERIFY(SettingsUntilNow(host).isEmpty());
        scripted.frequency = 1500;
        QVERIFY(TickForPoint(w));
        QCOMPARE(Main::SweepIndex, 2);
        QVERIFY(StoredAsMeasured(1));
        QCOMPARE(Main::SweepReportedFrequencies[1], 1500);
        QCOMPARE(SettingsSent(host, 1), FrequenciesSent({2000}));

        scripted.frequency = 2001; // never the planned 2000 Hz
        QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(Main::SweepStatuses[2], int(Device::ReadingStatus::OtherFrequency));
        QCOMPARE(Main::SweepReportedFrequencies[2], 2001);
        QVERIFY(Main::PointOverloaded(Main::SweepState, 2)); // no fit takes it
        QCOMPARE(SettingsUntilNow(host), FrequenciesSent({2000}));
        // Nor is it drawn: both lines end at the last point that is a measurement.
        QCOMPARE(g.xs(0), (QList<double>{1.0, 1.5}));
        QCOMPARE(g.xs(1), (QList<double>{1.0, 1.5}));
        QVERIFY(g.grafik->breaks().isEmpty());
    }

    // Samples at one frequency: points only at exactly Fmin, x counts the samples, nothing sent.
    void samplesAtOneFrequency() {
        Fixture f;
        ScriptedMeter scripted;
        Sim::PtyHost &host = f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        host.takeRequests();
        g.start(QStringLiteral("1000"), QString(), QStringLiteral("4"), false);
        QCOMPARE(SettingsSent(host, 2), (Requests{Request(KeyF1)} + FrequenciesSent({1000})));
        scripted.frequency = 999;
        QVERIFY(TickWithFrame(w));
        QCOMPARE(Main::SweepIndex, 0);
        scripted.frequency = 1000;
        for (int i = 0; i < 4; ++i) {
            scripted.magnitude = 1000.0f * float(i + 1);
            QVERIFY(TickForPoint(w));
        }
        QVERIFY(!Main::SweepRunning);
        QVERIFY(SettingsUntilNow(host).isEmpty());
        QCOMPARE(g.xs(0), (QList<double>{1.0, 2.0, 3.0, 4.0}));
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Bottom), QStringLiteral("Отсчеты"));
        QCOMPARE(Main::FrequencyLow, 1000);
        QCOMPARE(Main::FrequencyHigh, 1000);
        QCOMPARE(Main::SweepSamples[Device::ParZ][3], 4000000.0f); // mΩ
    }

    // A longer second run shows its new points and, beyond them, what the first run left.
    void secondLongerRun() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        g.find<QCheckBox>("b_apar")->click(); // by hand: R and Q
        QCOMPARE(Main::Param1Index, 2);
        scripted.phase = 0.0f;
        scripted.magnitude = 100.0f;
        g.start(QStringLiteral("1000"), QString(), QStringLiteral("3"), false);
        for (int i = 0; i < 3; ++i)
            QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        scripted.magnitude = 200.0f;
        g.start(QStringLiteral("1000"), QString(), QStringLiteral("5"), false);
        QCOMPARE(g.ys(0), (QList<double>{100.0, 100.0, 100.0})); // untouched until a point
        QVERIFY(TickForPoint(w));
        QCOMPARE(g.ys(0), (QList<double>{200.0})); // points not yet taken are not drawn
        QCOMPARE(g.text("ip1sr"), QStringLiteral("Rs  200.0000 Om"));
    }

    // Either box hides its curve at the next redraw and brings it back whole; a click counts the
    // point not yet taken in the statistics.
    void seriesBoxes() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        g.find<QCheckBox>("b_apar")->click();
        scripted.phase = 0.0f;
        scripted.magnitude = 10.0f;
        g.start(QStringLiteral("1000"), QString(), QStringLiteral("4"), false);
        QVERIFY(TickForPoint(w));
        QVERIFY(TickForPoint(w));
        QCOMPARE(g.text("ip1min"), QStringLiteral("Rs  10.00000 Om"));

        g.p2on->click();
        QVERIFY(g.grafik->points(1).isEmpty());
        QVERIFY(g.grafik->isSeriesActive(1));
        QCOMPARE(g.grafik->points(0).size(), 2); // the points taken
        // Point 2 is not taken yet and still holds the start-up zero.
        QCOMPARE(g.text("ip1min"), QStringLiteral("Rs  0.000000 mOm"));
        QVERIFY(TickForPoint(w));
        QVERIFY(g.grafik->points(1).isEmpty());
        g.p2on->click();
        QCOMPARE(g.grafik->points(1).size(), 3);
        g.p1on->click();
        QVERIFY(g.grafik->points(0).isEmpty());
        QCOMPARE(g.grafik->points(1).size(), 3);
    }

    // A bad START leaves a run going; a good one starts it afresh.
    void startDuringARun() {
        Fixture f;
        ScriptedMeter scripted;
        Sim::PtyHost &host = f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        host.takeRequests();
        g.start(QStringLiteral("1000"), QString(), QStringLiteral("5"), false);
        QCOMPARE(SettingsSent(host, 2), (Requests{Request(KeyF1)} + FrequenciesSent({1000})));
        QVERIFY(TickForPoint(w));
        QVERIFY(TickForPoint(w));
        QCOMPARE(Main::SweepIndex, 2);
        g.start(QStringLiteral("20"), QString(), QStringLiteral("8"), false);
        QCOMPARE(f.messages, QStringList{Invalid});
        QVERIFY(Main::SweepRunning);
        QCOMPARE(Main::SweepIndex, 2);
        QCOMPARE(Main::SweepPoints, 5);
        QVERIFY(w.tmr.isActive());
        QVERIFY(SettingsUntilNow(host).isEmpty());
        QVERIFY(TickForPoint(w));
        QCOMPARE(Main::SweepIndex, 3);

        g.start(QStringLiteral("1000"), QString(), QStringLiteral("8"), false);
        QCOMPARE(Main::SweepIndex, 0);
        QCOMPARE(Main::SweepPoints, 8);
        QCOMPARE(g.marker->value(), 0);
        QCOMPARE(g.marker->maximum(), 7);
        QVERIFY(Main::SweepRunning);
    }

    // The panel can be put away during a run; the run goes on.
    void hiddenPanelRunOn() {
        Fixture f;
        ScriptedMeter scripted;
        f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QCheckBox *graph = g.find<QCheckBox>("ChBoGraph");
        QCheckBox *calibration = g.find<QCheckBox>("ChBoClb");
        graph->click();
        g.start(QStringLiteral("1000"), QString(), QStringLiteral("2"), false);
        calibration->click();
        QVERIFY(!graph->isChecked());
        QVERIFY(g.find<QWidget>("PaGraph")->isHidden());
        QVERIFY(TickForPoint(w));
        QVERIFY(TickForPoint(w));
        QVERIFY(!Main::SweepRunning);
        // Back to the graph: the calibration panel goes, through its own handler.
        graph->click();
        QVERIFY(!calibration->isChecked());
        QVERIFY(g.find<QWidget>("PaClb")->isHidden());
        QCOMPARE(w.width(), 1233);
    }

    // A log run over the simulator: the meter gets exactly the planned frequencies, in order,
    // and the axis turns logarithmic by itself.
    void logRunOverTheSimulator() {
        Fixture f;
        Meter &meter = f.AddMeter(1, 2, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        meter.host->takeRequests();
        g.find<QComboBox>("b_spacing")->setCurrentIndex(1);
        g.start(QStringLiteral("1000"), QStringLiteral("100000"), QStringLiteral("5"), true);
        QCOMPARE(SettingsSent(*meter.host, 2),
                 (Requests{Request(KeyF1)} + FrequenciesSent({1000})));
        const std::uint32_t next[] = {3162, 10000, 31623, 100000, 100000};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(TickForPoint(w));
            QCOMPARE(SettingsSent(*meter.host, 1), FrequenciesSent({next[i]}));
        }
        QVERIFY(!Main::SweepRunning);
        QVERIFY(g.find<QCheckBox>("ChBoLogAxis")->isChecked());
        QVERIFY(g.grafik->isLogAxis());
        QCOMPARE(g.grafik->bottomLabels().first(), QStringLiteral("1 kHz"));
        // Back to linear spacing: the designed run and axis again.
        g.find<QComboBox>("b_spacing")->setCurrentIndex(0);
        g.start(QStringLiteral("1000"), QStringLiteral("100000"), QStringLiteral("5"), true);
        QVERIFY(!g.grafik->isLogAxis());
        QCOMPARE(Main::SweepFrequencies[1], 25750.0f);
    }

    // A list file: refused with its line and reason before anything is sent; taken, its
    // frequencies in the file's order, its length as N and its lowest and highest as bounds.
    void listFileRun() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.txt"));
        const auto write = [&path](const QByteArray &text) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        Framework::SetOpenFileHandler([&path](const QString &) { return path; });
        Fixture f;
        ScriptedMeter scripted;
        Sim::PtyHost &host = f.AddPeer(1, scripted.responder());
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        w.tmr.stop();
        g.find<QPushButton>("BuListFile")->click();
        Framework::SetOpenFileHandler({});
        QCOMPARE(g.find<QComboBox>("b_spacing")->currentIndex(), 2);
        QCOMPARE(g.text("LaListFile"), QStringLiteral("list.txt"));
        write("# parts\n2000\n30\n20000000\n");
        host.takeRequests();
        g.start(QStringLiteral("1000"), QStringLiteral("2000"), QStringLiteral("10"), true);
        QCOMPARE(f.messages, QStringList{QStringLiteral("Список частот не принят:\n%1\n\n"
                                                        "строка 4: частота вне 25 … 10000000 Гц")
                                             .arg(QDir::toNativeSeparators(path))});
        QVERIFY(!Main::SweepRunning);
        QVERIFY(SettingsUntilNow(host).isEmpty());

        write("2000\n30\n7000 # last\n");
        f.messages.clear();
        g.start(QStringLiteral("1000"), QStringLiteral("2000"), QStringLiteral("10"), true);
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(SettingsSent(host, 2), (Requests{Request(KeyF1)} + FrequenciesSent({2000})));
        QCOMPARE(Main::SweepPoints, 3);
        QCOMPARE(Main::FrequencyLow, 30);
        QCOMPARE(Main::FrequencyHigh, 7000);
        QCOMPARE(Main::SweepFrequencies[2], 7000.0f);
        QCOMPARE(g.marker->maximum(), 2);
    }

    // The same run asked of the window's START and of impedix-cli's sweep options gets the same
    // points: both go through the one planner.
    void samePointsAsTheCommandLine_data() {
        QTest::addColumn<QStringList>("options"); // of impedix-cli sweep
        QTest::addColumn<int>("spacing");         // b_spacing's index
        QTest::addColumn<bool>("frequencySweep");
        QTest::newRow("linear") << QStringList{"--from", "1000", "--to", "100000", "--points", "5"}
                                << 0 << true;
        QTest::newRow("linear, full band")
            << QStringList{"--from", "25", "--to", "10000000", "--points", "256"} << 0 << true;
        QTest::newRow("log") << QStringList{"--from",   "25", "--to",      "10000000",
                                            "--points", "97", "--spacing", "log"}
                             << 1 << true;
        QTest::newRow("samples") << QStringList{"--frequency", "3000", "--samples", "7"} << 0
                                 << false;
    }
    void samePointsAsTheCommandLine() {
        QFETCH(QStringList, options);
        QFETCH(int, spacing);
        QFETCH(bool, frequencySweep);
        const Cli::Invocation cli = Cli::ParseInvocation(QStringList{"sweep"} + options);
        QVERIFY2(cli.error.isEmpty(), qPrintable(cli.error));
        QVERIFY(Cli::CheckSweep(cli.sweep, KT44).isEmpty());
        const Sweep::Plan planned =
            Sweep::PlanRun(Cli::SweepRequest(cli.sweep), Device::CapabilitiesOf(KT44));
        QVERIFY(planned.ok());

        Fixture f;
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        g.find<QComboBox>("b_spacing")->setCurrentIndex(spacing);
        g.start(QString::number(cli.sweep.fromHz), QString::number(cli.sweep.toHz),
                QString::number(cli.sweep.points), frequencySweep);
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(Main::SweepPoints, int(planned.points.size()));
        for (int i = 0; i < Main::SweepPoints; ++i)
            QCOMPARE(Main::SweepFrequencies[i], float(planned.points[std::size_t(i)]));
    }

    // The demo part over the full band in log steps: the resonance marker near 3.56 MHz; a
    // held run survives START and the same part deviates from it by well under a per cent.
    void resonanceReferenceAndDeviation() {
        Sim::Component demo;
        demo.resistance = 3.0;
        demo.inductance = 20e-9;
        demo.capacitance = 100e-9;
        Fixture f;
        f.AddMeter(1, 2, demo);
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        g.find<QComboBox>("b_spacing")->setCurrentIndex(1);
        g.start(QStringLiteral("25"), QStringLiteral("10000000"), QStringLiteral("40"), true);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        w.PlaceResonanceMarker();
        QCOMPARE(g.grafik->markers().size(), 1);
        const double f0 = 1.0 / (2.0 * M_PI * std::sqrt(20e-9 * 100e-9)) * 0.001; // kHz
        QVERIFY2(std::fabs(g.grafik->markers().first() / f0 - 1.0) < 0.02,
                 qPrintable(QString::number(g.grafik->markers().first())));
        QVERIFY2(g.grafik->markerLegend().startsWith(QStringLiteral("1: 3.5")),
                 qPrintable(g.grafik->markerLegend()));

        w.HoldReference();
        QCOMPARE(w.Reference().size(), 40);
        g.start(QStringLiteral("25"), QStringLiteral("10000000"), QStringLiteral("40"), true);
        QCOMPARE(w.Reference().size(), 40);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        w.ShowDeviation(Main::Tb_tok::DeviationView::Percent);
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Left).left(2), QStringLiteral("Δ%"));
        QCOMPARE(g.ys(0).size(), 40);
        for (double y : g.ys(0))
            QVERIFY2(std::fabs(y) < 1.0, qPrintable(QString::number(y)));
        w.ClearReference();
        QVERIFY(w.Reference().empty());
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Left).left(1), QStringLiteral("C"));
    }

    // A bias run from the fields: a point per new bias, the bias field following it, the points
    // at the planned volts, and the bias the meter had before put back at the end.
    void biasRunOverTheSimulator() {
        Fixture f;
        Meter &meter = f.AddMeter(1, KT44, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        QVERIFY(w.Session().SetBias(250));
        QVERIFY(TickWithFrame(w));
        QCOMPARE(meter.instrument->state().biasMillivolts, 250);

        g.find<QComboBox>("b_swept")->setCurrentIndex(1);
        g.istart->setText(QStringLiteral("0"));
        g.istop->setText(QStringLiteral("1,5"));
        g.ikol->setText(QStringLiteral("4"));
        g.bgraf->click();
        QVERIFY(f.messages.isEmpty());
        QVERIFY(w.Session().QuantityRunGoing());
        QCOMPARE(g.bgraf->text(), QStringLiteral("STOP"));
        const std::int32_t planned[] = {0, 500, 1000, 1500};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(TextOf(w, "i_bias"), Main::BiasText(planned[i]));
            QVERIFY(TickForPoint(w));
            QCOMPARE(Main::SweepReportedBiases[i], planned[i]);
        }
        QVERIFY(!Main::SweepRunning);
        QCOMPARE(g.xs(0), (QList<double>{0.0, 0.5, 1.0, 1.5}));
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Bottom), QStringLiteral("Смещение, В"));
        QVERIFY(!g.grafik->isLogAxis());
        QCOMPARE(meter.instrument->state().biasMillivolts, 250);
        QCOMPARE(TextOf(w, "i_bias"), Main::BiasText(250));
        QCOMPARE(g.bgraf->text(), QStringLiteral("START"));
        QVERIFY(g.grafik->addMarker(0.5));
        QVERIFY2(g.grafik->markerLegend().startsWith(QStringLiteral("1: 0,5 В")),
                 qPrintable(g.grafik->markerLegend()));

        // A held run compares along the volts; the fit asks for frequencies.
        w.HoldReference();
        w.ShowDeviation(Main::Tb_tok::DeviationView::Delta);
        QCOMPARE(g.xs(0), (QList<double>{0.0, 0.5, 1.0, 1.5}));
        for (double y : g.ys(0))
            QVERIFY2(std::fabs(y) < 1.0, qPrintable(QString::number(y)));
        w.FitSweep(QStringLiteral("auto"));
        QCOMPARE(f.messages, QStringList{QStringLiteral("Подбор схемы: нужен график по частоте.")});
        QVERIFY(!w.FitShown());
    }

    // A level run along the meter's list from the level in istart to the one in istop, drawn in
    // volts, and the level set before it put back.
    void levelRunOverTheSimulator() {
        Fixture f;
        Meter &meter = f.AddMeter(1, KT44, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        w.Session().SetLevel(3); // 50 mV
        g.find<QComboBox>("b_swept")->setCurrentIndex(2);
        g.istart->setText(QStringLiteral("1"));
        g.istop->setText(QStringLiteral("0.1"));
        g.bgraf->click();
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(Main::SweepPoints, 3);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        QCOMPARE(g.xs(0), (QList<double>{1.0, 0.5, 0.1}));
        QCOMPARE(g.grafik->axisTitle(Chart::Axis::Bottom), QStringLiteral("Уровень, В"));
        QCOMPARE(meter.instrument->state().levelMillivolts, 50);
        QCOMPARE(g.find<QComboBox>("b_level")->currentIndex(), 3);
        QCOMPARE(w.Session().LevelIndex(), 3);
    }

    // The meter's own level before any was chosen here (the window shows 1 V) is what a level
    // run should leave it at.
    void levelRunBeforeAnyLevelWasSet() {
        Fixture f;
        Meter &meter = f.AddMeter(1, KT44, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        QCOMPARE(meter.instrument->state().levelMillivolts, 1000);
        QCOMPARE(TextOf(w, "b_level"), QStringLiteral("1 V"));
        g.find<QComboBox>("b_swept")->setCurrentIndex(2);
        g.istart->setText(QStringLiteral("0,01"));
        g.istop->setText(QStringLiteral("0,005"));
        g.bgraf->click();
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        QCOMPARE(g.xs(0), (QList<double>{0.01, 0.005}));
        QCOMPARE(meter.instrument->state().levelMillivolts, 1000);
    }

    // START stops a bias run going, closing the window ends one, each with the bias put back;
    // refusals are said and send nothing.
    void biasRunStoppedAndRefused() {
        Fixture f;
        Meter &meter = f.AddMeter(1, KT44, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        QVERIFY(w.Session().SetBias(700));
        QVERIFY(TickWithFrame(w));
        g.find<QComboBox>("b_swept")->setCurrentIndex(1);
        const auto start = [&g](const char *low, const char *high) {
            g.istart->setText(QString::fromUtf8(low));
            g.istop->setText(QString::fromUtf8(high));
            g.ikol->setText(QStringLiteral("5"));
            g.bgraf->click();
        };

        start("41", "0");
        start("0", "x");
        Find<QRadioButton>(w, "RadioButton2")->click(); // the external source
        start("0", "1");
        QCOMPARE(
            f.messages,
            (QStringList{QStringLiteral("Смещение вне 0…40 В"), Invalid,
                         QStringLiteral("Развёртка смещения только от внутреннего источника")}));
        QVERIFY(!Main::SweepRunning);
        f.messages.clear();
        Find<QRadioButton>(w, "RadioButton1")->click();

        start("1", "2");
        QVERIFY(TickForPoint(w));
        QCOMPARE(meter.instrument->state().biasMillivolts, 1250);
        g.bgraf->click();
        QVERIFY(!Main::SweepRunning);
        QVERIFY(!w.Session().QuantityRunGoing());
        QCOMPARE(meter.instrument->state().biasMillivolts, 700);
        QCOMPARE(g.bgraf->text(), QStringLiteral("START"));

        start("1", "2");
        QVERIFY(TickForPoint(w));
        QCOMPARE(meter.instrument->state().biasMillivolts, 1250);
        w.close();
        QVERIFY(!w.Session().QuantityRunGoing());
        QCOMPARE(meter.instrument->state().biasMillivolts, 700);
        QVERIFY(f.messages.isEmpty());
    }

    // A meter that no longer answers keeps the run's bias: the window says how much.
    void biasLeftOnASilentMeter() {
        Fixture f;
        Meter &meter = f.AddMeter(1, KT44, Capacitor(100e-9));
        Main::Tb_tok &w = f.Start();
        Graph g(w);
        QVERIFY(TickWithFrame(w));
        g.find<QComboBox>("b_swept")->setCurrentIndex(1);
        g.istart->setText(QStringLiteral("1,25"));
        g.istop->setText(QStringLiteral("3"));
        g.ikol->setText(QStringLiteral("3"));
        g.bgraf->click();
        QVERIFY(TickForPoint(w)); // 1.25 V taken, 2.13 V set
        const int left = meter.instrument->state().biasMillivolts;
        QCOMPARE(left, 2130);
        QSignalSpy told(&w.Session(), &Core::Session::biasNotRestored);
        meter.host->setFault(Sim::Fault::Silence);
        g.bgraf->click();
        QVERIFY(!w.Session().QuantityRunGoing());
        QCOMPARE(g.bgraf->text(), QStringLiteral("START"));
        QCOMPARE(told.size(), 1);
        const std::int32_t reported = told.first().first().value<std::int32_t>();
        QCOMPARE(f.messages, QStringList{Main::BiasLeftText(reported)});
        QCOMPARE(reported, left);
    }
};

QTEST_MAIN(TestSweepWindow)
#include "test_sweep_window.moc"
