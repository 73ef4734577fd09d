// impedix-cli serve against the simulated meter paced at 9600 Bd, driven by plain TCP clients as
// a VISA script drives an instrument: the FETC? round trip for a reading already there, the time
// from FREQ:CW to the first reading at the new frequency, the readings one client gets against the
// frames the core accepts, and the load: 1000 connect / *IDN? / disconnect cycles, then eight
// clients sending FETC? in a loop while the poll period is held against the wire bound and the
// server's resident memory is watched.
//
// Usage: bench_scpi [--seconds N]   (N: the eight clients' run, 60 s unless told)
#include "bench/bench_meter.h"
#include "bench/bench_support.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

using namespace Bench;

namespace {

constexpr int AnswerTimeoutMs = 5000;
constexpr int Clients = 8;
// The simulated part, C in series with R: |Z| tells which frequency a reading was taken at. The
// noise makes each reading differ from the one before, so that a client can count them.
constexpr double PartC = 100e-9;
constexpr double PartR = 0.5;
const char *const PartText = "C=100n,R=0.5";
const char *const NoiseText = "0.01";

// One monotonic clock for every client thread.
const QElapsedTimer &Clock() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock;
}

double NowMs() {
    return Clock().nsecsElapsed() / 1e6;
}

const char *Verdict(bool met) {
    return met ? "met" : "MISSED";
}

QByteArray LoadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) return "unknown";
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() >= 3 ? fields[0] + ' ' + fields[1] + ' ' + fields[2] : "unknown";
}

// impedix-cli serve on a port of its choosing, found from the line it prints on stderr.
struct ServerProcess {
    QProcess process;
    quint16 port = 0;

    bool start(const QString &meterPath) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setReadChannel(QProcess::StandardError);
        process.start(QStringLiteral(IMPEDIX_CLI_PATH),
                      {QStringLiteral("serve"), QStringLiteral("--scpi"), QStringLiteral("0"),
                       QStringLiteral("--port"), QStringLiteral("COM1=") + meterPath});
        static const QRegularExpression listening(QStringLiteral("SCPI on .*:(\\d+)"));
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            while (process.canReadLine()) {
                const QRegularExpressionMatch match =
                    listening.match(QString::fromLocal8Bit(process.readLine()));
                if (match.hasMatch()) {
                    port = match.captured(1).toUShort();
                    return port != 0;
                }
            }
            if (!process.waitForReadyRead(1000) && process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    qint64 pid() const { return process.processId(); }
    bool running() const { return process.state() == QProcess::Running; }
    // What it said on stderr after the listening line: a complaint is a finding.
    QByteArray remarks() {
        process.waitForReadyRead(0);
        return process.readAllStandardError().trimmed();
    }
    void stop() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        process.waitForFinished(5000);
    }
    ~ServerProcess() { stop(); }
};

// One SCPI client on one socket, in the thread that made it; every call waits for its answer.
class Client {
public:
    bool open(quint16 port) {
        socket_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        if (!socket_.waitForConnected(AnswerTimeoutMs)) return false;
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    void send(const QByteArray &line) {
        socket_.write(line + '\n');
        socket_.flush();
    }
    // The next answer line without its end; nothing when none came in time or the server closed.
    std::optional<QByteArray> answer() {
        const QDeadlineTimer deadline(AnswerTimeoutMs);
        while (!socket_.canReadLine()) {
            if (socket_.state() != QAbstractSocket::ConnectedState || deadline.hasExpired())
                return std::nullopt;
            socket_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        }
        QByteArray line = socket_.readLine();
        line.chop(1);
        return line;
    }
    std::optional<QByteArray> query(const QByteArray &line) {
        send(line);
        return answer();
    }
    void close() {
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState)
            socket_.waitForDisconnected(AnswerTimeoutMs);
    }

private:
    QTcpSocket socket_;
};

// "<A>,<B>,+0": a reading with status normal.
bool NormalReading(const QByteArray &answer) {
    const QList<QByteArray> fields = answer.split(',');
    return fields.size() == 3 && fields[2] == "+0";
}

// SYST:ERR? with an empty queue.
bool NoErrors(const QByteArray &answer) {
    return answer.startsWith("0,");
}

struct Spread {
    double median = 0;
    double p99 = 0;
    double worst = 0;
};

Spread SpreadOf(std::vector<double> values) {
    Spread s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.p99 = values[static_cast<std::size_t>(std::ceil(0.99 * n)) - 1];
    s.worst = values.back();
    return s;
}

double ExpectedMagnitude(double hz) {
    return std::hypot(PartR, 1.0 / (2.0 * M_PI * hz * PartC));
}

