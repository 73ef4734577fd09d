// The equivalent-circuit fit in the window: the chart menu's model choice over a log run of the
// demo part, the result's text and the dashed curves, what clears them, the plain refusals, and
// the result dialog's copy and close.
#include "cli/fit_output.h"
#include "cli/invocation.h"
#include "fit/fit_report.h"
#include "link/capabilities.h"
#include "link/device.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_store.h"
#include "tests/ui/remote_client.h"
#include "tests/ui/sweep_ticks.h"
#include "tests/ui/window_fixture.h"
#include "ui/chart/sweep_chart.h"
#include "ui/fit_dialog.h"
#include "ui/residual_chart/residual_chart.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>

#include <cmath>

using namespace TestWindow;

namespace {

Sim::Component DemoPart() {
    Sim::Component part;
    part.resistance = 3.0;
    part.inductance = 20e-9;
    part.capacitance = 100e-9;
    return part;
}

// The texts the result dialog would have shown, while the test runs.
struct FitTexts {
    QStringList shown;
    FitTexts() {
        Main::SetFitResultHandler([this](const QString &text) { shown << text; });
    }
    ~FitTexts() { Main::SetFitResultHandler({}); }
};

// The chart's context menu as the right button opens it; the item of that text in it or in its
// fit submenu.
QAction *MenuItem(Main::Tb_tok &w, const QString &text) {
    for (QMenu *old : w.findChildren<QMenu *>(QStringLiteral("grafikMenu")))
        delete old;
    w.grafikContextPopup(QPoint(20, 20));
    QMenu *menu = w.findChild<QMenu *>(QStringLiteral("grafikMenu"));
    if (!menu) return nullptr;
    QList<QAction *> actions = menu->actions();
    if (QMenu *fit = menu->findChild<QMenu *>(QStringLiteral("fitMenu"))) actions += fit->actions();
    for (QAction *action : actions)
        if (action->text() == text) return action;
    return nullptr;
}

void Run(Main::Tb_tok &w, const char *low, const char *high, const char *n, bool frequencySweep,
         int spacing) {
    auto *box = Find<QCheckBox>(w, "ChBoF");
    if (box->isChecked() != frequencySweep) box->click();
    Find<QComboBox>(w, "b_spacing")->setCurrentIndex(spacing);
    Find<QLineEdit>(w, "istart")->setText(QString::fromLatin1(low));
    Find<QLineEdit>(w, "istop")->setText(QString::fromLatin1(high));
    Find<QLineEdit>(w, "ikol")->setText(QString::fromLatin1(n));
    Find<QPushButton>(w, "bgraf")->click();
}

// The fit runs off the window's thread: true once its result is shown (or said).
bool FitDone(Main::Tb_tok &w) {
    return QTest::qWaitFor([&w] { return !w.FitRunning(); }, 60000);
}

bool Within(double got, double expected, double share) {
    return std::fabs(got / expected - 1.0) < share;
}

} // namespace

