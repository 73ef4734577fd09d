// The control file: a person or a test writes one word into it (part, open, short or load) to
// change what sits in the fixture while the meter runs. It is read again at each measurement
// request, which costs no more than a small read, and acted on only when its word changed.
#pragma once

#include "sim/fixture.h"

#include <QString>

#include <mutex>
#include <optional>

namespace Sim {

class ControlFile {
public:
    // Longest content read; anything longer is no word.
    static constexpr int MostBytes = 64;

    struct Change {
        std::optional<Terminals> terminals; // nothing: the word is none of the four
        QString word; // as read, blanks around it removed; "..." after a file too long
    };

    explicit ControlFile(const QString &path);

    QString path() const { return m_path; }

    // The file's word when it differs from the word of the last poll that found one, the first
    // word found included; nothing when it is unchanged or the file is missing, empty, not a
    // regular file (a pipe or a device is never opened for reading) or cannot be read.
    // Thread-safe.
    std::optional<Change> poll();

private:
    const QString m_path;
    std::mutex m_mutex;
    std::optional<QByteArray> m_last; // the last content with a word in it
};

} // namespace Sim
