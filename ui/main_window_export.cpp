// Getting a sweep out of the program: the chart's context menu saves the taken points as CSV,
// the chart as PNG or SVG, or copies the points to the clipboard.
#include "ui/main_window.h"

#include "ui_graph_panel.h"
#include "ui_main_window.h"

#include "core/session.h"
#include "export/save_file.h"
#include "export/sweep_csv.h"
#include "sweep/sweep_store.h"
#include "ui/file_dialog.h"
#include "ui/graph_panel.h"
#include "ui/widget_picture.h"

#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QStandardPaths>

namespace Main {

namespace {

const QStringList CsvFilters{QStringLiteral("CSV (*.csv)"), QStringLiteral("CSV (;) (*.csv)")};
constexpr int SemicolonFilter = 1;

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
        choice.filter == SemicolonFilter ? Export::SemicolonDialect() : Export::CommaDialect();
    SaveExport(choice.path, Export::SweepCsv(SweepState, ExportedReference(), dialect));
}

// The chart with its labels and track bar as it stands, at its size: PNG from its pixels, SVG
// painted anew into a generator so that lines and text stay vector.
void Tb_tok::SaveGraphPicture(GraphPicture kind) {
    if (!SweepTaken()) return;
    const bool png = kind == GraphPicture::Png;
    const Framework::SaveFileChoice choice = AskExportFile(
        QStringLiteral("Сохранить график"), png ? QStringLiteral("png") : QStringLiteral("svg"),
        {png ? QStringLiteral("PNG (*.png)") : QStringLiteral("SVG (*.svg)")});
    if (choice.path.isEmpty()) return;
    QWidget *chart = ui->PaGraph->form().grafik;
    SaveExport(choice.path, png ? Framework::WidgetPng(chart) : Framework::WidgetSvg(chart));
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
void Tb_tok::SaveExport(const QString &path, const QByteArray &bytes) {
    QString error = QStringLiteral("изображение не построено");
    if (!bytes.isEmpty() && Export::SaveWhole(path, bytes, &error)) {
        m_exportFolder = QFileInfo(path).absolutePath();
        return;
    }
    m_core->Tell(
        QStringLiteral("Файл не сохранён:\n%1\n\n%2").arg(QDir::toNativeSeparators(path), error));
}

} // namespace Main
