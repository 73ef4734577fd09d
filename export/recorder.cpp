// Appending frame records to a CSV file, line by line.
#include "export/recorder.h"

#include "export/csv.h"
#include "export/parameter_columns.h"

#include <QDateTime>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace Export {

namespace {

// Local time with its offset from UTC and milliseconds: 2024-05-17T14:03:07.125+03:00.
QString Timestamp() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// Whether a file that is not empty stops in the middle of a line (a crash while writing it).
bool EndsInsideLine(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0) return false;
    char last = '\n';
    return file.seek(file.size() - 1) && file.getChar(&last) && last != '\n';
}

} // namespace

Recorder::Recorder() = default;

Recorder::~Recorder() {
    stop();
}

QStringList Recorder::Header() {
    QStringList header{QStringLiteral("time"),     QStringLiteral("elapsed (s)"),
                       QStringLiteral("model"),    QStringLiteral("frequency (Hz)"),
                       QStringLiteral("bias (V)"), QStringLiteral("range"),
                       QStringLiteral("circuit")};
    for (int index = 0; index < static_cast<int>(FrameRecord{}.values.size()); ++index)
        header << ColumnHeader(index);
    return header;
}

bool Recorder::start(const QString &path) {
    stop();
    m_error.clear();
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: every record goes to the system in one write, nothing waits in a buffer.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_error = file->errorString();
        return false;
    }
    const bool empty = file->size() == 0;
    const bool openLine = !empty && EndsInsideLine(path);
    m_file = std::move(file);
    m_device = m_file.get();
    m_fileName = path;
    return begin(empty, openLine);
}

bool Recorder::start(QIODevice *device) {
    stop();
    m_error.clear();
    if (device == nullptr || !device->isWritable()) {
        m_error = QStringLiteral("the device is not open for writing");
        return false;
    }
    m_device = device;
    m_fileName.clear();
    return begin(device->size() == 0, false);
}

bool Recorder::begin(bool writeHeader, bool endOpenLine) {
    m_rows = 0;
    m_clock.start();
    // A line cut short keeps to itself; the next record starts on a line of its own.
    if (endOpenLine && m_device->write("\r\n", 2) != 2) return fail();
    if (writeHeader) {
        CsvWriter csv(m_device);
        for (const QString &column : Header())
            csv.addText(column);
        if (!csv.endRow()) return fail();
    }
    if (!sync()) return fail();
    return true;
}

void Recorder::stop() {
    if (m_file) m_file->close();
    m_file.reset();
    m_device = nullptr;
}

bool Recorder::append(const FrameRecord &frame) {
    if (!isRecording()) return false;
    CsvWriter csv(m_device);
    csv.addText(Timestamp());
    csv.addScaled(static_cast<double>(m_clock.elapsed()), -3);
    csv.addText(frame.model);
    csv.addInteger(frame.frequencyHz);
    csv.addScaled(static_cast<double>(frame.biasMillivolts), -3);
    csv.addText(frame.range);
    csv.addText(frame.seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
    for (std::size_t index = 0; index < frame.values.size(); ++index)
        csv.addScaled(frame.values[index], SiExponent(static_cast<int>(index)));
    const qint64 before = m_file ? m_file->size() : 0;
    if (!csv.endRow()) {
        // Whatever part of the record got out is taken back, so the file ends on a whole line.
        if (m_file && m_file->size() > before) m_file->resize(before);
        return fail();
    }
    if (!sync()) return fail();
    ++m_rows;
    return true;
}

// Hands the written line to the disk. Devices that cannot be synchronised (pipes, terminals,
// character devices) are not an error.
bool Recorder::sync() {
#ifdef Q_OS_UNIX
    if (m_file && ::fdatasync(m_file->handle()) != 0 && errno != EINVAL && errno != EROFS) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
#endif
    return true;
}

bool Recorder::fail() {
    if (m_error.isEmpty()) m_error = m_device->errorString();
    if (m_error.isEmpty()) m_error = QStringLiteral("write error");
    stop();
    return false;
}

} // namespace Export
