// Recording: the tool-bar toggle b_record, the start from the command line, and the status
// bar's account of the records the core appends.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "core/session.h"
#include "export/recorder.h"
#include "ui/file_dialog.h"
#include "ui/pictures.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QStandardPaths>

namespace Main {

namespace {

QString SuggestedPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name =
        QStringLiteral("impedix-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    return QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(name);
}

// The second filter writes ";" with decimal commas, as the sweep export's does.
constexpr int SemicolonFilter = 1;

} // namespace

void Tb_tok::ConnectRecording() {
    ui->b_record->setIcon(QIcon(
        Framework::RenderPicture(QStringLiteral(":/ui/record.svg"), ui->b_record->iconSize())));
    connect(ui->b_record, &QToolButton::clicked, this,
            [this](bool checked) { b_recordClick(checked); });

    m_recordStatus = new QLabel(ui->status);
    m_recordStatus->setObjectName(QStringLiteral("LaRecord"));
    QPalette palette = m_recordStatus->palette();
    palette.setColor(QPalette::WindowText, QColor(0xB0, 0x10, 0x10));
    m_recordStatus->setPalette(palette);
    ui->status->addPermanentWidget(m_recordStatus);
    m_recordStatus->hide();
    connect(m_core, &Core::Session::recordingChanged, this, [this] { ShowRecording(); });
}

// Switching on asks for the file; a file that exists is appended to, so the dialog does not
// warn about replacing it.
void Tb_tok::b_recordClick(bool checked) {
    if (!checked) {
        StopRecording();
        return;
    }
    Framework::SaveFileRequest request;
    request.caption = QStringLiteral("Запись измерений");
    const QString earlier = m_core->RecordingPath();
    request.suggestedPath = earlier.isEmpty() ? SuggestedPath() : earlier;
    request.filters = QStringList{QStringLiteral("CSV (*.csv)"), QStringLiteral("CSV (;) (*.csv)"),
                                  QStringLiteral("Все файлы (*)")};
    request.confirmOverwrite = false;
    const Framework::SaveFileChoice choice = Framework::AskSaveFile(this, request);
    if (choice.path.isEmpty()) {
        ShowRecording(); // cancelled: the button goes back off
        return;
    }
    StartRecording(choice.path, choice.filter == SemicolonFilter ? Export::SemicolonDialect()
                                                                 : Export::CommaDialect());
}

bool Tb_tok::StartRecording(const QString &path, Export::CsvDialect dialect) {
    return m_core->StartRecording(path, dialect);
}

void Tb_tok::StopRecording() {
    m_core->StopRecording();
}

void Tb_tok::ShowRecording() {
    const Export::Recorder &recorder = m_core->Recorder();
    const bool recording = recorder.isRecording();
    ui->b_record->setChecked(recording);
    m_recordStatus->setVisible(recording);
    m_recordStatus->setToolTip(QDir::toNativeSeparators(m_core->RecordingPath()));
    if (!recording) return;
    m_recordStatus->setText(QStringLiteral("● Запись: %1").arg(recorder.rowsWritten()));
}

} // namespace Main
