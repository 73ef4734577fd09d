// Appending frame records to a CSV file, line by line.
#include "export/recorder.h"

#include "export/csv.h"
#include "export/parameter_columns.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <mutex>
#include <thread>

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

// Whether the file at path may take records under header: it is new or empty, begins with
// header, or is no regular file (a device or a pipe, written as it is). A file that cannot be
// read is taken as it is too; opening it for writing then decides.
bool TakesRecords(const QString &path, const QByteArray &header) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() == 0) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return true;
    return file.read(header.size()) == header;
}

// The first of name-2.csv, name-3.csv, … beside path that may take records under header;
// empty when there is none.
QString BesidePath(const QString &path, const QByteArray &header) {
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2; n < 1000; ++n) {
        const QString candidate = info.dir().filePath(
            QStringLiteral("%1-%2%3").arg(info.completeBaseName()).arg(n).arg(suffix));
        const QFileInfo other(candidate);
        if (other.exists() && !other.isFile()) continue;
        if (TakesRecords(candidate, header)) return candidate;
    }
    return QString();
}

} // namespace

// Has the disk take what was written, on a thread of its own: a sync costs milliseconds of
// waiting that the measurement cycle must not spend. Requests that come in during a sync are
// served together by the next one. The thread touches nothing but the file descriptor.
class Recorder::DiskSync {
public:
    explicit DiskSync(int descriptor) : m_descriptor(descriptor), m_thread([this] { run(); }) {}

    // The last sync runs before the thread ends; the descriptor must stay open until then.
    ~DiskSync() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void request() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_pending = true;
        }
        m_wake.notify_one();
    }

    // Why a sync failed; empty while every sync succeeded.
    QString error() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_error;
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_pending || m_stopping; });
            if (!m_pending) return;
            m_pending = false;
            lock.unlock();
            const QString error = Sync();
            lock.lock();
            if (m_error.isEmpty()) m_error = error;
        }
    }

    // Devices that cannot be synchronised (pipes, terminals, character devices) are no error.
    QString Sync() const {
#ifdef Q_OS_UNIX
        if (::fdatasync(m_descriptor) != 0 && errno != EINVAL && errno != EROFS)
            return QString::fromLocal8Bit(std::strerror(errno));
#endif
        return QString();
    }

    const int m_descriptor;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_pending = false;
    bool m_stopping = false;
    QString m_error;
    std::thread m_thread;
};

Recorder::Recorder() = default;

Recorder::~Recorder() {
    stop();
}

QStringList Recorder::Header() {
    return QStringList{QStringLiteral("time"),    QStringLiteral("elapsed (s)"),
                       QStringLiteral("model"),   QStringLiteral("range"),
                       QStringLiteral("circuit"), QStringLiteral("bias (V)")} +
           MeasuredHeaders() +
           QStringList{QStringLiteral("connection"), QStringLiteral("correction")};
}

QByteArray Recorder::HeaderLine(CsvDialect dialect) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CsvWriter csv(&buffer, dialect);
    for (const QString &column : Header())
        csv.addText(column);
    csv.endRow();
    return bytes;
}

bool Recorder::start(const QString &requested, CsvDialect dialect) {
    stop();
    m_error.clear();
    m_dialect = dialect;
    QString path = requested;
    m_beside = !TakesRecords(path, HeaderLine(dialect));
    if (m_beside) {
        path = BesidePath(requested, HeaderLine(dialect));
        if (path.isEmpty()) {
            m_error = QStringLiteral("the file has other columns, and no name beside it is free");
            return false;
        }
    }
    auto file = std::make_unique<QFile>(path);
    // Unbuffered: every record goes to the system in one write, nothing waits in a buffer.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    // A device or a pipe has no end to append at (and cannot be truncated either).
    const QFileInfo info(path);
    if (!info.exists() || info.isFile()) mode |= QIODevice::Append;
    if (!file->open(mode)) {
        m_error = file->errorString();
        return false;
    }
    const bool empty = file->size() == 0;
    const bool openLine = !empty && EndsInsideLine(path);
    m_file = std::move(file);
    m_sync = std::make_unique<DiskSync>(m_file->handle());
    m_device = m_file.get();
    m_fileName = path;
    return begin(empty, openLine);
}

bool Recorder::start(QIODevice *device, CsvDialect dialect) {
    stop();
    m_error.clear();
    m_dialect = dialect;
    m_beside = false;
    if (device == nullptr || !device->isWritable()) {
        m_error = QStringLiteral("the device is not open for writing");
        return false;
    }
    m_device = device;
    m_fileName.clear();
    // A pipe or a terminal holds nothing yet that a header could be missing from.
    return begin(device->isSequential() || device->size() == 0, false);
}

bool Recorder::begin(bool writeHeader, bool endOpenLine) {
    m_rows = 0;
    m_clock.start();
    // A line cut short keeps to itself; the next record starts on a line of its own.
    if (endOpenLine && m_device->write("\r\n", 2) != 2) return fail();
    if (writeHeader) {
        const QByteArray header = HeaderLine(m_dialect);
        if (m_device->write(header) != header.size()) return fail();
    }
    if (m_sync) m_sync->request();
    return true;
}

void Recorder::stop() {
    m_sync.reset();
    if (m_file) m_file->close();
    m_file.reset();
    m_device = nullptr;
}

bool Recorder::append(const FrameRecord &frame) {
    if (!isRecording()) return false;
    if (m_sync) m_error = m_sync->error();
    if (!m_error.isEmpty()) return fail(); // an earlier record never reached the disk
    CsvWriter csv(m_device, m_dialect);
    csv.addText(Timestamp());
    csv.addScaled(static_cast<double>(m_clock.elapsed()), -3);
    csv.addText(frame.model);
    csv.addText(frame.range);
    csv.addText(frame.seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
    csv.addScaled(static_cast<double>(frame.biasMillivolts), -3);
    AddMeasuredFields(csv, {frame.magnitude, frame.phase, frame.frequencyHz, frame.seriesCircuit,
                            frame.frameMagnitude, frame.framePhase});
    csv.addInteger(frame.connection);
    csv.addText(frame.correction);
    // A device that can be cut (a file, also standard output redirected to one) gets a torn
    // record taken back; a pipe or a terminal has no size.
    auto *cuttable = m_device->isSequential() ? nullptr : qobject_cast<QFileDevice *>(m_device);
    const qint64 before = cuttable ? cuttable->size() : 0;
    if (!csv.endRow()) {
        // The reason first: taking back the part of the record that got out, so that the file
        // ends on a whole line, clears the file's error.
        m_error = m_device->errorString();
        if (cuttable && cuttable->size() > before) cuttable->resize(before);
        return fail();
    }
    if (m_sync) m_sync->request();
    ++m_rows;
    return true;
}

bool Recorder::fail() {
    if (m_error.isEmpty()) m_error = m_device->errorString();
    if (m_error.isEmpty()) m_error = QStringLiteral("write error");
    stop();
    return false;
}

} // namespace Export