void FetchRoundTrip(quint16 port) {
    Client client;
    if (!client.open(port)) {
        std::printf("FETC? round trip: no connection\n");
        return;
    }
    client.send("TRIG:SOUR INT");
    if (!client.query("FETC?")) { // the first one waits for a reading
        std::printf("FETC? round trip: no first reading in %d ms\n", AnswerTimeoutMs);
        return;
    }
    constexpr int queries = 2000;
    std::vector<double> times;
    int abnormal = 0;
    for (int i = 0; i < queries; ++i) {
        const double start = NowMs();
        const std::optional<QByteArray> answer = client.query("FETC?");
        if (!answer) break;
        times.push_back(NowMs() - start);
        if (!NormalReading(*answer)) ++abnormal;
    }
    const Spread s = SpreadOf(times);
    std::printf("FETC? round trip for a reading already there, %zu queries one after another: "
                "median %.3f ms, p99 %.3f ms, worst %.2f ms (goal < 1 ms: %s)\n",
                times.size(), s.median, s.p99, s.worst, Verdict(s.p99 < 1.0));
    // A script asks at any point of the tick, not only right after an answer: one query after
    // each of 0 … 63 ms, spread over the poll period.
    constexpr int spread = 256;
    std::vector<double> spreadTimes;
    int waited = 0;
    for (int i = 0; i < spread; ++i) {
        QThread::usleep(static_cast<unsigned long>(i * 37 % 64) * 1000);
        const double start = NowMs();
        const std::optional<QByteArray> answer = client.query("FETC?");
        if (!answer) break;
        spreadTimes.push_back(NowMs() - start);
        if (spreadTimes.back() >= 1.0) ++waited;
        if (!NormalReading(*answer)) ++abnormal;
    }
    const Spread t = SpreadOf(spreadTimes);
    std::printf("  %zu queries at points spread over the tick: median %.3f ms, p99 %.2f ms, "
                "worst %.2f ms; %d (%.0f %%) took 1 ms or more (goal < 1 ms: %s)\n",
                spreadTimes.size(), t.median, t.p99, t.worst, waited,
                spreadTimes.empty() ? 0.0 : waited * 100.0 / spreadTimes.size(),
                Verdict(!spreadTimes.empty() && t.p99 < 1.0));
    if (times.size() < queries || spreadTimes.size() < spread || abnormal > 0)
        std::printf("  FINDING: %zu of %d queries unanswered, %d answers not a normal reading\n",
                    queries + spread - times.size() - spreadTimes.size(), queries + spread,
                    abnormal);
}

// Each change goes out at another point of the tick (0 … 59 ms after the previous answer, which
// comes just after a tick), so that the worst case is among them. FREQ? behind the change tells
// when the command's own exchange with the meter was done.
void FrequencyChange(quint16 port, double exchangeMs, double boundMs) {
    Client client;
    if (!client.open(port)) {
        std::printf("FREQ:CW to fresh reading: no connection\n");
        return;
    }
    client.send("TRIG:SOUR INT;:FUNC:IMP ZTD");
    const int frequencies[2] = {1000, 10000};
    if (!client.query("FREQ:CW 1000;FETC?")) {
        std::printf("FREQ:CW to fresh reading: no first reading\n");
        return;
    }
    constexpr int changes = 50;
    std::vector<double> totals;
    std::vector<double> commands;
    int stale = 0;
    int missing = 0;
    for (int i = 0; i < changes; ++i) {
        const int hz = frequencies[(i + 1) % 2];
        QThread::usleep(static_cast<unsigned long>(i * 7 % 60) * 1000);
        const double start = NowMs();
        const std::optional<QByteArray> set =
            client.query("FREQ:CW " + QByteArray::number(hz) + ";FREQ?");
        const double setMs = NowMs() - start;
        const std::optional<QByteArray> answer = set ? client.query("FETC?") : std::nullopt;
        const double ms = NowMs() - start;
        if (!answer) {
            ++missing;
            break;
        }
        const double magnitude = answer->split(',').value(0).toDouble();
        if (std::abs(magnitude / ExpectedMagnitude(hz) - 1.0) > 0.2) ++stale;
        totals.push_back(ms);
        commands.push_back(setMs);
    }
    const std::optional<QByteArray> error = client.query("SYST:ERR?");
    const Spread s = SpreadOf(totals);
    const Spread c = SpreadOf(commands);
    std::printf("FREQ:CW (1 kHz <-> 10 kHz) to the first fresh reading from FETC?, %zu changes: "
                "median %.2f ticks (%.0f ms), worst %.2f ticks (%.0f ms), ticks of 40 ms "
                "(goal <= 2 ticks: %s)\n",
                totals.size(), s.median / PollIntervalMs, s.median, s.worst / PollIntervalMs,
                s.worst, Verdict(!totals.empty() && s.worst <= 2.0 * PollIntervalMs));
    std::printf("  in poll periods of %.1f ms: median %.2f, worst %.2f; the change itself "
                "(FREQ:CW;FREQ? answered): median %.0f ms, worst %.0f ms; a change that comes "
                "during a tick waits for it, then 40 ms and one exchange: up to %.0f ms\n",
                boundMs, s.median / boundMs, s.worst / boundMs, c.median, c.worst,
                exchangeMs + boundMs);
    if (stale > 0 || missing > 0)
        std::printf("  FINDING: %d answers measured at the previous frequency, %d unanswered\n",
                    stale, missing);
    if (!error || !NoErrors(*error))
        std::printf("  FINDING: SYST:ERR? afterwards: %s\n",
                    error ? error->constData() : "no answer");
}

