// impedix-cli serve against the paced simulated meter under hostile clients: the server's resident
// memory while clients flood it with *CLS, the reading rate another client sees while one floods
// settings (the same value again, and values that change), a compound query's answer lines, and
// how long a new client is locked out by idle connections that fill every place.
//
// Usage: bench_scpi_flood [--seconds N] [--cli PATH]
//   N: each flood's length (10 s unless told); PATH: the impedix-cli to measure (this build's
//   unless told, so that another build's figures can be set beside these).
#include "bench/bench_meter.h"
#include "bench/bench_support.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

using namespace Bench;

namespace {

constexpr int AnswerTimeoutMs = 5000;

double NowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.nsecsElapsed() / 1e6;
}

// impedix-cli serve with the options given, on a port it chooses.
struct Server {
    QProcess process;
    quint16 port = 0;

    bool start(const QString &cli, const QString &meterPath, const QStringList &more) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setReadChannel(QProcess::StandardError);
        process.start(cli, QStringList{QStringLiteral("serve"), QStringLiteral("--scpi"),
                                       QStringLiteral("0"), QStringLiteral("--port"),
                                       QStringLiteral("COM1=") + meterPath} +
                               more);
        static const QRegularExpression listening(QStringLiteral("SCPI on .*:(\\d+)"));
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            while (process.canReadLine()) {
                const QRegularExpressionMatch match =
                    listening.match(QString::fromLocal8Bit(process.readLine()));
                if (match.hasMatch()) port = match.captured(1).toUShort();
                if (port != 0) return true;
            }
            if (!process.waitForReadyRead(500) && process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    qint64 rssKb() const { return RssKb(process.processId()); }
    ~Server() {
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill();
        process.waitForFinished(5000);
    }
};

// A plain blocking socket, usable from any thread.
class Socket {
public:
    explicit Socket(quint16 port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) close();
        const int one = 1;
        if (fd_ >= 0) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Socket() { close(); }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    bool ok() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Sends what the system takes within timeoutMs; false when the connection is gone.
    bool send(const QByteArray &bytes, int timeoutMs = AnswerTimeoutMs) {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return true; // still connected, only full
            const ssize_t n = ::send(fd_, bytes.constData() + sent, bytes.size() - sent,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN) return false;
            if (n > 0) sent += n;
        }
        return true;
    }
    // The next line without its end, or nothing when none came in time or the server closed.
    std::optional<QByteArray> line(int timeoutMs = AnswerTimeoutMs) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!buffer_.contains('\n')) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0) return {};
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) return {};
            buffer_.append(chunk, n);
        }
        const qsizetype end = buffer_.indexOf('\n');
        QByteArray text = buffer_.left(end);
        buffer_.remove(0, end + 1);
        return text;
    }
    std::optional<QByteArray> query(const QByteArray &text) {
        if (!send(text + '\n')) return {};
        return line();
    }

private:
    int fd_ = -1;
    QByteArray buffer_;
};

// Clients writing "*CLS" as fast as the server lets them; the server's memory every 500 ms.
void ClsFlood(Server &server, int clients, int seconds) {
    const qint64 before = server.rssKb();
    std::atomic<bool> stop{false};
    std::atomic<long long> sentBytes{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&] {
            Socket socket(server.port);
            const QByteArray chunk = QByteArray("*CLS\n").repeated(13000); // 64 KB
            while (!stop && socket.ok()) {
                if (!socket.send(chunk, 200)) break;
                sentBytes += chunk.size();
            }
        });
    qint64 most = before;
    const double end = NowMs() + seconds * 1000.0;
    while (NowMs() < end) {
        QThread::msleep(500);
        most = std::max(most, server.rssKb());
    }
    stop = true;
    for (std::thread &t : threads)
        t.join();
    // What the flooders sent before they closed is still theirs to run (the system holds it in
    // their send buffers): their places come free once it has run. Two new clients at once
    // (the next case needs two) say when.
    const double stopped = NowMs();
    bool answered = false;
    while (!answered && NowMs() - stopped < 120000.0) {
        Socket first(server.port);
        Socket second(server.port);
        answered = first.query("*IDN?").value_or("").startsWith("Impedix,") &&
                   second.query("*IDN?").value_or("").startsWith("Impedix,");
        if (!answered) QThread::msleep(200);
    }
    const double drainS = (NowMs() - stopped) / 1000.0;
    std::printf("*CLS flood, %d client(s) for %d s (%.1f MB offered): server RSS %lld kB before, "
                "at most %lld kB during, %+lld kB (goal under +20 MB: %s); two new clients "
                "served %.1f s after the flood stopped%s\n",
                clients, seconds, sentBytes / 1e6, qlonglong(before), qlonglong(most),
                qlonglong(most - before), most - before < 20 * 1024 ? "met" : "MISSED", drainS,
                answered ? "" : " (NOT within 120 s)");
}

