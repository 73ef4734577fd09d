// Sorting parts in the window: the panel PaSort (a window of its own, opened by the tool-bar
// button b_sorting), its handlers asking the core, and the plan kept between runs as the plan
// text in the program's configuration folder.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"
#include "ui_sort_panel.h"

#include "core/session.h"
#include "link/device.h"
#include "sorting/plan_file.h"
#include "sorting/sort_log.h"
#include "ui/graph_panel.h"
#include "ui/main_state.h"
#include "ui/sort_graph.h"
#include "ui/sort_panel.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QToolButton>

#include <cmath>

namespace Main {

namespace {

// Right of the compensation button in the tool-bar strip.
const QRect SortingButtonPlace(247, 2, 44, 24);

} // namespace

void Tb_tok::ConnectSorting() {
    auto *button = new QToolButton(ui->ToolBar1);
    button->setObjectName(QStringLiteral("b_sorting"));
    button->setGeometry(SortingButtonPlace);
    button->setText(QStringLiteral("Сорт."));
    button->setToolTip(QStringLiteral("Сортировка деталей по бинам"));
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this] { b_sortingClick(); });

    m_sortPanel = new SortPanel(this);
    m_sortPanel->setWindowFlags(Qt::Tool);
    m_sortPanel->hide();
    Ui::SortPanel &p = m_sortPanel->form();
    connect(p.ChBoSortOn, &QCheckBox::clicked, this, [this](bool on) { ChBoSortOnClick(on); });
    connect(p.BuSortNow, &QPushButton::clicked, this, [this] { BuSortNowClick(); });
    connect(p.BuSortApply, &QPushButton::clicked, this, [this] { ApplySortFields(); });
    connect(p.BuSortClear, &QPushButton::clicked, this, [this] { m_core->ClearSortCounts(); });
    connect(p.BuSortLog, &QPushButton::clicked, this, [this] { BuSortLogClick(); });

    LoadSortPlan(); // before the window follows the plan: the graph is not made yet
    Core::Session *core = m_core;
    connect(core, &Core::Session::sortPlanChanged, this, [this] {
        ShowSorting();
        RedrawGraph(); // the limits on the graph come and go with the comparator
    });
    connect(core, &Core::Session::partSorted, this, [this] { ShowSortResult(); });
    ShowSorting();
}

void Tb_tok::b_sortingClick() {
    m_sortPanel->show();
    m_sortPanel->raise();
    m_sortPanel->activateWindow();
}

// The plan kept from the last run, when there is one; a file that cannot be read is left alone.
void Tb_tok::LoadSortPlan() {
    const QString path = SortPlanPath();
    if (!QFile::exists(path)) return;
    const Sort::PlanFile file = Sort::ReadPlanFile(path);
    if (file.ok()) m_core->SetSortPlan(file.plan, file.detector);
}

void Tb_tok::ShowSorting() {
    const Sort::Plan &plan = m_core->SortPlan();
    m_sortPanel->ShowPlan(plan);
    m_sortPanel->ShowSorting(m_core->Sorting());
    ShowSortResult();
}

void Tb_tok::ShowSortResult() {
    const Sort::Plan &plan = m_core->SortPlan();
    m_sortPanel->ShowVerdict(m_core->LastVerdict(), plan);
    m_sortPanel->ShowCounts(m_core->SortCounts(), plan);
}

// With the comparator on, a frequency sweep's graph of the plan's primary shows bin 1's limits
// and its points outside them; a deviation view, a bias or level run, another quantity none.
void Tb_tok::ShowSortLimits(const bool shown[2], bool deviation) {
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    const bool applies = m_core->Sorting() && !deviation &&
                         ui->PaGraph->form().ChBoF->isChecked() &&
                         SweptQuantity() == Sweep::Quantity::Frequency;
    const int parameter[2] = {Param1Index, Param2Index};
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s) {
        const std::optional<std::pair<double, double>> limits =
            applies && shown[s] ? GraphLimits(m_core->SortPlan(), parameter[s],
                                              Device::SeriesCircuit != 0, m_plotFactor[s])
                                : std::nullopt;
        if (limits)
            chart->setLimits(s, limits->first, limits->second);
        else
            chart->clearLimits(s);
    }
}

// The plan in the fields given to the core and kept for the next run; a refused one is said on
// the panel and not applied.
bool Tb_tok::ApplySortFields() {
    const PlanReading reading = ReadPlanFields(m_sortPanel->Fields());
    m_sortPanel->ShowProblem(reading.problem);
    if (!reading.plan) return false;
    const Sort::DetectorSettings detector = m_core->SortDetector();
    m_core->SetSortPlan(*reading.plan, detector);
    const QString path = SortPlanPath();
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(Sort::WritePlanText(*reading.plan, detector)) < 0 || !file.commit())
        m_sortPanel->ShowProblem(QStringLiteral("План применён, но не сохранён: %1")
                                     .arg(QDir::toNativeSeparators(path)));
    return true;
}

void Tb_tok::ChBoSortOnClick(bool on) {
    if (on && !ApplySortFields()) {
        m_sortPanel->ShowSorting(false);
        return;
    }
    m_core->SetSorting(on);
}

void Tb_tok::BuSortNowClick() {
    if (!ApplySortFields()) return;
    if (!m_core->SortNow().counts())
        m_sortPanel->ShowProblem(QStringLiteral("Нет измерения для сортировки"));
}

void Tb_tok::BuSortLogClick() {
    const std::vector<Sort::LogEntry> &log = m_core->SortLog();
    if (log.empty()) {
        m_core->Tell(QStringLiteral("Журнал пуст: ни одна деталь не рассортирована."));
        return;
    }
    const QString name =
        QStringLiteral("impedix-sort-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    Framework::SaveFileRequest request;
    request.caption = QStringLiteral("Сохранить журнал сортировки");
    request.suggestedPath =
        QDir(m_exportFolder.isEmpty()
                 ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                 : m_exportFolder)
            .filePath(name);
    request.filters = {QStringLiteral("CSV (*.csv)")};
    const Framework::SaveFileChoice choice = Framework::AskSaveFile(this, request);
    if (choice.path.isEmpty()) return;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!Sort::WriteLogCsv(buffer, m_core->SortPlan(), log)) return;
    SaveExport(choice.path, buffer.data());
}

} // namespace Main
