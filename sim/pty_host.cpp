// Pseudo-terminal serving thread of the simulated meter.
#include "sim/pty_host.h"

#include "sim/instrument.h"
#include "sim/protocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace Sim {

namespace {

constexpr int PollMs = 10;
// A request that stops half-way is dropped after this much silence, so that it cannot swallow
// the start of the next one.
constexpr auto StaleInput = std::chrono::milliseconds(100);
// 10 bits per byte at 9600 Bd.
constexpr auto ByteTime = std::chrono::microseconds(1042);
// A reply held for the program's purge goes out anyway after this long.
constexpr auto LongestPurgeWait = std::chrono::milliseconds(2000);

QString systemError(const char *what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyHost::PtyHost(Responder responder, const HostOptions &options)
    : m_responder(std::move(responder)), m_thinkMs(options.thinkMs), m_paced(options.paced),
      m_random(options.seed) {}

PtyHost::PtyHost(Instrument &instrument, const HostOptions &options)
    : PtyHost([&instrument](const QByteArray &request) { return instrument.respond(request); },
              options) {}

PtyHost::~PtyHost() {
    stop();
}

bool PtyHost::start() {
    if (m_serving) return true;
    halt(); // joins a thread that ended by a hang-up
    closeMaster();
    retireSlave();

    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B9600);
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_error = systemError("openpty");
        return false;
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_error = systemError("ptsname");
        ::close(master);
        ::close(slave);
        return false;
    }
    // Non-blocking, so that a reply nobody reads can never stall the serving thread.
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    // Packet mode: each read starts with a control byte, which reports the program's purges.
    int packetMode = 1;
    ioctl(master, TIOCPKT, &packetMode);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_master = master;
        m_slave = slave; // held open so that the master never sees the port hang up
        m_slavePath = QString::fromLocal8Bit(name);
        m_error.clear();
        m_purges = 0;
        m_hangUpArmed = false;
    }
    m_input.clear();
    m_stopping = false;
    m_serving = true;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void PtyHost::halt() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void PtyHost::stop() {
    halt();
    closePty();
    m_serving = false;
}

void PtyHost::hangUp() {
    halt();
    m_serving = false;
    closeMaster();
}

// Closing the master is what removes the slave's device node and hangs up every open slave.
void PtyHost::closeMaster() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

// The slave of a terminal that hung up stays open beside the next one.
void PtyHost::retireSlave() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_slave < 0) return;
    m_retiredSlaves.append(m_slave);
    m_slave = -1;
    while (m_retiredSlaves.size() > RetiredSlavesKept)
        ::close(m_retiredSlaves.takeFirst());
}

void PtyHost::closePty() {
    closeMaster();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_slave >= 0) ::close(m_slave);
    m_slave = -1;
    for (const int slave : std::as_const(m_retiredSlaves))
        ::close(slave);
    m_retiredSlaves.clear();
}

QString PtyHost::slavePath() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slavePath;
}

QString PtyHost::errorString() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void PtyHost::setDelivery(const Delivery &delivery) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delivery = delivery;
}

void PtyHost::setFrameOverride(const FrameOverride &fields, int replies) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_override = replies == 0 ? FrameOverride{} : fields;
    m_overrideReplies = replies;
}

void PtyHost::setReplyObserver(ReplyObserver observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

void PtyHost::setHangUpObserver(HangUpObserver observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hangUpObserver = std::move(observer);
}

void PtyHost::hangUpAtNextRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hangUpArmed = true;
}

void PtyHost::setFault(Fault fault, int replies, int keepBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fault = replies == 0 ? Fault::None : fault;
    m_faultReplies = replies;
    m_faultKeepBytes = keepBytes;
}

QList<QByteArray> PtyHost::takeRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QByteArray> taken;
    taken.swap(m_requests);
    return taken;
}

int PtyHost::requestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_requests.size());
}

bool PtyHost::waitForRequests(int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_requests.size() >= count; });
}

int PtyHost::purgeCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_purges;
}

void PtyHost::serve() {
    while (!m_stopping && m_serving) {
        pollfd p{m_master, POLLIN, 0};
        const int ready = ::poll(&p, 1, PollMs);
        // Judged before new bytes are appended: the gap is the one ahead of their arrival.
        if (!m_input.isEmpty() && Clock::now() - m_lastInput > StaleInput) m_input.clear();
        if (ready > 0 && (p.revents & POLLIN))
            readInput();
        else if (ready > 0) // no reader can hang up while we hold the slave; do not spin
            std::this_thread::sleep_for(std::chrono::milliseconds(PollMs));

        QByteArray frame;
        bool answered = false;
        while (m_serving && !m_stopping && takeFrame(&frame)) {
            answer(frame);
            answered = true;
        }
        // The rest of a request that came while the meter was busy answering waited in the
        // line: its silence counts from now, not from the bytes read ahead of the answer.
        if (answered) m_lastInput = Clock::now();
    }
}

