// The search over the ports and the identity of the meter on one of them.
#include "core/search.h"

#include "link/commands.h"
#include "link/models.h"
#include "link/open_failure.h"
#include "link/serial_link.h"

namespace Core {

namespace {

// Something came back, though not a whole identity reply: worth asking again.
bool ReplyCameBack() {
    return Device::TransferCount > 0 || Device::ReplyBuffer[0] != 0;
}

// "COMn: reason" for a port that exists but could not be opened; empty for one that is absent.
QString OpenFailureNote(unsigned port) {
    const Device::OpenFailure &failure = Device::LastOpenFailure;
    if (failure.reason == Device::OpenFailureReason::None ||
        failure.reason == Device::OpenFailureReason::NoDevice ||
        failure.reason == Device::OpenFailureReason::NoHardware)
        return QString();
    return QStringLiteral("COM%1: %2").arg(port).arg(failure.text);
}

struct Identity {
    bool answered = false; // an identity text came back
    int row = Device::ModelCount;
};

Identity AskIdentity(int tries) {
    Identity identity;
    for (int attempt = 0; attempt < std::max(tries, 1); ++attempt) {
        char text[IdentityTextSize] = {};
        if (Device::QueryIdentity(text)) {
            identity.answered = true;
            identity.row = Device::FindModelRow(text);
            if (identity.row < Device::ModelCount) return identity;
        } else if (!ReplyCameBack()) {
            return identity; // silence: no meter here, and no reason to wait again
        }
    }
    return identity;
}

} // namespace

int IdentifyOpenPort(int tries) {
    return AskIdentity(tries).row;
}

QString TypedDevicePath(const QString &typed) {
    const QString path = typed.trimmed();
    const bool rooted = path.startsWith(QLatin1Char('/')) && path.size() > 1;
    const bool windows = path.startsWith(QLatin1String("\\\\.\\")) && path.size() > 4;
    return rooted || windows ? path : QString();
}

QStringList ExtraSearchPaths(const QStringList &system, const QStringList &designed) {
    QStringList extra;
    for (const QString &path : system)
        if (!path.isEmpty() && !designed.contains(path) && !extra.contains(path)) extra << path;
    return extra;
}

SearchResult SearchSystemPorts(int identityTries) {
    QStringList designed;
    for (unsigned n = 1; n <= LastSearchedPort; ++n)
        designed << Device::ResolvePortName(n);
    QStringList system;
    for (const QSerialPortInfo &port : Device::SystemPorts())
        system << port.systemLocation();
    const QString before = Device::HandPath();
    SearchResult result;
    for (const QString &path : ExtraSearchPaths(system, designed)) {
        Device::SetHandPath(path);
        if (!Device::OpenPort(Device::HighestPort)) continue;
        const Identity identity = AskIdentity(identityTries);
        if (!identity.answered) continue;
        Device::ModelIndex = identity.row;
        if (identity.row >= Device::ModelCount) continue;
        result.found = true;
        result.port = Device::HighestPort;
        result.model = identity.row;
        return result;
    }
    Device::SetHandPath(before);
    return result;
}

SearchResult SearchPorts(int identityTries) {
    SearchResult result;
    for (unsigned n = 1; n <= LastSearchedPort; ++n) {
        if (!Device::OpenPort(n)) {
            if (result.failure.isEmpty()) result.failure = OpenFailureNote(n);
            continue;
        }
        const Identity identity = AskIdentity(identityTries);
        if (!identity.answered) continue;
        Device::ModelIndex = identity.row;
        if (identity.row >= Device::ModelCount) continue;
        result.found = true;
        result.port = n;
        result.model = identity.row;
        return result;
    }
    return result;
}

} // namespace Core
