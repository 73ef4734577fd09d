// A SCPI client for the window's tests: a loopback connection and one answer line at a time,
// the event loop running meanwhile.
#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace TestWindow {

constexpr int RemoteDeadline = 15000; // ms; a deadline for what must happen, never a measured time

inline std::unique_ptr<QTcpSocket> ConnectClient(quint16 port) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    if (!socket->waitForConnected(RemoteDeadline)) return nullptr;
    return socket;
}

// Sends the line and returns the answer line, without its end.
inline QByteArray Query(QTcpSocket &socket, const QByteArray &line) {
    socket.write(line + '\n');
    QByteArray answer;
    QDeadlineTimer deadline(RemoteDeadline);
    while (!answer.endsWith('\n') && !deadline.hasExpired()) {
        if (!socket.canReadLine()) QTest::qWait(5);
        answer += socket.readLine();
    }
    return answer.trimmed();
}

} // namespace TestWindow
