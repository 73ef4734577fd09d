// The window beside a SCPI server on a free loopback port, and its clients: a connection and
// one answer line at a time, the event loop running meanwhile.
#pragma once

#include "bridge/session_instrument.h"
#include "remote/scpi_server.h"
#include "ui/main_window.h"

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

// The server on the session the window shows; the status bar counts its clients, as in the
// program.
struct Served {
    Served(Core::Session &core, Main::Tb_tok &w) : window(w), meter(core), server(meter) {
        QObject::connect(&server, &Remote::ScpiServer::clientCountChanged, &w,
                         [&w](int count) { w.ShowRemoteClients(count); });
        w.GuardClientRuns([this] { return meter.ClientRunGoing(); });
        listening = server.listen(QHostAddress(QHostAddress::LocalHost), 0);
    }
    ~Served() { window.GuardClientRuns(nullptr); }
    std::unique_ptr<QTcpSocket> client() const { return ConnectClient(server.port()); }
    Main::Tb_tok &window;
    Bridge::SessionInstrument meter;
    Remote::ScpiServer server;
    bool listening = false;
};

} // namespace TestWindow
