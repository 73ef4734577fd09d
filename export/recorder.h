// Recording: every accepted frame appended to a CSV file as one record. Each record goes to the
// system in one write as it is appended, and a thread of the recorder's own has the disk take it
// at once (fdatasync), so that a crash or a power cut loses at most the line being written while
// the caller never waits for the disk. A file that exists is appended to, never truncated; the
// header goes only into a new or empty file. A file whose first line is not this header (an
// older recording's columns, the other dialect, another program's table) is left as it is and
// the recording goes to a new file beside it (data-2.csv, …). A failed write or sync ends the
// recording and leaves the reason in errorString().
#pragma once

#include "export/csv.h"
#include "export/frame_record.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <memory>

class QFile;
class QIODevice;

namespace Export {

class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Opens path for appending and writes the header if the file is new or empty; a file that
    // begins otherwise is replaced by the first free name beside it (fileName() says which). A
    // recording already running is stopped first. False when the file cannot be opened or
    // written.
    bool start(const QString &path, CsvDialect dialect = CommaDialect());
    // The same on a device that the caller has opened for writing and keeps owning; it is
    // written to as it is, with the header only when it is empty.
    bool start(QIODevice *device, CsvDialect dialect = CommaDialect());
    void stop();

    bool isRecording() const { return m_device != nullptr; }
    QString fileName() const { return m_fileName; } // the file written to
    // Whether the path asked for began with other columns, so fileName() is a file beside it.
    bool wroteBeside() const { return m_beside; }
    qint64 rowsWritten() const { return m_rows; } // records since the last start
    QString errorString() const { return m_error; }

    // Appends frame stamped with the wall-clock time and the seconds since start. False when
    // the write failed; the recording has then stopped.
    bool append(const FrameRecord &frame);

    // Wall-clock time, seconds since start, model, range, circuit, bias, then the measured
    // columns (MeasuredHeaders: textbook values in SI, then the raw |Z|, angle and frequency).
    // The last column is the connection: it changes where the line was lost and came back.
    static QStringList Header();
    // The header as it stands in a file of dialect, with its line end.
    static QByteArray HeaderLine(CsvDialect dialect);

private:
    class DiskSync;

    bool begin(bool writeHeader, bool endOpenLine);
    bool fail();

    std::unique_ptr<QFile> m_file;    // when recording to a path
    std::unique_ptr<DiskSync> m_sync; // when recording to a path
    QIODevice *m_device = nullptr;
    QString m_fileName;
    QString m_error;
    CsvDialect m_dialect;
    bool m_beside = false;
    QElapsedTimer m_clock;
    qint64 m_rows = 0;
};

} // namespace Export