// One client sending query in a loop until endMs, in a thread of its own.
struct LoopRun {
    bool connected = false;
    qint64 answers = 0;
    qint64 missing = 0;  // a query without an answer in time (the loop stops there)
    qint64 abnormal = 0; // answers that are not a normal reading
    double startMs = 0;
    double endMs = 0;
    std::vector<double> roundTrips; // ms
    // The reading there at the start, then each answer unlike the one before, with its time.
    std::vector<std::pair<double, QByteArray>> fresh;
    QByteArray errorAnswer; // SYST:ERR? at the end

    double answersPerSecond() const {
        return endMs > startMs ? answers * 1000.0 / (endMs - startMs) : 0.0;
    }
    // The mean time between new readings, from the first change seen to the last.
    double periodMs() const {
        return fresh.size() > 2 ? (fresh.back().first - fresh[1].first) / (fresh.size() - 2) : 0.0;
    }
};

LoopRun RunLoop(quint16 port, const QByteArray &setup, const QByteArray &query, double endMs) {
    LoopRun run;
    Client client;
    if (!client.open(port)) return run;
    run.connected = true;
    client.send(setup);
    run.startMs = NowMs();
    QByteArray previous;
    run.roundTrips.reserve(1 << 20);
    while (NowMs() < endMs) {
        const double sent = NowMs();
        const std::optional<QByteArray> answer = client.query(query);
        run.roundTrips.push_back(NowMs() - sent);
        if (!answer) {
            ++run.missing;
            break;
        }
        ++run.answers;
        if (!NormalReading(*answer)) ++run.abnormal;
        if (*answer != previous) {
            run.fresh.emplace_back(NowMs(), *answer);
            previous = *answer;
        }
    }
    run.endMs = NowMs();
    if (const std::optional<QByteArray> error = client.query("SYST:ERR?")) run.errorAnswer = *error;
    client.close();
    return run;
}

struct LoopPlan {
    QByteArray setup;
    QByteArray query;
};

// The clients' loops at once; sample() is called firstMs after the start, then every sampleMs
// and at the end.
std::vector<LoopRun> RunLoops(quint16 port, const std::vector<LoopPlan> &plans, double endMs,
                              int firstMs, int sampleMs, const std::function<void()> &sample) {
    std::vector<LoopRun> runs(plans.size());
    std::vector<std::unique_ptr<QThread>> threads;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        threads.emplace_back(QThread::create([&runs, &plans, i, port, endMs] {
            runs[i] = RunLoop(port, plans[i].setup, plans[i].query, endMs);
        }));
        threads.back()->start();
    }
    const auto finished = [&threads] {
        return std::all_of(threads.begin(), threads.end(),
                           [](const auto &t) { return t->isFinished(); });
    };
    for (int wait = firstMs; !finished(); wait = sampleMs) {
        const QDeadlineTimer next(wait);
        for (auto &thread : threads)
            thread->wait(next);
        if (sample) sample();
    }
    return runs;
}

