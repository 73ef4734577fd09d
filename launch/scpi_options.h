// The SCPI server's options as both programs take them (--scpi's port, --listen's address, the
// number of clients and their idle time-out), and
// how the address a server listens on is named on standard error.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

class QHostAddress;

namespace Launch {

constexpr int MaxScpiClients = 64;
constexpr int MaxScpiIdleSeconds = 24 * 3600;

// Where a server listens unless told otherwise: this machine only.
QString DefaultListenAddress();

// --scpi's value: a TCP port from 0 to 65535 (0 picks a free one). Nothing, with the message in
// error, for anything else.
std::optional<quint16> ReadScpiPort(const QString &text, QString *error);

// --scpi-clients's value: how many clients at once, 1 to 64. Nothing, with the message in error,
// for anything else.
std::optional<int> ReadScpiClients(const QString &text, QString *error);

// --scpi-idle's value: seconds a client may stay silent before it is closed, 0 for never, at most
// a day. Nothing, with the message in error, for anything else.
std::optional<int> ReadScpiIdle(const QString &text, QString *error);

// --listen's value: an IP address. False, with the message in error, for anything else.
bool CheckListenAddress(const QString &text, QString *error);

// Where a server listens, as both programs name it on standard error: "127.0.0.1:PORT",
// "[::1]:PORT".
QString ListeningText(const QHostAddress &address, quint16 port);

} // namespace Launch
