// Sockets in, clients served, answers out; bounded buffers and no blocking calls.
#include "remote/scpi_server.h"

#include "remote/client.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <utility>

namespace Remote {

namespace {

constexpr int SocketSendBuffer = 64 * 1024;    // what the system holds for a client, besides ours
constexpr int SocketReceiveBuffer = 64 * 1024; // and of its input: a flood is held in the sender
constexpr int SegmentBytes = 1460;             // an Ethernet frame's segment, loopback too
constexpr int ClockMs = 50;
constexpr int IdleCheckMs = 1000;
constexpr int CloseCheckMs = 100;

// The client has closed its side (or the connection broke), whatever input of it still waits
// unread in the system. Qt reads no further than its buffer, so it would tell only once that input
// had all been read and run.
bool PeerClosed(qintptr descriptor) {
    pollfd p{static_cast<int>(descriptor), POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

} // namespace

struct ScpiServer::Connection {
    QTcpSocket *socket;
    Client scpi;
    bool scheduled = false; // due another turn from the continuation timer
    bool gone = false;      // went while the instrument was busy; dropped once it is not
    QElapsedTimer quiet;    // since the client last sent a byte or was last answered
    Connection(QTcpSocket *s, Instrument &instrument) : socket(s), scpi(instrument) {
        quiet.start();
    }
};

ScpiServer::ScpiServer(Instrument &instrument, QObject *parent)
    : ScpiServer(instrument, ServerLimits{}, parent) {}

ScpiServer::ScpiServer(Instrument &instrument, const ServerLimits &limits, QObject *parent)
    : QObject(parent), instrument_(instrument), limits_(limits), server_(new QTcpServer(this)) {
    connect(server_, &QTcpServer::newConnection, this, &ScpiServer::accept);
    connect(&instrument_, &Instrument::readingAccepted, this, &ScpiServer::pollAll);
    connect(&instrument_, &Instrument::listChanged, this, &ScpiServer::pollAll);
    connect(&instrument_, &Instrument::lineChanged, this, &ScpiServer::pollAll);
    connect(&instrument_, &Instrument::ready, this, [this]() {
        if (std::exchange(deferred_, false)) pollAll();
    });
    clock_.setInterval(ClockMs);
    connect(&clock_, &QTimer::timeout, this, &ScpiServer::pollAll);
    // A timer, not a queued call: the event loop then takes the program's own timers (the tick,
    // the silence clock) between turns, however much a client has queued.
    continuation_.setSingleShot(true);
    continuation_.setInterval(0);
    connect(&continuation_, &QTimer::timeout, this, &ScpiServer::continueScheduled);
    idleCheck_.setInterval(IdleCheckMs);
    connect(&idleCheck_, &QTimer::timeout, this, &ScpiServer::dropIdle);
    closeCheck_.setInterval(CloseCheckMs);
    connect(&closeCheck_, &QTimer::timeout, this, &ScpiServer::dropClosed);
}

ScpiServer::~ScpiServer() {
    for (auto &client : clients_) {
        client->socket->disconnect(this);
        client->socket->abort();
        client->socket->deleteLater();
    }
}

bool ScpiServer::listen(const QHostAddress &address, quint16 port) {
    if (!server_->listen(address, port)) return false;
    // Set on the listening socket, so that every connection starts with it: the window a client
    // may fill stays small from the first byte, and so do the system's buffers on its side,
    // which hold what a flooding client sent before it went until the server has run it.
    const int receiveBuffer = SocketReceiveBuffer;
    setsockopt(static_cast<int>(server_->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &receiveBuffer,
               sizeof receiveBuffer);
    // The system sizes what a client may queue on its own side by the segment: with segments of
    // an Ethernet frame (loopback's are 64 KiB) a client that floods and goes leaves tens of
    // kilobytes behind it, not megabytes, and its end reaches the server soon after it.
    const int segment = SegmentBytes;
    setsockopt(static_cast<int>(server_->socketDescriptor()), IPPROTO_TCP, TCP_MAXSEG, &segment,
               sizeof segment);
    return true;
}

quint16 ScpiServer::port() const {
    return server_->serverPort();
}

QString ScpiServer::errorString() const {
    return server_->errorString();
}

void ScpiServer::accept() {
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        if (clientCount() >= limits_.clients) {
            // Refused with one line that says why, then closed; nothing it sends is read. A
            // client kept waiting in the backlog would think itself connected and time out.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(QByteArray("Refused: the server is serving its limit of ") +
                          QByteArray::number(limits_.clients) + " clients\n");
            socket->disconnectFromHost();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SocketSendBuffer);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Qt takes no more from the system than this while we do not read: a client that sends
        // faster than its commands run meets TCP's own back-pressure, not our memory.
        socket->setReadBufferSize(ReadChunk);
        socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                SocketReceiveBuffer);
        clients_.push_back(std::make_unique<Connection>(socket, instrument_));
        Connection *client = clients_.back().get();
        connect(socket, &QTcpSocket::readyRead, this, [this, client]() { serve(client); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, client]() { serve(client); });
        connect(socket, &QTcpSocket::disconnected, this, [this, client]() { drop(client); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, client]() { drop(client); });
        emit clientCountChanged(clientCount());
    }
    updateTimer();
}

// Reads what the client has room for, runs a bounded share of its commands and writes the
// answers; the rest is continued from the event loop so that the tick and other clients go on.
void ScpiServer::serve(Connection *client) {
    // Not now: the instrument's ready() serves every client again, input and answers alike.
    if (instrument_.busy()) {
        deferred_ = true;
        return;
    }
    QTcpSocket *socket = client->socket;
    Client &scpi = client->scpi;
    if (socket->bytesAvailable() > 0) client->quiet.restart();
    while (socket->bytesAvailable() > 0 && scpi.wantsInput())
        scpi.feed(socket->read(ReadChunk));
    const bool more = scpi.pump();
    const QByteArray out = scpi.takeOutput();
    if (!out.isEmpty()) {
        client->quiet.restart();
        if (socket->bytesToWrite() + out.size() > MaxQueuedAnswers) return drop(client);
        socket->write(out);
        socket->flush();
    }
    if (more || (socket->bytesAvailable() > 0 && !scpi.holding())) {
        client->scheduled = true;
        if (!continuation_.isActive()) continuation_.start();
    }
    updateTimer();
}

// One more turn of every client that had more to do.
void ScpiServer::continueScheduled() {
    std::vector<QTcpSocket *> sockets;
    for (auto &client : clients_)
        if (std::exchange(client->scheduled, false)) sockets.push_back(client->socket);
    for (QTcpSocket *socket : sockets)
        if (Connection *client = find(socket)) serve(client);
}

void ScpiServer::drop(Connection *client) {
    // Ending a client may end the list run it started: never inside a tick.
    if (instrument_.busy()) {
        client->gone = true;
        deferred_ = true;
        return;
    }
    const auto it = std::find_if(clients_.begin(), clients_.end(),
                                 [client](const auto &c) { return c.get() == client; });
    if (it == clients_.end()) return;
    std::unique_ptr<Connection> owned = std::move(*it);
    clients_.erase(it);
    owned->socket->disconnect(this);
    owned->socket->abort();
    owned->socket->deleteLater(); // queued continuations die with it
    emit clientCountChanged(clientCount());
    updateTimer();
}

qint64 ScpiServer::heldInputBytes() const {
    qint64 held = 0;
    for (const auto &client : clients_)
        held += client->socket->bytesAvailable() + client->scpi.queuedInputBytes();
    return held;
}

ScpiServer::Connection *ScpiServer::find(const QTcpSocket *socket) const {
    for (const auto &client : clients_)
        if (client->socket == socket) return client.get();
    return nullptr;
}

void ScpiServer::pollAll() {
    if (instrument_.busy()) {
        deferred_ = true;
        return;
    }
    // serve() may drop a client, so walk the sockets and look each up again.
    std::vector<QTcpSocket *> sockets;
    for (auto &client : clients_)
        sockets.push_back(client->socket);
    for (QTcpSocket *socket : sockets) {
        if (Connection *client = find(socket)) {
            if (client->gone) {
                drop(client);
                continue;
            }
            client->scpi.poll();
            serve(client);
        }
    }
    updateTimer();
}

// A client that has sent nothing and been answered nothing for the idle time-out, and is owed
// no answer, gives its place up.
void ScpiServer::dropIdle() {
    if (limits_.idleSeconds <= 0) return;
    const qint64 limitMs = qint64(limits_.idleSeconds) * 1000;
    std::vector<QTcpSocket *> idle;
    for (const auto &client : clients_)
        if (client->quiet.hasExpired(limitMs) && !client->scpi.holding() &&
            client->socket->bytesAvailable() == 0)
            idle.push_back(client->socket);
    for (QTcpSocket *socket : idle)
        if (Connection *client = find(socket)) drop(client);
}

// A client that closed while its input waited behind back-pressure (a flood) gives its place up
// at once: what it sent and the commands not yet run are dropped, not run for nobody, as Qt drops
// a client whose end it has read.
void ScpiServer::dropClosed() {
    std::vector<QTcpSocket *> closed;
    for (const auto &client : clients_)
        if (PeerClosed(client->socket->socketDescriptor())) closed.push_back(client->socket);
    for (QTcpSocket *socket : closed)
        if (Connection *client = find(socket)) drop(client);
}

void ScpiServer::updateTimer() {
    const bool backlog = std::any_of(clients_.begin(), clients_.end(), [](const auto &c) {
        return !c->scpi.wantsInput() || c->socket->bytesAvailable() > 0;
    });
    if (backlog && !closeCheck_.isActive()) closeCheck_.start();
    if (!backlog && closeCheck_.isActive()) closeCheck_.stop();
    const bool idleWatch = limits_.idleSeconds > 0 && !clients_.empty();
    if (idleWatch && !idleCheck_.isActive()) idleCheck_.start();
    if (!idleWatch && idleCheck_.isActive()) idleCheck_.stop();
    const bool holding = std::any_of(clients_.begin(), clients_.end(),
                                     [](const auto &c) { return c->scpi.holding(); });
    if (holding && !clock_.isActive()) clock_.start();
    if (!holding && clock_.isActive()) clock_.stop();
}

} // namespace Remote
