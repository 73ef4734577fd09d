// Where impedix-cli's data goes: standard output, written as it comes, or a file. A file's rows
// go to FILE.partial as they come, one write each, so that a kill or a crash keeps every row
// reported before it; the partial file is put in place of FILE when the run ends (a device or a
// pipe is written in place), so an existing
// FILE is replaced only by a run that got to its end. A write that fails keeps the rows that got
// out whole (a torn row is taken back where the destination can be cut) and leaves FILE alone.
#pragma once

#include <QString>

#include <memory>

class QFile;
class QIODevice;

namespace Cli {

class DataOutput {
public:
    // path empty: standard output.
    explicit DataOutput(QString path);
    ~DataOutput();
    DataOutput(const DataOutput &) = delete;
    DataOutput &operator=(const DataOutput &) = delete;

    // The name the rows are written under while a run goes.
    static QString PartialPath(const QString &path);

    // False, with the reason in errorString(), when the destination cannot be written (also when
    // a partial file of an earlier run is in the way: it may hold the only copy of its rows).
    bool open();
    // Open for writing, unbuffered: each write goes to the system at once.
    QIODevice *device() const;
    // Every byte of text in one write, or false with the reason and nothing of text left behind
    // where the destination can be cut.
    bool write(const QByteArray &text);
    // Puts a file in place (standard output has nothing to do). False with the reason; after a
    // failed write the file is not put in place and the reason names where its rows are.
    bool commit();
    // Leaves the destination as it was: a partial file that holds nothing is removed, one that
    // holds rows is kept (keptPath() names it).
    void discard();
    // The partial file kept after a failure, or empty.
    QString keptPath() const { return m_kept; }

    QString errorString() const { return m_error; }
    bool toFile() const { return !m_path.isEmpty(); }

private:
    QString m_path;
    QString m_target; // the file a link at m_path names, else m_path
    std::unique_ptr<QFile> m_file;
    QString m_kept;
    bool m_direct = false; // a device or a pipe, written in place
    QString m_error;
};

// Takes back what a failed write left of a record on a device that can be cut (a file, also
// standard output redirected to one): the device ends at `size` again. Pipes and terminals are
// left as they are.
void TakeBack(QIODevice *device, qint64 size);

} // namespace Cli
