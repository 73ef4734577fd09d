// Data output to a partial file put in place at the end, or to standard output's descriptor.
#include "cli/data_output.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace Cli {

namespace {

// The size a device has now, or -1 where it has none (a pipe, a terminal).
qint64 CurrentSize(const QIODevice *device) {
    return device->isSequential() ? -1 : device->size();
}

// A kept file ends on a whole row: whatever follows its last line end (a row the disk took in
// part) is cut.
void CutToLastLineEnd(QFile &file) {
    const qint64 size = file.size();
    const qint64 tail = std::min<qint64>(size, 64 * 1024);
    QFile reader(file.fileName());
    if (tail == 0 || !reader.open(QIODevice::ReadOnly) || !reader.seek(size - tail)) return;
    const QByteArray end = reader.read(tail);
    const qsizetype lineEnd = end.lastIndexOf('\n');
    const qint64 whole = lineEnd < 0 ? size - tail : size - tail + lineEnd + 1;
    if (whole < size) file.resize(whole);
}

} // namespace

void TakeBack(QIODevice *device, qint64 size) {
    auto *file = qobject_cast<QFileDevice *>(device);
    if (file == nullptr || size < 0 || CurrentSize(file) <= size) return;
    file->resize(size);
}

DataOutput::DataOutput(QString path) : m_path(std::move(path)) {}

DataOutput::~DataOutput() {
    discard();
}

QString DataOutput::PartialPath(const QString &path) {
    return path + QStringLiteral(".partial");
}

bool DataOutput::open() {
    m_kept.clear();
    m_direct = false;
    if (!toFile()) {
        m_file = std::make_unique<QFile>();
        if (m_file->open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered)) return true;
        m_error = m_file->errorString();
        m_file.reset();
        return false;
    }
    const QFileInfo target(m_path);
    if (target.isDir()) {
        m_error = QStringLiteral("it is a directory");
        return false;
    }
    if (target.exists() && !target.isFile()) {
        // A device or a pipe (/dev/null, a FIFO) is written as it is: it cannot be replaced, and
        // a partial file beside it would land in /dev.
        m_direct = true;
        m_file = std::make_unique<QFile>(m_path);
        if (m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return true;
        m_error = m_file->errorString();
        m_file.reset();
        return false;
    }
    // Through a link the file it names is replaced, as an editor would, not the link.
    m_target = target.isSymLink() && target.exists() ? target.canonicalFilePath() : m_path;
    const QString partial = PartialPath(m_target);
    m_file = std::make_unique<QFile>(partial);
    // NewOnly: a partial file left by a run that was killed holds that run's rows.
    if (m_file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return true;
    m_error = QFileInfo::exists(partial)
                  ? QStringLiteral("%1 is there from an earlier run; move it away or remove it")
                        .arg(partial)
                  : m_file->errorString();
    m_file.reset();
    return false;
}

QIODevice *DataOutput::device() const {
    return m_file.get();
}

bool DataOutput::write(const QByteArray &text) {
    if (!m_file) return false;
    const qint64 before = CurrentSize(m_file.get());
    qint64 written = 0;
    while (written < text.size()) {
        // A short write is followed by another, which then fails with the system's reason.
        const qint64 n = m_file->write(text.constData() + written, text.size() - written);
        if (n <= 0) {
            m_error = m_file->errorString();
            if (m_error.isEmpty()) m_error = QStringLiteral("write error");
            TakeBack(m_file.get(), before);
            if (toFile() && !m_direct) m_kept = m_file->fileName();
            return false;
        }
        written += n;
    }
    return true;
}

bool DataOutput::commit() {
    if (!m_file) return false;
    if (!toFile() || m_direct) {
        m_file.reset();
        return true;
    }
    if (!m_kept.isEmpty()) {
        m_error =
            QStringLiteral("%1 was not replaced; the rows written are in %2").arg(m_path, m_kept);
        m_file.reset();
        return false;
    }
    const QString partial = m_file->fileName();
    // On the disk before it takes the name: a crash after the rename never leaves an empty FILE.
    const bool synced = ::fdatasync(m_file->handle()) == 0 || errno == EINVAL;
    const QString syncError = QString::fromLocal8Bit(std::strerror(errno));
    m_file->close();
    m_file.reset();
    if (!synced) {
        m_kept = partial;
        m_error = QStringLiteral("%1; the rows written are in %2").arg(syncError, partial);
        return false;
    }
    // rename(2) replaces an existing FILE in one step, which QFile::rename does not.
    if (std::rename(QFile::encodeName(partial).constData(),
                    QFile::encodeName(m_target).constData()) != 0) {
        m_kept = partial;
        m_error = QStringLiteral("%1; the rows written are in %2")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)), partial);
        return false;
    }
    return true;
}

void DataOutput::discard() {
    if (m_file && toFile() && !m_direct) {
        const QString partial = m_file->fileName();
        const bool empty = m_file->size() == 0;
        if (!empty) CutToLastLineEnd(*m_file);
        m_file->close();
        if (empty)
            QFile::remove(partial);
        else
            m_kept = partial;
    }
    m_file.reset();
}

} // namespace Cli