// Client A counts the distinct readings FETC? gives it while client B sends settings in lines of
// 200 (the next line from nextLine(), or floodLine again); the rate against the wire bound's.
void SettingFlood(Server &server, double boundMs, int seconds, const char *what,
                  const QByteArray &floodLine,
                  const std::function<QByteArray()> &nextLine = nullptr) {
    Socket reader(server.port);
    if (!reader.query("TRIG:SOUR INT;*OPC?")) {
        std::printf("setting flood (%s): no answer\n", what);
        return;
    }
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        if (floodLine.isEmpty()) {
            while (!stop)
                QThread::msleep(10);
            return;
        }
        Socket socket(server.port);
        while (!stop && socket.ok())
            if (!socket.send(nextLine ? nextLine() : floodLine, 200)) break;
    });
    QSet<QByteArray> readings;
    int answers = 0;
    const double start = NowMs();
    const double end = start + seconds * 1000.0;
    while (NowMs() < end) {
        const std::optional<QByteArray> answer = reader.query("FETC?");
        if (!answer) break;
        ++answers;
        if (answer->endsWith(",+0")) readings.insert(*answer);
    }
    const double spanS = (NowMs() - start) / 1000.0;
    stop = true;
    flood.join();
    const double rate = readings.size() / spanS;
    const double bound = 1000.0 / boundMs;
    std::printf("poll rate seen by another client while one floods %s: %.2f readings/s against "
                "the wire bound %.2f/s, ratio %.3f (goal at least 0.9: %s); %d answers\n",
                what, rate, bound, rate / bound, rate >= 0.9 * bound ? "met" : "MISSED", answers);
}

void CompoundQuery(Server &server) {
    Socket client(server.port);
    client.send("FREQ?;VOLT?\n");
    int lines = 0;
    while (client.line(500))
        ++lines;
    const QByteArray next = client.query("*IDN?").value_or("(none)");
    std::printf("FREQ?;VOLT? answered on %d line(s) (goal 1: %s); the *IDN? after it answered "
                "%s\n",
                lines, lines == 1 ? "met" : "MISSED",
                next.startsWith("Impedix,") ? "its own answer" : "ANOTHER ANSWER");
}

