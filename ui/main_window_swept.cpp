// What a run sweeps (the box b_swept): the frequency (the designed run), or the DC bias or the
// test level at the frequency set. The fields take volts for the latter, START starts the core's
// run over them or stops it while it goes, and a bias the core could not take off is said.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "sweep/sweep_store.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/swept_quantity.h"

#include <QComboBox>
#include <QGroupBox>

namespace Main {

void Tb_tok::ConnectSwept() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    m_sweptIndex = g.b_swept->currentIndex();
    connect(g.b_swept, &QComboBox::currentIndexChanged, this,
            [this](int index) { b_sweptChange(index); });
    Core::Session *core = m_core;
    for (auto signal : {&Core::Session::sweepStarted, &Core::Session::sweepStopped,
                        &Core::Session::conditionsChanged})
        connect(core, signal, this, [this] { ShowStartButton(); });
    connect(core, &Core::Session::reconnected, this, [this] { ShowStartButton(); });
    connect(core, &Core::Session::biasNotRestored, this,
            [this](std::int32_t mv) { m_core->Tell(BiasLeftText(mv)); });
}

Sweep::Quantity Tb_tok::SweptQuantity() const {
    return SweptQuantityOf(ui->PaGraph->form().b_swept->currentIndex());
}

// The fields keep what was typed for each choice; volts start at 0 … 1 V of bias and at all six
// levels (1 V … 5 mV). The frequency choice shows the designed labels and spacing group again.
void Tb_tok::b_sweptChange(int index) {
    Ui::GraphPanel &g = ui->PaGraph->form();
    if (m_sweptIndex >= 0 && m_sweptIndex < SweptChoices) {
        m_sweptFields[m_sweptIndex][0] = g.istart->text();
        m_sweptFields[m_sweptIndex][1] = g.istop->text();
    }
    m_sweptIndex = index;
    const bool volts = SweptQuantity() != Sweep::Quantity::Frequency;
    if (index >= 0 && index < SweptChoices) {
        QString &start = m_sweptFields[index][0];
        QString &stop = m_sweptFields[index][1];
        if (start.isEmpty() && stop.isEmpty()) {
            const bool bias = SweptQuantity() == Sweep::Quantity::Bias;
            start = volts ? (bias ? QStringLiteral("0") : QStringLiteral("1"))
                          : QString::number(FrequencyLow);
            stop = volts ? (bias ? QStringLiteral("1") : QStringLiteral("0,005"))
                         : QString::number(FrequencyHigh);
        }
        g.istart->setText(start);
        g.istop->setText(stop);
    }
    g.Label9->setText(volts ? QStringLiteral("Umin") : QStringLiteral("Fmin"));
    g.Label10->setText(volts ? QStringLiteral("Umax") : QStringLiteral("Fmax"));
    const QString unit = volts ? QStringLiteral("В, десятичная запятая или точка") : QString();
    g.istart->setToolTip(unit);
    g.istop->setToolTip(unit);
    g.GrBo_Spacing->setEnabled(!volts);
    ChBoFClick();
}

// START over a bias or level run going stops it (the core puts the bias and level back).
void Tb_tok::ShowStartButton() {
    ui->PaGraph->form().bgraf->setText(m_core->QuantityRunGoing() ? QStringLiteral("STOP")
                                                                  : QStringLiteral("START"));
}

// START for a bias run (istart, istop in volts, ikol points, linear in mV) or a level run (the
// levels from istart's to istop's, see LevelRun); a refusal is said and nothing is sent.
void Tb_tok::StartQuantityRunFromFields() {
    Ui::GraphPanel &g = ui->PaGraph->form();
    Sweep::Request request;
    request.quantity = SweptQuantity();
    const std::optional<std::int32_t> first = ReadMillivolts(g.istart->text());
    const std::optional<std::int32_t> last = ReadMillivolts(g.istop->text());
    if (request.quantity == Sweep::Quantity::Bias) {
        if (!first || !last) {
            m_core->Tell(QStringLiteral("Неверное значение"));
            return;
        }
        int points = 0;
        if (!ReadSweepField(g.ikol, points)) return;
        request.spacing = Sweep::Spacing::Linear;
        request.start = *first;
        request.stop = *last;
        request.points = points;
    } else {
        request.spacing = Sweep::Spacing::List;
        request.list = LevelRun(first, last);
    }
    const Core::Session::RunAnswer answer = m_core->StartQuantityRun(request);
    if (!answer.accepted()) {
        m_core->Tell(RunRefusalText(answer));
        return;
    }
    ClearFit();                    // the fit was of the run before
    if (ui->b_apar->isChecked()) { // the core has stopped the automatic choice for the run
        ui->b_apar->setChecked(false);
        b_aparClick();
    }
}

} // namespace Main
