// The display check: the environment of a graphical session and, for an X display on this
// machine, a connection attempt to its socket.
#include "app/display_check.h"

#include <QFile>
#include <QRegularExpression>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace App {

namespace {

// Connects to the Unix socket at path, in the file system or (abstract) in the kernel's own
// name space, where an X server listens as well.
bool Connects(const QByteArray &path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + offset, path.constData(), static_cast<std::size_t>(path.size()));
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true; // cannot tell: leave it to the framework
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    ::close(fd);
    return connected;
}

} // namespace

int LocalDisplayNumber(const QString &display) {
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (!match.hasMatch()) return -1;
    bool ok = false;
    const int n = match.captured(1).toInt(&ok);
    return ok ? n : -1;
}

bool LocalDisplayAnswers(int n) {
    const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(n);
    return Connects(path, false) || Connects(path, true);
}

QString MissingDisplay(const QStringList &arguments, const QProcessEnvironment &environment,
                       const std::function<bool(int)> &localDisplayAnswers) {
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty()) return QString();
    for (const QString &argument : arguments)
        if (argument == QLatin1String("-platform") || argument == QLatin1String("-display"))
            return QString();
    if (!environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) return QString();
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty())
        return QStringLiteral("the window needs a graphical session, and neither DISPLAY nor "
                              "WAYLAND_DISPLAY is set.");
    const int n = LocalDisplayNumber(display);
    if (n >= 0 && !localDisplayAnswers(n))
        return QStringLiteral("the window needs a graphical session, and no X server answers "
                              "on display %1.")
            .arg(display);
    return QString();
}

} // namespace App