// Every place taken by a connection that says nothing; how long until a new client is served.
void IdleLockOut(Server &server, int places, int capSeconds) {
    std::vector<std::unique_ptr<Socket>> idle;
    for (int i = 0; i < places; ++i)
        idle.push_back(std::make_unique<Socket>(server.port));
    QThread::msleep(300);
    const double start = NowMs();
    QByteArray told;
    double servedMs = -1;
    while (NowMs() - start < capSeconds * 1000.0) {
        Socket late(server.port);
        const std::optional<QByteArray> answer = late.query("*IDN?");
        if (answer && answer->startsWith("Impedix,")) {
            servedMs = NowMs() - start;
            break;
        }
        if (answer && told.isEmpty()) told = *answer;
        QThread::msleep(250);
    }
    if (servedMs >= 0)
        std::printf("%d idle connections: a new client served after %.1f s; refused meanwhile "
                    "with \"%s\"\n",
                    places, servedMs / 1000.0, told.isEmpty() ? "(nothing)" : told.constData());
    else
        std::printf("%d idle connections: a new client NOT served within %d s; refused with "
                    "\"%s\"\n",
                    places, capSeconds, told.isEmpty() ? "(nothing)" : told.constData());
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Figures of impedix-cli serve under floods and idle connections."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Each flood's length (default 10)."),
                                           QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption cliOption(QStringLiteral("cli"),
                                       QStringLiteral("The impedix-cli to measure."),
                                       QStringLiteral("PATH"), QStringLiteral(IMPEDIX_CLI_PATH));
    parser.addOption(secondsOption);
    parser.addOption(cliOption);
    parser.process(application);
    const int seconds = std::max(1, parser.value(secondsOption).toInt());
    const QString cli = parser.value(cliOption);

    SimProcess meter;
    if (!meter.start(QStringLiteral(IMPEDIX_SIM_PATH),
                     {QStringLiteral("--paced"), QStringLiteral("--dut"),
                      QStringLiteral("C=100n,R=0.5"), QStringLiteral("--noise"),
                      QStringLiteral("0.01")})) {
        std::printf("scpi flood: the simulated meter did not start\n");
        return 0;
    }
    const double boundMs = WireBoundMs(ExchangeMs(meter.path));
    std::printf("scpi flood: %s, wire bound %.2f ms\n", qPrintable(cli), boundMs);
    // Each case on a server of its own: what one flood's clients sent before they went is theirs
    // to run, and would keep their places in the next case.
    const auto onFreshServer = [&](const auto &measure) {
        Server server;
        if (!server.start(cli, meter.path, {})) {
            std::printf("scpi flood: the server did not start\n");
            return;
        }
        measure(server);
        std::fflush(stdout);
    };
    onFreshServer([&](Server &server) { ClsFlood(server, 1, seconds); });
    onFreshServer([&](Server &server) { ClsFlood(server, 7, seconds); }); // every place but one
    onFreshServer([&](Server &server) {
        SettingFlood(server, boundMs, seconds, "no settings (reference)", QByteArray());
    });
    onFreshServer([&](Server &server) {
        SettingFlood(server, boundMs, seconds, "the frequency it has",
                     QByteArray("FREQ 1000;").repeated(200) + '\n');
    });
    onFreshServer([&](Server &server) {
        SettingFlood(server, boundMs, seconds, "the level it has",
                     QByteArray("VOLT 1;").repeated(200) + '\n');
    });
    onFreshServer([&](Server &server) {
        SettingFlood(server, boundMs, seconds, "frequencies that change",
                     QByteArray("FREQ 1000;FREQ 2000;").repeated(100) + '\n');
    });
    onFreshServer([&](Server &server) {
        // FREQ 1000, FREQ 1001, ... up to 9999 and round again: no two settings alike.
        std::int32_t hz = 1000;
        SettingFlood(server, boundMs, seconds, "frequencies that climb", QByteArray("x"), [&hz] {
            QByteArray line;
            for (int i = 0; i < 200; ++i) {
                line += "FREQ " + QByteArray::number(hz) + ';';
                hz = hz >= 9999 ? 1000 : hz + 1;
            }
            return line + '\n';
        });
    });
    onFreshServer([&](Server &server) { CompoundQuery(server); });
    onFreshServer([&](Server &server) { IdleLockOut(server, 8, 5); });
    {
        // An idle time-out short enough to be seen; a server that knows no such option does not
        // start, and the lock-out above is its figure.
        Server server;
        if (server.start(cli, meter.path, {QStringLiteral("--scpi-idle"), QStringLiteral("3")}))
            IdleLockOut(server, 8, 15);
        else
            std::printf("--scpi-idle 3: not an option of this server\n");
    }
    return 0;
}
