// Data output through QSaveFile or standard output's descriptor.
#include "cli/data_output.h"

#include <QFile>
#include <QSaveFile>

#include <unistd.h>

namespace Cli {

DataOutput::DataOutput(QString path) : m_path(std::move(path)) {}

DataOutput::~DataOutput() {
    discard();
}

bool DataOutput::open() {
    if (toFile()) {
        m_file = std::make_unique<QSaveFile>(m_path);
        // Unbuffered, with every write checked: QSaveFile misses a short write in its buffer
        // and would put the shortened file in place.
        if (m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return true;
        m_error = m_file->errorString();
        m_file.reset();
        return false;
    }
    m_standardOutput = std::make_unique<QFile>();
    if (m_standardOutput->open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    m_error = m_standardOutput->errorString();
    m_standardOutput.reset();
    return false;
}

QIODevice *DataOutput::device() const {
    if (m_file) return m_file.get();
    return m_standardOutput.get();
}

bool DataOutput::write(const QByteArray &text) {
    QIODevice *out = device();
    if (!out) return false;
    qint64 written = 0;
    while (written < text.size()) {
        // A short write is followed by another, which then fails with the system's reason.
        const qint64 n = out->write(text.constData() + written, text.size() - written);
        if (n <= 0) {
            m_error = out->errorString();
            return false;
        }
        written += n;
    }
    return true;
}

bool DataOutput::commit() {
    if (!m_file) return m_standardOutput != nullptr;
    const bool done = m_file->commit();
    if (!done) m_error = m_file->errorString();
    m_file.reset();
    return done;
}

void DataOutput::discard() {
    if (m_file) m_file->cancelWriting();
    m_file.reset();
    m_standardOutput.reset();
}

} // namespace Cli
