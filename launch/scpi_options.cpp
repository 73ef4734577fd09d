// One reading of the server's options, so that both programs refuse the same values alike.
#include "launch/scpi_options.h"

#include <QHostAddress>

namespace Launch {

QString DefaultListenAddress() {
    return QStringLiteral("127.0.0.1");
}

std::optional<quint16> ReadScpiPort(const QString &text, QString *error) {
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (ok && port <= 65535) return static_cast<quint16>(port);
    *error = QStringLiteral("--scpi takes a TCP port from 0 to 65535, not \"%1\"").arg(text);
    return std::nullopt;
}

std::optional<int> ReadScpiClients(const QString &text, QString *error) {
    bool ok = false;
    const int clients = text.toInt(&ok);
    if (ok && clients >= 1 && clients <= MaxScpiClients) return clients;
    *error = QStringLiteral("--scpi-clients takes a number of clients from 1 to %1, not \"%2\"")
                 .arg(MaxScpiClients)
                 .arg(text);
    return std::nullopt;
}

std::optional<int> ReadScpiIdle(const QString &text, QString *error) {
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (ok && seconds >= 0 && seconds <= MaxScpiIdleSeconds) return seconds;
    *error = QStringLiteral("--scpi-idle takes seconds from 0 (never) to %1, not \"%2\"")
                 .arg(MaxScpiIdleSeconds)
                 .arg(text);
    return std::nullopt;
}

bool CheckListenAddress(const QString &text, QString *error) {
    if (!QHostAddress(text).isNull()) return true;
    *error = QStringLiteral("--listen takes an IP address, not \"%1\"").arg(text);
    return false;
}

QString ListeningText(const QHostAddress &address, quint16 port) {
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace Launch