class TestFitWindow : public QObject {
    Q_OBJECT

private slots:
    // auto over the demo part: capacitor with its three elements, the text in the dialog, a
    // dashed curve over each shown series that follows the points; cleared by the reset, a new
    // fit of too few points and a new START.
    // One request, one plan, one fit: the window's START, impedix-cli's sweep options and a SCPI
    // client's SWE:* plan the same points, and the window's fit, impedix-cli's --fit and FIT?
    // fit the same run to the same values.
    void sameRunSamePlanAndFitInEveryFrontEnd() {
        FitTexts texts;
        Fixture f;
        f.AddMeter(1, 2, DemoPart());
        Main::Tb_tok &w = f.Start();
        TestWindow::Served served(w.Session(), w);
        QVERIFY(served.listening);
        const std::unique_ptr<QTcpSocket> client = served.client();
        QVERIFY(client);

        const Cli::Invocation cli = Cli::ParseInvocation(
            {"sweep", "--from", "1000", "--to", "10000000", "--points", "13", "--spacing", "log"});
        QVERIFY2(cli.error.isEmpty(), qPrintable(cli.error));
        const Sweep::Plan cliPlan =
            Sweep::PlanRun(Cli::SweepRequest(cli.sweep), Device::CapabilitiesOf(2));
        QVERIFY(cliPlan.ok());
        const QList<QByteArray> scpiPlan =
            TestWindow::Query(*client, "SWE:SPAC LOG;STAR 1000;STOP 1E7;POIN 13;:LIST:FREQ?")
                .split(',');
        QVERIFY(TickWithFrame(w));
        Run(w, "1000", "10000000", "13", true, 1);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        QCOMPARE(Main::SweepPoints, 13);
        QCOMPARE(int(cliPlan.points.size()), 13);
        QCOMPARE(scpiPlan.size(), 13);
        for (int i = 0; i < 13; ++i) {
            const double window = Main::SweepFrequencies[i];
            QCOMPARE(window, double(cliPlan.points[std::size_t(i)]));
            // SCPI numbers carry six digits.
            QVERIFY2(std::fabs(scpiPlan[i].toDouble() / window - 1.0) < 1e-5,
                     qPrintable(QStringLiteral("%1: %2 against %3")
                                    .arg(i)
                                    .arg(QString::fromLatin1(scpiPlan.join(',')))
                                    .arg(window)));
        }

        w.FitSweep(QStringLiteral("auto"));
        QVERIFY(FitDone(w));
        QVERIFY(w.FitShown());
        const QJsonObject fromWindow = Fit::FitToJson(*w.FitShown());
        const QJsonObject fromCli = Fit::FitToJson(Cli::FitTakenPoints("auto", Main::SweepState));
        const QJsonObject fromScpi =
            QJsonDocument::fromJson(TestWindow::Query(*client, "FIT? AUTO")).object();
        QCOMPARE(fromWindow.value("model").toString(), QStringLiteral("capacitor"));
        for (const QJsonObject &other : {fromCli, fromScpi}) {
            QCOMPARE(other.value("model"), fromWindow.value("model"));
            QCOMPARE(other.value("points_used"), fromWindow.value("points_used"));
            QCOMPARE(other.value("verdict"), fromWindow.value("verdict"));
            const QJsonObject mine = fromWindow.value("elements").toObject();
            const QJsonObject theirs = other.value("elements").toObject();
            QCOMPARE(theirs.keys(), mine.keys());
            for (const QString &key : mine.keys()) {
                const double a = mine.value(key).toObject().value("value").toDouble();
                const double b = theirs.value(key).toObject().value("value").toDouble();
                QVERIFY2(std::fabs(b / a - 1.0) < 1e-12,
                         qPrintable(QStringLiteral("%1: %2 against %3").arg(key).arg(b).arg(a)));
            }
        }
    }

