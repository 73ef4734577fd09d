// Reading the control file without ever blocking the meter's serving thread.
#include "sim/control_file.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Sim {

namespace {

bool isRegular(const struct stat &info) {
    return S_ISREG(info.st_mode);
}

// Up to most + 1 bytes of a regular file at path; nothing for anything else. QFile would open a
// pipe put at the path and wait there for a writer, so the file is checked before and after it
// is opened, and opened without waiting.
std::optional<QByteArray> readSmallFile(const QString &path, int most) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0 || !isRegular(info)) return std::nullopt;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<QByteArray> content;
    if (::fstat(fd, &info) == 0 && isRegular(info)) {
        QByteArray bytes(most + 1, '\0');
        int got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += int(n);
        }
        bytes.truncate(got);
        content = bytes;
    }
    ::close(fd);
    return content;
}

} // namespace

ControlFile::ControlFile(const QString &path) : m_path(path) {}

std::optional<ControlFile::Change> ControlFile::poll() {
    const std::optional<QByteArray> content = readSmallFile(m_path, MostBytes);
    if (!content) return std::nullopt;
    const QByteArray text = content->trimmed();
    if (text.isEmpty()) return std::nullopt; // also a file caught between emptied and written

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_last == text) return std::nullopt;
    m_last = text;
    Change change;
    change.word = QString::fromUtf8(text.left(MostBytes));
    if (content->size() > MostBytes) // no word, whatever it starts with
        change.word += QLatin1String("...");
    else
        change.terminals = parseTerminals(change.word);
    return change;
}

} // namespace Sim
