// The SCPI server on TCP: up to eight clients, each a Client of its own, all served from the
// thread that owns the server without ever waiting on a socket.
#pragma once

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

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 5025;
    static constexpr int MaxClients = 8;
    static constexpr qint64 MaxQueuedAnswers = 1024 * 1024; // over this the client is dropped

    explicit ScpiServer(Instrument &instrument, QObject *parent = nullptr);
    ~ScpiServer() override;

    // Port 0 picks a free one; port() tells which.
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost),
                quint16 port = DefaultPort);
    quint16 port() const;
    QString errorString() const;
    int clientCount() const { return static_cast<int>(clients_.size()); }

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

    Instrument &instrument_;
    QTcpServer *server_;
    std::vector<std::unique_ptr<Connection>> clients_;
    QTimer clock_;          // runs while an answer is held back, for the silence rule
    bool deferred_ = false; // a client was not served while the instrument was busy
};

} // namespace Remote
