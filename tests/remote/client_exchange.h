// What the SCPI tests do as a client: lines fed to a client of the protocol with the answers it
// gives, its error queue read out, and one answer line asked over a socket.
#pragma once

#include "remote/client.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QTcpSocket>
#include <QtTest>

#include <cmath>
#include <memory>

namespace RemoteTest {

constexpr int Deadline = 20000; // ms; generous for a loaded machine

// Runs every complete line fed so far and returns the answers.
inline QByteArray Drain(Remote::Client &session) {
    while (session.pump()) {
    }
    return session.takeOutput();
}

inline QByteArray Send(Remote::Client &session, const QByteArray &line) {
    session.feed(line + "\n");
    return Drain(session);
}

// The codes on the queue, oldest first; the queue is empty afterwards.
inline QList<int> Errors(Remote::Client &session) {
    QList<int> codes;
    for (int i = 0; i < 40; ++i) {
        const QByteArray entry = Send(session, "SYST:ERR?");
        const int code = entry.left(entry.indexOf(',')).toInt();
        if (code == 0) break;
        codes << code;
    }
    return codes;
}

// The comma-separated numbers of an answer.
inline QList<double> Numbers(const QByteArray &answer) {
    QList<double> values;
    for (const QByteArray &field : answer.trimmed().split(','))
        values << field.toDouble();
    return values;
}

// Equal to the fifth significant digit the answers carry.
inline bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-5 * std::fabs(b) + 1e-30;
}

inline std::unique_ptr<QTcpSocket> Connect(quint16 port) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// One answer line from the socket, the event loop running meanwhile.
inline QByteArray Ask(QTcpSocket &socket, const QByteArray &line) {
    socket.write(line + "\n");
    const QDeadlineTimer deadline(Deadline);
    while (!socket.canReadLine() && !deadline.hasExpired() &&
           socket.state() != QAbstractSocket::UnconnectedState)
        QTest::qWait(1);
    return socket.readLine().trimmed();
}

} // namespace RemoteTest
