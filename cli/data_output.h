// Where impedix-cli's data goes: standard output, written as it comes, or a file that appears
// whole when the run ends (QSaveFile: written beside it, put in place at the end) and not at all
// when writing failed.
#pragma once

#include <QString>

#include <memory>

class QFile;
class QIODevice;
class QSaveFile;

namespace Cli {

class DataOutput {
public:
    // path empty: standard output.
    explicit DataOutput(QString path);
    ~DataOutput();
    DataOutput(const DataOutput &) = delete;
    DataOutput &operator=(const DataOutput &) = delete;

    // False, with the reason in errorString(), when the destination cannot be written.
    bool open();
    // Open for writing, unbuffered: each write goes to the system at once.
    QIODevice *device() const;
    // Every byte of text, or false with the reason.
    bool write(const QByteArray &text);
    // Puts a file in place (standard output has nothing to do). False with the reason.
    bool commit();
    // Leaves the destination as it was (a file is not created).
    void discard();

    QString errorString() const { return m_error; }
    bool toFile() const { return !m_path.isEmpty(); }

private:
    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<QFile> m_standardOutput;
    QString m_error;
};

} // namespace Cli