// One client under TRIG:SOUR BUS asks for each next reading with TRIG;FETC?; a second one polls
// FETC? under INT meanwhile and sees every frame the core accepts.
void ReadingsDelivered(quint16 port, double boundMs) {
    constexpr int seconds = 10;
    const std::vector<LoopRun> runs =
        RunLoops(port, {{"TRIG:SOUR BUS", "TRIG;FETC?"}, {"TRIG:SOUR INT", "FETC?"}},
                 NowMs() + seconds * 1000.0, 1000, 1000, {});
    const LoopRun &bus = runs[0];
    const LoopRun &watch = runs[1];
    if (bus.fresh.size() < 3 || watch.fresh.size() < 3) {
        std::printf("readings delivered to one client: too few readings (%zu, %zu)\n",
                    bus.fresh.size(), watch.fresh.size());
        return;
    }
    // The frames the core accepted while the client ran, its first and last reading aside.
    const double from = bus.fresh.front().first + 10.0;
    const double to = bus.fresh.back().first - 10.0;
    QSet<QByteArray> got;
    for (const auto &reading : bus.fresh)
        got.insert(reading.second);
    int accepted = 0;
    int delivered = 0;
    for (const auto &reading : watch.fresh) {
        if (reading.first < from || reading.first > to) continue;
        ++accepted;
        if (got.contains(reading.second)) ++delivered;
    }
    const double span = bus.fresh.back().first - bus.fresh.front().first;
    const double clientRate = (bus.fresh.size() - 1) * 1000.0 / span;
    const double coreRate = 1000.0 / watch.periodMs();
    std::printf("readings delivered to one client (TRIG:SOUR BUS, TRIG;FETC?) over %d s: "
                "%.2f readings/s against %.2f frames/s accepted by the core (wire bound "
                "%.2f/s); %d of %d accepted frames delivered (goal every accepted frame: %s)\n",
                seconds, clientRate, coreRate, 1000.0 / boundMs, delivered, accepted,
                Verdict(accepted > 0 && delivered == accepted));
    std::printf("  poll period with these two clients: %.2f ms, ratio %.3f against the wire "
                "bound\n",
                watch.periodMs(), watch.periodMs() / boundMs);
    if (bus.answers != static_cast<qint64>(bus.fresh.size()) || bus.missing || bus.abnormal)
        std::printf("  FINDING: %lld answers, %zu distinct readings, %lld unanswered, %lld not a "
                    "normal reading\n",
                    qlonglong(bus.answers), bus.fresh.size(), qlonglong(bus.missing),
                    qlonglong(bus.abnormal));
}

void ConnectCycles(quint16 port, qint64 pid) {
    constexpr int cycles = 1000;
    const qint64 rssBefore = RssKb(pid);
    int connected = 0;
    int answered = 0;
    const double start = NowMs();
    for (int i = 0; i < cycles; ++i) {
        Client client;
        if (!client.open(port)) continue;
        ++connected;
        const std::optional<QByteArray> identity = client.query("*IDN?");
        if (identity && identity->startsWith("Impedix,")) ++answered;
        client.close();
    }
    const double ms = NowMs() - start;
    const qint64 rssAfter = RssKb(pid);
    Client after;
    const bool still = after.open(port) && after.query("*IDN?").value_or("").startsWith("Impedix,");
    std::printf("%d connect / *IDN? / disconnect cycles: %.2f s, %.2f ms a cycle; %d connected, "
                "%d answered (goal all: %s); server RSS %lld -> %lld kB; *IDN? afterwards %s\n",
                cycles, ms / 1000.0, ms / cycles, connected, answered,
                Verdict(answered == cycles && still), qlonglong(rssBefore), qlonglong(rssAfter),
                still ? "answered" : "NOT ANSWERED");
    after.close();
}

