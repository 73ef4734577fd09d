// Fixture compensation in the window: the panel PaComp (a window of its own, opened by the
// tool-bar button b_compensation), its handlers asking the core, the status bar's account of
// the corrections on, and the fixture's file read after the start-up search.
#include "ui/main_window.h"

#include "ui_compensation_panel.h"
#include "ui_main_window.h"

#include "compensation/compensation_file.h"
#include "core/session.h"
#include "core/sweep_plan.h"
#include "link/capabilities.h"
#include "link/device.h"
#include "link/models.h"
#include "sweep/sweep_store.h"
#include "ui/compensation_panel.h"
#include "ui/compensation_text.h"
#include "ui/main_state.h"

#include <QFile>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

namespace Main {

namespace {

// Right of the recording button in the tool-bar strip.
const QRect CompensationButtonPlace(201, 2, 44, 24);

bool MeterFound() {
    return Device::PortNumber != 0 && Device::ModelIndex >= 0 &&
           Device::ModelIndex < Device::ModelCount;
}

void MarkField(QLineEdit *field, bool good, const QString &hint) {
    QPalette palette; // the window's own colours
    if (!good) palette.setColor(QPalette::Base, QColor(255, 200, 200));
    field->setPalette(palette);
    field->setToolTip(good ? QString() : hint);
}

} // namespace

void Tb_tok::ConnectCompensation() {
    auto *button = new QToolButton(ui->ToolBar1);
    button->setObjectName(QStringLiteral("b_compensation"));
    button->setGeometry(CompensationButtonPlace);
    button->setText(QStringLiteral("ХХ/КЗ"));
    button->setToolTip(QStringLiteral("Компенсация оснастки: открытая цепь, короткое "
                                      "замыкание, нагрузка"));
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this] { b_compensationClick(); });

    m_compPanel = new CompensationPanel(this);
    m_compPanel->setWindowFlags(Qt::Tool);
    m_compPanel->hide();
    Ui::CompensationPanel &p = m_compPanel->form();
    connect(p.BuMeasureOpen, &QPushButton::clicked, this,
            [this] { BuMeasureCompClick(Comp::OpenCorrection); });
    connect(p.BuMeasureShort, &QPushButton::clicked, this,
            [this] { BuMeasureCompClick(Comp::ShortCorrection); });
    connect(p.BuMeasureLoad, &QPushButton::clicked, this,
            [this] { BuMeasureCompClick(Comp::LoadCorrection); });
    for (QCheckBox *box : {p.ChBoOpen, p.ChBoShort, p.ChBoLoad})
        connect(box, &QCheckBox::clicked, this, [this] { ChBoCompClick(); });
    connect(p.BuStopComp, &QPushButton::clicked, this, [this] { BuStopCompClick(); });
    connect(p.BuClearComp, &QPushButton::clicked, this, [this] { BuClearCompClick(); });
    for (QLineEdit *field : {p.EdLoadR, p.EdLoadX})
        connect(field, &QLineEdit::editingFinished, this, [this] { EdLoadStandardChange(); });
    connect(p.EdFixture, &QLineEdit::editingFinished, this, [this] { EdFixtureChange(); });

    m_compStatus = new QLabel(ui->status);
    m_compStatus->setObjectName(QStringLiteral("LaCompensation"));
    ui->status->addPermanentWidget(m_compStatus);
    m_compStatus->hide();

    Core::Session *core = m_core;
    connect(core, &Core::Session::compensationChanged, this, [this] { ShowCompensation(); });
    connect(core, &Core::Session::compensationProgress, m_compPanel,
            &CompensationPanel::ShowProgress);
    connect(core, &Core::Session::compensationRunEnded, this,
            [this] { m_compPanel->ShowRun(false); });
    connect(core, &Core::Session::frameAccepted, this, [this] { ShowCompensationStatus(); });
    ShowCompensation();
}

void Tb_tok::b_compensationClick() {
    m_compPanel->show();
    m_compPanel->raise();
    m_compPanel->activateWindow();
}

void Tb_tok::ShowCompensation() {
    m_compPanel->ShowData(m_core->Compensation());
    m_compPanel->ShowRun(m_core->CompensationRunning());
    ShowCompensationStatus();
}

