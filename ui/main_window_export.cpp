// Getting a sweep out of the program: the chart's context menu saves the taken points as CSV
// (with a side file of the conditions and the fit where asked), the chart drawn for print as PNG
// or SVG, or copies the points to the clipboard.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "export/save_file.h"
#include "export/sweep_csv.h"
#include "sweep/sweep_store.h"
#include "ui/chart/sweep_chart.h"
#include "ui/file_dialog.h"
#include "ui/graph_panel.h"
#include "ui/print_picture.h"
#include "ui/print_size_dialog.h"
#include "ui/print_text.h"
#include "ui/window_settings.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QStandardPaths>

namespace Main {

namespace {

// The last two also write the side file of the sweep's conditions and fit beside the table.
const QStringList CsvFilters{QStringLiteral("CSV (*.csv)"), QStringLiteral("CSV (;) (*.csv)"),
                             QStringLiteral("CSV + условия и подбор (*.csv)"),
                             QStringLiteral("CSV (;) + условия и подбор (*.csv)")};
bool SemicolonFilter(int filter) {
    return filter % 2 == 1;
}
bool SideFileFilter(int filter) {
    return filter >= 2;
}

// The documents folder where there is one; a dialog shown a folder that is not there would
// start in the working directory instead.
QString DefaultFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

} // namespace

void Tb_tok::ConnectExport() {
    Chart::SweepChart *chart = ui->PaGraph->form().grafik;
    chart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chart, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { grafikContextPopup(pos); });
    // The conditions of a run are taken when it ends, before anything can change them.
    connect(m_core, &Core::Session::sweepStarted, this, [this] { m_sweepContext.reset(); });
    connect(m_core, &Core::Session::runEnded, this,
            [this](bool complete) { m_sweepContext = Core::RunContext(*m_core, complete); });
}

// The menu closes itself; the window goes on polling meanwhile.
void Tb_tok::grafikContextPopup(const QPoint &pos) {
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("grafikMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Сохранить данные (CSV)…"), this, [this] { SaveSweepData(); });
    menu->addAction(QStringLiteral("Сохранить график (PNG)…"), this,
                    [this] { SaveGraphPicture(GraphPicture::Png); });
    menu->addAction(QStringLiteral("Сохранить график (SVG)…"), this,
                    [this] { SaveGraphPicture(GraphPicture::Svg); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Копировать"), this, [this] { CopySweepData(); });
    AddPlanActions(menu);
    AddFitActions(menu);
    menu->popup(ui->PaGraph->form().grafik->mapToGlobal(pos));
}

// The points taken by the time the file is written, so a run may go on while the dialog is up.
void Tb_tok::SaveSweepData() {
    if (!SweepTaken()) return;
    const Framework::SaveFileChoice choice =
        AskExportFile(QStringLiteral("Сохранить данные"), QStringLiteral("csv"), CsvFilters);
    if (choice.path.isEmpty()) return;
    const Export::CsvDialect dialect =
        SemicolonFilter(choice.filter) ? Export::SemicolonDialect() : Export::CommaDialect();
    if (!SaveExport(choice.path, Export::SweepCsv(SweepState, ExportedReference(), dialect)) ||
        !SideFileFilter(choice.filter))
        return;
    QString error;
    const std::optional<Fit::FitResult> &fit = FitShown();
    if (!Core::WriteSideFile(choice.path, ExportContext(), fit ? &*fit : nullptr, &error))
        m_core->Tell(QStringLiteral("Файл условий не сохранён:\n%1\n\n%2")
                         .arg(QDir::toNativeSeparators(Core::SideFilePath(choice.path)), error));
}

// The chart drawn anew for print at the size chosen (remembered): a light ground, a title line
// with the date, the meter, the conditions and the quantities, neither labels nor track bar.
void Tb_tok::SaveGraphPicture(GraphPicture kind) {
    if (!SweepTaken()) return;
    const std::optional<QSize> size =
        AskPrintSize(this, m_printSize.isValid() ? m_printSize : DefaultPrintSize);
    if (!size) return;
    m_printSize = UsablePrintSize(*size);
    if (m_settingsUsed) Settings::SetPrintSize(m_printSize);
    const bool png = kind == GraphPicture::Png;
    const Framework::SaveFileChoice choice = AskExportFile(
        QStringLiteral("Сохранить график"), png ? QStringLiteral("png") : QStringLiteral("svg"),
        {png ? QStringLiteral("PNG (*.png)") : QStringLiteral("SVG (*.svg)")});
    if (choice.path.isEmpty()) return;
    Chart::SweepChart &chart = *ui->PaGraph->form().grafik;
    const QString title = PrintTitleText();
    SaveExport(choice.path,
               png ? PrintPng(chart, title, m_printSize) : PrintSvg(chart, title, m_printSize));
}

// The sweep's own once it has ended or was opened from the library; during a run, the run's.
Core::SweepContext Tb_tok::ExportContext() const {
    return m_sweepContext ? *m_sweepContext : Core::RunContext(*m_core, false);
}

QString Tb_tok::PrintTitleText() const {
    const Core::SweepContext context = ExportContext();
    PrintFacts facts;
    facts.when = context.taken;
    facts.model = context.model;
    facts.conditions = context.conditions;
    const Chart::SweepChart &chart = *ui->PaGraph->form().grafik;
    const Chart::Axis sides[] = {Chart::Axis::Left, Chart::Axis::Right};
    for (int s = 0; s < Chart::SweepChart::SeriesCount; ++s)
        if (!chart.points(s).isEmpty()) facts.quantities << chart.axisTitle(sides[s]);
    return PrintTitle(facts);
}

void Tb_tok::CopySweepData() {
    if (!SweepTaken()) return;
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(Export::SweepCsv(SweepState, ExportedReference())));
}

bool Tb_tok::SweepTaken() {
    if (TakenSweepPoints() > 0) return true;
    m_core->Tell(QStringLiteral("Нет данных: ни одна точка графика ещё не измерена."));
    return false;
}

Framework::SaveFileChoice Tb_tok::AskExportFile(const QString &caption, const QString &suffix,
                                                const QStringList &filters) {
    const QString name =
        QStringLiteral("impedix-sweep-%1.%2")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")), suffix);
    Framework::SaveFileRequest request;
    request.caption = caption;
    request.suggestedPath =
        QDir(m_exportFolder.isEmpty() ? DefaultFolder() : m_exportFolder).filePath(name);
    request.filters = filters;
    return Framework::AskSaveFile(this, request);
}

// A saved file's folder is offered next time; a failure says which file and why.
bool Tb_tok::SaveExport(const QString &path, const QByteArray &bytes) {
    QString error = QStringLiteral("изображение не построено");
    if (!bytes.isEmpty() && Export::SaveWhole(path, bytes, &error)) {
        m_exportFolder = QFileInfo(path).absolutePath();
        if (m_settingsUsed) Settings::SetExportFolder(m_exportFolder);
        return true;
    }
    m_core->Tell(
        QStringLiteral("Файл не сохранён:\n%1\n\n%2").arg(QDir::toNativeSeparators(path), error));
    return false;
}

} // namespace Main
