// Appending frame records to a CSV file, line by line.
#include "export/recorder.h"

#include "export/csv.h"
#include "export/parameter_columns.h"

#include <QDateTime>
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

bool Recorder::start(QIODevice *device) {
    stop();
    m_error.clear();
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
        CsvWriter csv(m_device);
        for (const QString &column : Header())
            csv.addText(column);
        if (!csv.endRow()) return fail();
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
