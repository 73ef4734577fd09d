// Reading and writing the calibration file, and loading it into the table.
#include "link/calibration_file.h"

#include "link/calibration.h"
#include "link/code_page_1251.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Device {

namespace {

const QByteArray LineEnd("\r\r\n");

bool IsLineBreak(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Blanks that separate tokens within a line and are dropped around a field.
bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

QStringView Trimmed(QStringView field) {
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && IsBlank(field[begin]))
        ++begin;
    while (end > begin && IsBlank(field[end - 1]))
        --end;
    return field.mid(begin, end - begin);
}

CalibrationRow SplitAtTabs(QStringView line) {
    CalibrationRow row;
    std::size_t column = 0;
    qsizetype start = 0;
    while (column < row.size()) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'), start);
        const qsizetype end = tab < 0 ? line.size() : tab;
        row[column++] = Trimmed(line.mid(start, end - start)).toString();
        if (tab < 0) break;
        start = tab + 1;
    }
    return row;
}

void TakeTokens(QStringView line, QStringList &pending, QVector<CalibrationRow> &rows) {
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i == start) break;
        pending << line.mid(start, i - start).toString();
        if (pending.size() == 3) {
            rows.append(CalibrationRow{pending[0], pending[1], pending[2]});
            pending.clear();
        }
    }
}

QByteArray Digest(const QByteArray &bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// The file's bytes if it is a regular file of at most the size read. reason says why not.
bool ReadWhole(const QString &path, QByteArray *bytes, QString *reason) {
    const QFileInfo info(path);
    // Only a regular file: a pipe or a device could keep the window waiting.
    if (!info.isFile()) {
        *reason = QStringLiteral("не обычный файл");
        return false;
    }
    if (info.size() > MaxCalibrationFileSize) {
        *reason = QStringLiteral("файл больше %1 МБ").arg(MaxCalibrationFileSize / (1024 * 1024));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    if (file.size() > MaxCalibrationFileSize) {
        *reason = QStringLiteral("файл больше %1 МБ").arg(MaxCalibrationFileSize / (1024 * 1024));
        return false;
    }
    *bytes = file.read(MaxCalibrationFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    if (bytes->size() > MaxCalibrationFileSize) {
        *reason = QStringLiteral("файл больше %1 МБ").arg(MaxCalibrationFileSize / (1024 * 1024));
        return false;
    }
    return true;
}

// The words of a file's text, in order, split at blanks, TABs and line ends.
QStringList Words(const QByteArray &bytes) {
    const QString text = DecodeCp1251(bytes);
    QStringList words;
    qsizetype i = 0;
    const auto separates = [](QChar c) {
        return IsBlank(c) || IsLineBreak(c) || c == QLatin1Char('\t');
    };
    while (i < text.size()) {
        while (i < text.size() && separates(text[i]))
            ++i;
        const qsizetype start = i;
        while (i < text.size() && !separates(text[i]))
            ++i;
        if (i > start) words << text.mid(start, i - start);
    }
    return words;
}

// The permission bits forbid every writer. Root may write such a file all the same, so the bits
// are read rather than asked of the system.
bool WriteProtected(const QFileInfo &info) {
    // WriteUser is not a bit: it says whether the running user may write, which root always may.
    constexpr QFile::Permissions Writers =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.exists() && (info.permissions() & Writers) == 0;
}

QString WritableText(const QString &text) {
    QString written = text;
    for (QChar &c : written)
        if (c == QLatin1Char('\t') || IsLineBreak(c)) c = QLatin1Char(' ');
    return written;
}

} // namespace

QVector<CalibrationRow> ReadCalibrationRows(const QByteArray &bytes) {
    const QString text = DecodeCp1251(bytes);
    const QStringView all(text);
    QVector<CalibrationRow> rows;
    QStringList pending; // tokens of lines without TABs, not yet three
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = start;
        while (end < all.size() && !IsLineBreak(all[end]))
            ++end;
        const QStringView line = all.mid(start, end - start);
        start = end + 1;
        if (line.contains(QLatin1Char('\t'))) {
            pending.clear();
            const CalibrationRow row = SplitAtTabs(line);
            if (!row[0].isEmpty() || !row[1].isEmpty() || !row[2].isEmpty()) rows.append(row);
        } else {
            TakeTokens(line, pending, rows);
        }
    }
    return rows;
}

QByteArray WriteCalibrationRows(const QVector<CalibrationRow> &rows) {
    QString text;
    for (const CalibrationRow &row : rows) {
        text += WritableText(row[0]) + QLatin1Char('\t') + WritableText(row[1]) +
                QLatin1Char('\t') + WritableText(row[2]);
        text += QLatin1String(LineEnd);
    }
    return EncodeCp1251(text);
}

bool RowsKeepEveryWord(const QByteArray &bytes) {
    return Words(WriteCalibrationRows(ReadCalibrationRows(bytes))) == Words(bytes);
}

bool LoadCalibrationTable() {
    return LoadCalibrationTable(CalibrationFilePath);
}

bool LoadCalibrationTable(const QString &path) {
    TableFileRecord record;
    record.path = path;
    QByteArray bytes;
    // A dangling link is no file either: nothing would be lost by writing there.
    if (!QFileInfo::exists(path)) {
        TableFileAtLoad = record;
        return false;
    }
    if (!ReadWhole(path, &bytes, &record.reason)) {
        record.found = TableFileFound::NotRead;
        TableFileAtLoad = record;
        return false;
    }
    record.found = TableFileFound::Read;
    record.size = bytes.size();
    record.digest = Digest(bytes);
    record.holdsMore = !RowsKeepEveryWord(bytes);
    TableFileAtLoad = record;
    ClbTable().Load(ReadCalibrationRows(bytes));
    return true;
}

SaveRisk CalibrationSaveRisk(const QString &path) {
    const TableFileRecord &record = TableFileAtLoad;
    const QFileInfo info(path);
    if (!info.exists()) return SaveRisk::None; // nothing there to lose
    if (record.path != path) return SaveRisk::NotRead;
    switch (record.found) {
    case TableFileFound::NotRead:
        return SaveRisk::NotRead;
    case TableFileFound::Nothing:
        return SaveRisk::ChangedOnDisk; // it appeared after the load
    case TableFileFound::Read:
        break;
    }
    if (!info.isFile() || info.size() != record.size) return SaveRisk::ChangedOnDisk;
    QByteArray bytes;
    QString reason;
    if (!ReadWhole(path, &bytes, &reason) || Digest(bytes) != record.digest)
        return SaveRisk::ChangedOnDisk;
    return record.holdsMore ? SaveRisk::HoldsMore : SaveRisk::None;
}

QString SaveCalibrationTable() {
    return SaveCalibrationTable(CalibrationFilePath);
}

QString SaveCalibrationTable(const QString &path) {
    // Unbuffered: a buffered QSaveFile drops the rest of a short write (file size limit, full
    // disk) at its final flush and still commits the shortened file.
    const QFileInfo existing(path);
    if (WriteProtected(existing)) return QStringLiteral("файл защищён от записи");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return file.errorString();
    const QByteArray bytes = WriteCalibrationRows(ClbTable().Rows());
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return reason;
        }
        written += count;
    }
    if (!file.commit()) return file.errorString();
    TableFileRecord record;
    record.path = path;
    record.found = TableFileFound::Read;
    record.size = bytes.size();
    record.digest = Digest(bytes);
    TableFileAtLoad = record;
    return {};
}

} // namespace Device
