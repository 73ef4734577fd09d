// The SCPI server on TCP: up to eight clients (or as many as told), each a Client of its own, all
// served from the thread that owns the server without ever waiting on a socket. A client over the
// limit is told so in one line and closed; a client quiet for the idle time-out is closed.
#pragma once

#include "remote/input_lines.h"
#include "remote/instrument.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace Remote {

class Client;

struct ServerLimits {
    static constexpr int DefaultClients = 8;
    static constexpr int DefaultIdleSeconds = 300;
    int clients = DefaultClients;
    int idleSeconds = DefaultIdleSeconds; // 0: never
};

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 5025;
    static constexpr int MaxClients = ServerLimits::DefaultClients;
    static constexpr qint64 MaxQueuedAnswers = 1024 * 1024; // over this the client is dropped

    explicit ScpiServer(Instrument &instrument, QObject *parent = nullptr);
    ScpiServer(Instrument &instrument, const ServerLimits &limits, QObject *parent = nullptr);
    ~ScpiServer() override;

    // Port 0 picks a free one; port() tells which.
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost),
                quint16 port = DefaultPort);
    quint16 port() const;
    QString errorString() const;
    int clientCount() const { return static_cast<int>(clients_.size()); }
    // Bytes of the clients' input held here: what the sockets have read from the system and the
    // lines waiting to run. At most InputBound per client whatever the clients send.
    qint64 heldInputBytes() const;
    static constexpr qint64 ReadChunk = 16 * 1024; // what Qt reads ahead for a client
    static constexpr qint64 InputBound = 2 * ReadChunk + InputLines::MaxLine;

signals:
    void clientCountChanged(int count);

private:
    struct Connection;

    Connection *find(const QTcpSocket *socket) const;
    void accept();
    void serve(Connection *client);
    void drop(Connection *client);
    void pollAll();
    void updateTimer();
    void dropIdle();
    void dropClosed();
    void continueScheduled();

    Instrument &instrument_;
    ServerLimits limits_;
    QTcpServer *server_;
    std::vector<std::unique_ptr<Connection>> clients_;
    QTimer clock_;          // runs while an answer is held back, for the silence rule
    QTimer idleCheck_;      // runs while there are clients and an idle time-out
    QTimer closeCheck_;     // runs while a client's input waits behind back-pressure
    QTimer continuation_;   // the next turn of clients with more to do
    bool deferred_ = false; // a client was not served while the instrument was busy
};

} // namespace Remote