    void autoFitOfTheDemoPart() {
        FitTexts texts;
        Fixture f;
        f.AddMeter(1, 2, DemoPart());
        Main::Tb_tok &w = f.Start();
        auto *chart = Find<Chart::SweepChart>(w, "grafik");
        QVERIFY(TickWithFrame(w));
        Run(w, "25", "10000000", "60", true, 1);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        QAction *fitAuto = MenuItem(w, QStringLiteral("авто"));
        QVERIFY(fitAuto);
        QVERIFY(!MenuItem(w, QStringLiteral("Сбросить подбор"))->isEnabled());
        MenuItem(w, QStringLiteral("авто"))->trigger();
        // Its result comes through the event loop: until then no second fit can be asked for.
        QVERIFY(w.FitRunning());
        QVERIFY(MenuItem(w, QStringLiteral("авто")));
        QVERIFY(!w.findChild<QMenu *>(QStringLiteral("fitMenu"))->isEnabled());
        w.FitSweep(QStringLiteral("series-rc"));
        QVERIFY(FitDone(w));
        QVERIFY(MenuItem(w, QStringLiteral("авто")));
        QVERIFY(w.findChild<QMenu *>(QStringLiteral("fitMenu"))->isEnabled());

        QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join('\n')));
        QCOMPARE(texts.shown.size(), 1);
        QVERIFY2(texts.shown.first().startsWith(
                     QStringLiteral("Схема: конденсатор (R–L–C последовательно), выбрана "
                                    "автоматически\nТочек: 60, не учтено 0\n")),
                 qPrintable(texts.shown.first()));
        QVERIFY(w.FitShown());
        const std::vector<Fit::ElementValue> &e = w.FitShown()->elements;
        QCOMPARE(e.size(), std::size_t(3)); // ESR, ESL, C
        QVERIFY2(Within(e[0].value, 3.0, 0.01), qPrintable(QString::number(e[0].value)));
        QVERIFY2(Within(e[1].value, 20e-9, 0.01), qPrintable(QString::number(e[1].value)));
        QVERIFY2(Within(e[2].value, 100e-9, 0.01), qPrintable(QString::number(e[2].value)));
        QVERIFY(texts.shown.first().contains(QStringLiteral("\n  C   = 100,0")));
        // The verdict in the window's words, then the Kramers-Kronig check of the same points.
        QVERIFY2(texts.shown.first().contains(QStringLiteral("Вывод: подбор надёжен.\n"
                                                             "Крамерс–Крониг: данные согласованы")),
                 qPrintable(texts.shown.first()));

        for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
            const QList<QPointF> points = chart->points(s);
            const QList<QPointF> fitted = chart->fittedPoints(s);
            QCOMPARE(fitted.size(), points.size());
            // Well below resonance the capacitor's curve lies on the measured points.
            for (int k = 0; k < 20; ++k) {
                QCOMPARE(fitted[k].x(), points[k].x());
                QVERIFY2(std::fabs(fitted[k].y() - points[k].y()) <=
                             0.01 * std::fabs(points[k].y()) + 1e-6,
                         qPrintable(QStringLiteral("%1: %2 against %3")
                                        .arg(k)
                                        .arg(fitted[k].y())
                                        .arg(points[k].y())));
            }
        }

        QAction *reset = MenuItem(w, QStringLiteral("Сбросить подбор"));
        QVERIFY(reset->isEnabled());
        reset->trigger();
        QVERIFY(!w.FitShown());
        QVERIFY(chart->fittedPoints(0).isEmpty() && chart->fittedPoints(1).isEmpty());

        MenuItem(w, QStringLiteral("series-rc"))->trigger();
        QVERIFY(FitDone(w));
        QVERIFY(w.FitShown());
        QCOMPARE(w.FitShown()->model, Fit::Model::SeriesRc);
        QVERIFY(!chart->fittedPoints(0).isEmpty());
        Run(w, "1000", "2000", "2", true, 0);
        QVERIFY(!w.FitShown());
        QVERIFY(chart->fittedPoints(0).isEmpty() && chart->fittedPoints(1).isEmpty());

        // Two points cannot fix the three elements of a coil: said plainly, nothing drawn.
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        MenuItem(w, QStringLiteral("inductor"))->trigger();
        QVERIFY(FitDone(w));
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.messages.first().startsWith(QStringLiteral("Подбор схемы: мало точек.")),
                 qPrintable(f.messages.first()));
        QVERIFY(f.messages.first().contains(QStringLiteral("inductor нужно не меньше 4")));
        QVERIFY(!w.FitShown());
        QCOMPARE(texts.shown.size(), 2); // auto and series-rc
    }

    // "Схема…" asks for a circuit string: a wrong one is said with its position and asked again
    // as typed; a right one is fitted like a model, drawn and worded; the last one is offered
    // the next time.
    void circuitStringFromTheMenu() {
        FitTexts texts;
        Fixture f;
        f.AddMeter(1, 2, DemoPart());
        Main::Tb_tok &w = f.Start();
        QVERIFY(TickWithFrame(w));
        Run(w, "25", "10000000", "40", true, 1);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        const auto ask = [&w]() -> QInputDialog * {
            QAction *entry = MenuItem(w, QStringLiteral("Схема…"));
            if (!entry) return nullptr;
            entry->trigger();
            return w.findChild<QInputDialog *>(QStringLiteral("CircuitAsk"));
        };
        QInputDialog *dialog = ask();
        QVERIFY(dialog);
        QCOMPARE(dialog->textValue(), QStringLiteral("R0-p(R1,Q1)"));
        dialog->setTextValue(QStringLiteral("R0-L0-p(C0"));
        dialog->accept();
        QCOMPARE(f.messages, QStringList{QStringLiteral(
                                 "Схема «R0-L0-p(C0»: позиция 11 — не закрыта скобка p(.")});
        QVERIFY(!w.FitRunning());
        QInputDialog *again = w.findChild<QInputDialog *>(QStringLiteral("CircuitAsk"));
        QVERIFY(again && again->isVisible());
        QCOMPARE(again->textValue(), QStringLiteral("R0-L0-p(C0"));

        again->setTextValue(QStringLiteral("r0-l0-c0"));
        again->accept();
        QVERIFY(FitDone(w));
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(w.FitShown());
        QCOMPARE(w.FitShown()->circuit, QStringLiteral("R0-L0-C0"));
        const std::vector<Fit::ElementValue> &e = w.FitShown()->elements;
        QCOMPARE(e.size(), std::size_t(3));
        QVERIFY2(Within(e[0].value, 3.0, 0.01), qPrintable(QString::number(e[0].value)));
        QVERIFY2(Within(e[1].value, 20e-9, 0.01), qPrintable(QString::number(e[1].value)));
        QVERIFY2(Within(e[2].value, 100e-9, 0.01), qPrintable(QString::number(e[2].value)));
        QCOMPARE(texts.shown.size(), 1);
        QVERIFY2(texts.shown.first().startsWith(QStringLiteral("Схема: R0-L0-C0\n")),
                 qPrintable(texts.shown.first()));
        auto *chart = Find<Chart::SweepChart>(w, "grafik");
        QCOMPARE(chart->fittedPoints(0).size(), chart->points(0).size());

        dialog = ask();
        QVERIFY(dialog);
        QCOMPARE(dialog->textValue(), QStringLiteral("r0-l0-c0"));
        dialog->reject();
    }

    // A run of samples at one frequency, and no run at all.
    void refusals() {
        FitTexts texts;
        Fixture f;
        f.AddMeter(1, 2, DemoPart());
        Main::Tb_tok &w = f.Start();
        w.FitSweep(QStringLiteral("auto"));
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages.first().startsWith(QStringLiteral("Нет данных")));
        QVERIFY(TickWithFrame(w));
        Run(w, "1000", "1000", "5", false, 0);
        while (Main::SweepRunning)
            QVERIFY(TickForPoint(w));
        w.FitSweep(QStringLiteral("auto"));
        QCOMPARE(f.messages.size(), 2);
        QCOMPARE(f.messages.last(), QStringLiteral("Подбор схемы: нужен график по частоте."));
        QVERIFY(texts.shown.isEmpty());
        QVERIFY(!w.FitShown());
    }

    // The dialog shows the text, copies it whole and closes.
    void resultDialog() {
        const QString text = QStringLiteral("capacitor (R-L-C in series)\n  C    = 100.00 nF");
        Main::FitDialog dialog(text);
        dialog.show();
        QCOMPARE(dialog.findChild<QPlainTextEdit *>(QStringLiteral("FitText"))->toPlainText(),
                 text);
        // The residuals under the text: the real and imaginary parts by frequency, the axis
        // around the largest.
        dialog.setResiduals({{100.0, 0.5, -0.2}, {1000.0, -1.5, 0.1}});
        const auto *residuals =
            dialog.findChild<Residuals::ResidualChart *>(QStringLiteral("ChResiduals"));
        QVERIFY(residuals);
        QCOMPARE(residuals->realPoints(), (QList<QPointF>{{100.0, 0.5}, {1000.0, -1.5}}));
        QCOMPARE(residuals->imaginaryPoints(), (QList<QPointF>{{100.0, -0.2}, {1000.0, 0.1}}));
        QCOMPARE(residuals->percentSpan(), 2.0);
        QGuiApplication::clipboard()->clear();
        Find<QPushButton>(dialog, "BuCopy")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        Find<QPushButton>(dialog, "BuClose")->click();
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestFitWindow)
#include "test_fit_window.moc"
