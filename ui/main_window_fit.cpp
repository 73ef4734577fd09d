// The equivalent-circuit fit from the chart's menu: the taken points fitted when asked (never in
// the tick, and off the window's thread), the result in its dialog with its residuals and the
// fitted curve of both shown parameters.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "fit/circuit_string.h"
#include "fit/fit_report.h"
#include "fit/sweep_points.h"
#include "link/device.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"
#include "ui/chart/sweep_chart.h"
#include "ui/fit_dialog.h"
#include "ui/fit_runner.h"
#include "ui/fit_text.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"

#include <QInputDialog>
#include <QMenu>
#include <QStatusBar>

namespace Main {

namespace {

const QString CircuitExample = QStringLiteral("R0-p(R1,Q1)");

} // namespace

void Tb_tok::AddFitActions(QMenu *menu) {
    menu->addSeparator();
    QMenu *models = menu->addMenu(QStringLiteral("Подбор схемы"));
    models->setObjectName(QStringLiteral("fitMenu"));
    // No second fit while one runs.
    models->setEnabled(!FitRunning());
    models->addAction(QStringLiteral("авто"), this, [this] { FitSweep(QStringLiteral("auto")); });
    models->addSeparator();
    for (Fit::Model model : Fit::AllModels()) {
        const QString name = QString::fromLatin1(Fit::Info(model).name);
        models->addAction(name, this, [this, name] { FitSweep(name); });
    }
    models->addSeparator();
    models->addAction(QStringLiteral("Схема…"), this, [this] { AskCircuit(); });
    QAction *clear =
        menu->addAction(QStringLiteral("Сбросить подбор"), this, [this] { ClearFit(); });
    clear->setEnabled(m_fit.has_value());
}

bool Tb_tok::FitRunning() const {
    return m_fitRunner && m_fitRunner->busy();
}

void Tb_tok::FitSweep(const QString &model) {
    if (FitRunning()) {
        statusBar()->showMessage(QStringLiteral("Подбор схемы уже идёт"), 3000);
        return;
    }
    if (!SweepTaken()) return;
    if (!ui->PaGraph->form().ChBoF->isChecked() || SweepQuantity != Sweep::Quantity::Frequency) {
        m_core->Tell(QStringLiteral("Подбор схемы: нужен график по частоте."));
        return;
    }
    if (!m_fitRunner) {
        m_fitRunner = new FitRunner(this);
        connect(m_fitRunner, &FitRunner::finished, this,
                [this](const FitOutcome &outcome) { ShowFitOutcome(outcome); });
    }
    m_fit.reset();
    RedrawGraph();
    m_fitRunner->start(model, Fit::SweepFromStore(SweepState));
    statusBar()->showMessage(QStringLiteral("Подбор схемы…"));
}

void Tb_tok::ShowFitOutcome(const FitOutcome &outcome) {
    statusBar()->clearMessage();
    const Fit::FitResult &fit = outcome.result;
    if (fit.status == Fit::FitStatus::TooFewPoints) {
        m_core->Tell(QStringLiteral("Подбор схемы: мало точек. Схеме %1 нужно не меньше %2 "
                                    "точек на разных частотах, пригодных %3.")
                         .arg(Fit::FitName(fit))
                         .arg(Fit::ElementLabels(fit).size() + 1)
                         .arg(fit.pointsUsed));
    } else if (fit.status != Fit::FitStatus::Ok) {
        m_core->Tell(QStringLiteral("Подбор схемы %1 не сошёлся.").arg(Fit::FitName(fit)));
    } else {
        m_fit = fit;
    }
    RedrawGraph();
    if (m_fit) ShowFitResult(this, outcome.text, outcome.residuals);
}

void Tb_tok::AskCircuit() {
    // One at a time; one answered goes with the next event loop, nameless until then.
    for (QInputDialog *old :
         findChildren<QInputDialog *>(QStringLiteral("CircuitAsk"), Qt::FindDirectChildrenOnly)) {
        old->setObjectName(QString());
        old->close();
    }
    auto *ask = new QInputDialog(this);
    ask->setObjectName(QStringLiteral("CircuitAsk"));
    ask->setAttribute(Qt::WA_DeleteOnClose);
    ask->setWindowTitle(QStringLiteral("Подбор схемы"));
    ask->setLabelText(QStringLiteral("Схема: элементы R, C, L, Q (элемент постоянной фазы);\n"
                                     "«-» — последовательно, p(…, …) — параллельно.\n"
                                     "Например: %1")
                          .arg(CircuitExample));
    ask->setTextValue(m_lastCircuit.isEmpty() ? CircuitExample : m_lastCircuit);
    ask->setOkButtonText(QStringLiteral("Подобрать"));
    ask->setCancelButtonText(QStringLiteral("Отмена"));
    connect(ask, &QInputDialog::textValueSelected, this,
            [this](const QString &text) { FitCircuitString(text); });
    ask->open();
}

void Tb_tok::FitCircuitString(const QString &text) {
    m_lastCircuit = text; // kept as typed, so a wrong one can be mended
    if (!Fit::FitNameError(text).isEmpty()) {
        m_core->Tell(CircuitProblemText(text, Fit::ParseCircuit(text)));
        AskCircuit();
        return;
    }
    FitSweep(text);
}

void Tb_tok::ClearFit() {
    m_fit.reset();
    if (m_fitRunner) m_fitRunner->forget();
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s)
        chart->setFittedPoints(s, {});
}
// The fitted circuit as each shown parameter at the taken points' frequencies, in the unit the
// series is plotted in; nothing in a deviation view or for a sample run.
void Tb_tok::ShowFittedCurves(const bool shown[2], bool deviation) {
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    const bool frequencySweep =
        ui->PaGraph->form().ChBoF->isChecked() && SweepQuantity == Sweep::Quantity::Frequency;
    const int taken = TakenSweepPoints();
    std::vector<double> frequencies;
    for (int k = 0; k < taken; ++k)
        frequencies.push_back(SweepFrequencies[k]);
    const int parameter[2] = {Param1Index, Param2Index};
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
        QList<QPointF> points;
        if (m_fit && shown[s] && !deviation && frequencySweep) {
            const std::vector<float> curve = Fit::FittedParameterCurve(
                *m_fit, parameter[s], frequencies, Device::SeriesCircuit != 0);
            for (int k = 0; k < static_cast<int>(curve.size()); ++k)
                points.append(QPointF(SweepPointX(k, true),
                                      static_cast<double>(curve[static_cast<std::size_t>(k)]) /
                                          static_cast<double>(m_plotFactor[s])));
        }
        chart->setFittedPoints(s, points);
    }
}

} // namespace Main