void PtyHost::readInput() {
    char buffer[257];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0) return;
    // The kernel hands out a pending status on its own, ahead of any data that follows it.
    if (buffer[0] != TIOCPKT_DATA) {
        if (buffer[0] & TIOCPKT_FLUSHREAD) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_purges;
        }
        return;
    }
    if (n > 1) {
        m_input.append(buffer + 1, int(n - 1));
        m_lastInput = Clock::now();
    }
}

bool PtyHost::takeFrame(QByteArray *frame) {
    // Whatever precedes a frame mark is line noise to the meter.
    const int mark = m_input.indexOf(char(FrameMark));
    if (mark < 0) {
        m_input.clear();
        return false;
    }
    m_input.remove(0, mark);
    if (m_input.size() < 2) return false;
    const int length = requestLength(quint8(m_input[1]));
    if (m_input.size() < length) return false;
    *frame = m_input.left(length);
    m_input.remove(0, length);
    return true;
}

void PtyHost::answer(const QByteArray &request) {
    const auto received = Clock::now();
    const QByteArray reply = overridden(request, m_responder ? m_responder(request) : QByteArray());
    Delivery delivery;
    int purgesSeen = 0;
    {
        // Logged once the responder has taken it, so that a test that sees the request in the
        // log also sees the meter's new state.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.append(request);
        delivery = m_delivery;
        purgesSeen = m_purges;
    }
    m_wake.notify_all();
    if (!delivery.early.isEmpty()) writeAll(delivery.early.constData(), int(delivery.early.size()));

    int keepBytes = 0;
    const Fault fault = nextFault(request, reply, &keepBytes);
    if (fault == Fault::HangUp) {
        // Not serving before the line goes: whoever sees it go may start the host again at once.
        m_serving = false;
        closeMaster();
        HangUpObserver observer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            observer = m_hangUpObserver;
        }
        if (observer) observer();
        return;
    }
    const QByteArray sent = applyFault(fault, reply, keepBytes, m_random);
    // The program discards its input after writing the request: an answer before the think
    // time would be lost.
    if (sent.isEmpty() || !pause(received + std::chrono::milliseconds(m_thinkMs.load()))) return;
    if (delivery.afterPurge && !waitForPurge(purgesSeen, received + LongestPurgeWait)) return;
    if (!writeReply(sent, delivery)) return;
    ReplyObserver observer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        observer = m_observer;
    }
    if (observer) observer(request, sent);
}

// Keeps reading the line until the program has emptied its input more than `seen` times in all.
// False only when the host is stopping.
bool PtyHost::waitForPurge(int seen, Clock::time_point until) {
    while (!m_stopping && purgeCount() <= seen && Clock::now() < until) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 1) > 0 && (p.revents & POLLIN)) readInput();
    }
    return !m_stopping;
}

QByteArray PtyHost::overridden(const QByteArray &request, const QByteArray &reply) {
    FrameOverride fields;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_override.isEmpty() || !isMeasurementReply(request, reply)) return reply;
        fields = m_override;
        if (m_overrideReplies > 0 && --m_overrideReplies == 0) m_override = {};
    }
    return applyOverride(fields, reply);
}

Fault PtyHost::nextFault(const QByteArray &request, const QByteArray &reply, int *keepBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_hangUpArmed) {
        m_hangUpArmed = false;
        return Fault::HangUp;
    }
    if (!faultApplies(m_fault, request, reply)) return Fault::None;
    const Fault fault = m_fault;
    *keepBytes = m_faultKeepBytes;
    if (m_faultReplies > 0 && --m_faultReplies == 0) m_fault = Fault::None;
    return fault;
}

bool PtyHost::writeReply(const QByteArray &reply, const Delivery &delivery) {
    const int splitAt =
        delivery.pauseMs > 0 ? std::clamp(delivery.splitAt, 0, int(reply.size())) : 0;
    if (!writePart(reply.left(splitAt))) return false;
    if (splitAt > 0 && !pause(Clock::now() + std::chrono::milliseconds(delivery.pauseMs)))
        return false;
    return writePart(reply.mid(splitAt));
}

bool PtyHost::writePart(const QByteArray &part) {
    if (!m_paced) return writeAll(part.constData(), int(part.size()));
    auto slot = Clock::now();
    for (int i = 0; i < part.size(); ++i) {
        if (i > 0 && !pause(slot += ByteTime)) return false;
        if (!writeAll(part.constData() + i, 1)) return false;
    }
    return true;
}

bool PtyHost::writeAll(const char *data, int size) {
    while (size > 0 && !m_stopping) {
        const ssize_t n = ::write(m_master, data, size_t(size));
        if (n < 0 && errno == EINTR) continue;
        // EAGAIN: the slave's input queue is full because nobody reads it; drop the rest.
        if (n <= 0) return false;
        data += n;
        size -= int(n);
    }
    return size == 0;
}

bool PtyHost::pause(Clock::time_point until) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_until(lock, until, [this] { return m_stopping.load(); });
}

} // namespace Sim