void Tb_tok::ShowCompensationStatus() {
    const Comp::Compensation &data = m_core->Compensation();
    const QString text = CompensationStatus(
        data.enabled, data.Usable(), (m_core->LastCorrection() & Main::CorrectionOutside) != 0);
    m_compStatus->setText(text);
    m_compStatus->setVisible(!text.isEmpty());
}

// The frequencies of a run: the model's grid, the sweep's points as the graph panel sets them
// (rising, each once), or the present frequency. Nothing when they cannot be had (said).
std::vector<double> Tb_tok::CompensationFrequencies() {
    switch (m_compPanel->ChosenSpan()) {
    case CompensationPanel::Span::Spot:
        return {static_cast<double>(Main::CurrentFrequency)};
    case CompensationPanel::Span::Sweep: {
        // A bias or level run is held at the present frequency; its fields hold volts.
        if (SweptQuantity() != Sweep::Quantity::Frequency)
            return {static_cast<double>(Main::CurrentFrequency)};
        if (!AcceptSweepFields()) return {};
        const Sweep::Plan plan = Core::PlanStart(
            ChosenSpacing(), QVector<std::int32_t>(m_plannedList.begin(), m_plannedList.end()));
        if (!plan.ok() || plan.points.empty()) {
            m_core->Tell(QStringLiteral("Точки развертки не заданы"));
            return {};
        }
        std::vector<double> hz(plan.points.begin(), plan.points.end());
        std::sort(hz.begin(), hz.end());
        hz.erase(std::unique(hz.begin(), hz.end()), hz.end());
        return hz;
    }
    case CompensationPanel::Span::Grid:
        break;
    }
    const Device::Capabilities model = Device::CapabilitiesOf(Device::ModelIndex);
    return Comp::StandardGrid(model.lowestHz, model.highestHz);
}

void Tb_tok::BuMeasureCompClick(Comp::Kind kind) {
    if (!MeterFound()) {
        m_core->Tell(QStringLiteral("Прибор не найден"));
        return;
    }
    if (kind == Comp::LoadCorrection) {
        EdLoadStandardChange();
        if (!m_core->Compensation().standard.valid()) {
            m_core->Tell(QStringLiteral("Задайте значение меры нагрузки: R и X, Ом"));
            return;
        }
    }
    const std::vector<double> hz = CompensationFrequencies();
    if (hz.empty()) return;
    if (!m_core->StartCompensationRun(kind, hz)) {
        m_core->Tell(QStringLiteral("Компенсация не начата: идёт развертка или другое измерение"));
        return;
    }
    m_compPanel->ShowRun(true);
    m_compPanel->ShowProgress(0, static_cast<int>(hz.size()));
}

void Tb_tok::ChBoCompClick() {
    m_core->SetCompensationEnabled(m_compPanel->TickedKinds());
}

void Tb_tok::BuStopCompClick() {
    m_core->StopCompensationRun();
}

void Tb_tok::BuClearCompClick() {
    m_core->ClearCompensation(Comp::OpenCorrection | Comp::ShortCorrection | Comp::LoadCorrection);
}

void Tb_tok::EdLoadStandardChange() {
    Ui::CompensationPanel &p = m_compPanel->form();
    const std::optional<Comp::LoadStandard> standard =
        ReadLoadStandard(p.EdLoadR->text(), p.EdLoadX->text());
    const QString hint = QStringLiteral("R и X меры в омах; мера нулевого сопротивления "
                                        "не годится");
    MarkField(p.EdLoadR, standard.has_value(), hint);
    MarkField(p.EdLoadX, standard.has_value(), hint);
    if (standard) m_core->SetLoadStandard(*standard);
}

// Another fixture: its file is read when there is one; its data are kept there from now on.
void Tb_tok::EdFixtureChange() {
    const QString name = m_compPanel->form().EdFixture->text().trimmed();
    if (name == m_core->Compensation().fixture) return;
    m_core->SetFixtureName(name);
    LoadFixture();
}

void Tb_tok::LoadFixture() {
    if (!MeterFound()) return;
    const QString path = Comp::CompensationPath(Device::ModelName(Device::ModelIndex),
                                                m_core->Compensation().fixture);
    if (!QFile::exists(path)) return; // nothing measured with this fixture yet
    const QString error = m_core->LoadFixture();
    if (!error.isEmpty())
        m_core->Tell(QStringLiteral("Компенсация оснастки не загружена:\n%1").arg(error));
}

} // namespace Main
