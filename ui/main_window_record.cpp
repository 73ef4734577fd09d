// Recording: the tool-bar toggle b_record, the start from the command line, one record per
// accepted frame, and the status bar's account of it.
#include "ui/main_window.h"

#include "ui_main_window.h"

#include "export/frame_record.h"
#include "export/recorder.h"
#include "link/device.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
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
    request.suggestedPath = m_recordPath.isEmpty() ? SuggestedPath() : m_recordPath;
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
    const bool started = m_recorder->start(path, dialect);
    m_recordPath = started ? m_recorder->fileName() : path;
    m_recordStatus->setToolTip(QDir::toNativeSeparators(m_recordPath));
    ShowRecording();
    if (!started)
        Framework::ShowMessage(QStringLiteral("Запись не начата: файл\n%1\nнельзя открыть для "
                                              "записи.\n\n%2")
                                   .arg(QDir::toNativeSeparators(path), m_recorder->errorString()));
    else if (m_recorder->wroteBeside())
        Framework::ShowMessage(
            QStringLiteral("В файле\n%1\nдругие столбцы, он не изменён. Запись "
                           "идёт в файл\n%2")
                .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(m_recordPath)));
    return started;
}

void Tb_tok::StopRecording() {
    m_recorder->stop();
    ShowRecording();
}

// Called by the tick for each accepted frame. A failed write ends the recording, never the
// polling: the tick goes on once the message is closed.
void Tb_tok::RecordFrame() {
    if (!m_recorder->isRecording()) return;
    const bool written = m_recorder->append(Export::LastFrame());
    ShowRecording();
    if (!written)
        Framework::ShowMessage(
            QStringLiteral("Запись остановлена: в файл\n%1\nбольше нельзя писать. Записано "
                           "строк: %2.\n\n%3")
                .arg(QDir::toNativeSeparators(m_recordPath))
                .arg(m_recorder->rowsWritten())
                .arg(m_recorder->errorString()));
}

void Tb_tok::ShowRecording() {
    const bool recording = m_recorder->isRecording();
    ui->b_record->setChecked(recording);
    m_recordStatus->setVisible(recording);
    if (!recording) return;
    m_recordStatus->setText(QStringLiteral("● Запись: %1").arg(m_recorder->rowsWritten()));
}

} // namespace Main