void EightClients(quint16 port, qint64 pid, double boundMs, int seconds) {
    const qint64 idle = RssKb(pid);
    std::vector<qint64> rss;
    const int every = std::min(10, seconds);
    const std::vector<LoopPlan> plans(Clients, LoopPlan{"TRIG:SOUR INT", "FETC?"});
    const std::vector<LoopRun> runs =
        RunLoops(port, plans, NowMs() + seconds * 1000.0, 1000, every * 1000,
                 [&rss, pid] { rss.push_back(RssKb(pid)); });
    // Every frame the core accepted meanwhile is a reading some client saw first at some time;
    // the clients' common span, less 200 ms at either end, is where each should have seen all.
    double from = 0;
    double to = 1e300;
    QHash<QByteArray, double> frames; // reading -> when a client first saw it
    for (const LoopRun &run : runs) {
        if (!run.connected) continue;
        from = std::max(from, run.startMs + 200.0);
        to = std::min(to, run.endMs - 200.0);
        for (std::size_t k = 1; k < run.fresh.size(); ++k) {
            const auto &[when, reading] = run.fresh[k];
            const auto known = frames.find(reading);
            if (known == frames.end())
                frames.insert(reading, when);
            else
                known.value() = std::min(known.value(), when);
        }
    }
    std::vector<double> times;
    QSet<QByteArray> expected;
    for (auto it = frames.cbegin(); it != frames.cend(); ++it) {
        if (it.value() < from || it.value() > to) continue;
        times.push_back(it.value());
        expected.insert(it.key());
    }
    std::sort(times.begin(), times.end());
    std::printf("%d clients sending FETC? in a loop for %d s, %zu frames accepted meanwhile:\n",
                Clients, seconds, times.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const LoopRun &run = runs[i];
        if (!run.connected) {
            std::printf("  client %zu: FINDING: no connection\n", i + 1);
            continue;
        }
        QSet<QByteArray> seen;
        for (const auto &reading : run.fresh)
            seen.insert(reading.second);
        const qsizetype missed = (expected - seen).size();
        const Spread trip = SpreadOf(run.roundTrips);
        std::printf("  client %zu: %lld answers, %.0f answers/s, round trip median %.3f ms, "
                    "p99 %.3f ms, worst %.1f ms; %lld of the frames not seen%s\n",
                    i + 1, qlonglong(run.answers), run.answersPerSecond(), trip.median, trip.p99,
                    trip.worst, qlonglong(missed),
                    run.missing || run.abnormal ? "" : "; every answer a normal reading");
        if (run.missing || run.abnormal)
            std::printf("    FINDING: %lld unanswered, %lld not a normal reading\n",
                        qlonglong(run.missing), qlonglong(run.abnormal));
        if (!NoErrors(run.errorAnswer))
            std::printf("    FINDING: SYST:ERR? afterwards: %s\n",
                        run.errorAnswer.isEmpty() ? "no answer" : run.errorAnswer.constData());
    }
    if (times.size() > 1) {
        const double period = (times.back() - times.front()) / (times.size() - 1);
        std::printf("  poll period: %.2f ms against the wire bound %.2f ms, ratio %.3f "
                    "(goal within 2 %%: %s)\n",
                    period, boundMs, period / boundMs,
                    Verdict(std::abs(period / boundMs - 1.0) <= 0.02));
    }
    QStringList text;
    for (qint64 kb : rss)
        text << QString::number(kb);
    const qint64 growth = rss.back() - rss.front();
    std::printf("  server RSS (kB) %lld before the clients, then from 1 s in every %d s: %s; "
                "%+lld kB from start to end (goal flat, under 1 %%: %s)\n",
                qlonglong(idle), every, qPrintable(text.join(QLatin1Char(' '))), qlonglong(growth),
                Verdict(rss.front() > 0 && growth * 100 < rss.front()));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Figures of impedix-cli serve against the paced simulated meter, and its load checks."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(
        QStringLiteral("seconds"),
        QStringLiteral("How long the eight clients send FETC? (default 60)."), QStringLiteral("N"),
        QStringLiteral("60"));
    parser.addOption(secondsOption);
    parser.process(application);
    bool ok = false;
    const int seconds = parser.value(secondsOption).toInt(&ok);
    if (!ok || seconds < 1) {
        std::fprintf(stderr, "bench_scpi: --seconds takes a whole number of seconds from 1\n");
        return 2;
    }
    Clock();

    SimProcess meter;
    if (!meter.start(QStringLiteral(IMPEDIX_SIM_PATH),
                     {QStringLiteral("--paced"), QStringLiteral("--dut"),
                      QString::fromLatin1(PartText), QStringLiteral("--noise"),
                      QString::fromLatin1(NoiseText)})) {
        std::printf("scpi: the simulated meter did not start\n");
        return 0;
    }
    const double exchangeMs = ExchangeMs(meter.path);
    const double boundMs = WireBoundMs(exchangeMs);
    ServerProcess server;
    if (!server.start(meter.path)) {
        std::printf("scpi: impedix-cli serve did not start listening: %s\n",
                    server.process.readAllStandardError().constData());
        return 0;
    }
    std::printf("scpi: impedix-cli serve on port %u, the paced KT-44 (%s, noise %s), one "
                "exchange %.1f ms, wire bound 40 ms + %.1f ms = %.2f ms; load average %s\n",
                server.port, PartText, NoiseText, exchangeMs, exchangeMs, boundMs,
                LoadAverage().constData());
    std::fflush(stdout);
    FetchRoundTrip(server.port);
    FrequencyChange(server.port, exchangeMs, boundMs);
    ReadingsDelivered(server.port, boundMs);
    std::fflush(stdout);
    ConnectCycles(server.port, server.pid());
    std::fflush(stdout);
    EightClients(server.port, server.pid(), boundMs, seconds);
    if (!server.running()) std::printf("  FINDING: the server is no longer running\n");
    const QByteArray remarks = server.remarks();
    if (!remarks.isEmpty()) std::printf("  the server said on stderr: %s\n", remarks.constData());
    std::printf("scpi: load average at the end %s\n", LoadAverage().constData());
    return 0;
}
