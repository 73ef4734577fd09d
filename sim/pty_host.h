// Serves the instrument protocol on the master side of a pseudo-terminal from a thread of its
// own: frames requests, records them, answers after a think time (optionally paced at 9600 Bd)
// and commits injected faults. The slave path is the "serial port" the program opens. The
// master runs in packet mode, so the host also sees each time the program empties its input.
#pragma once

#include "sim/faults.h"
#include "sim/frame_override.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

namespace Sim {

class Instrument;

// Answers one complete request frame; an empty reply means no answer.
using Responder = std::function<QByteArray(const QByteArray &request)>;

struct HostOptions {
    int thinkMs = 3;    // delay between the end of a request and the reply
    bool paced = false; // write the reply byte by byte at 9600 Bd instead of at once
    quint32 seed = 1;   // for the garbage fault
};

// How replies reach the line, for tests of the program's read. The default is a plain reply
// after the think time.
struct Delivery {
    QByteArray early;        // written as soon as a request is complete, ahead of its reply
    bool afterPurge = false; // the reply waits (up to 2 s) until the program empties its input
    int splitAt = 0;         // with pauseMs: the reply stops for pauseMs after this many bytes
    int pauseMs = 0;
};

class PtyHost {
public:
    static constexpr int Persistent = -1;
    // Slave descriptors of earlier terminals held after a return (see start()); older ones close.
    static constexpr int RetiredSlavesKept = 8;

    // Told on the serving thread of each reply that went out whole: the request and the bytes.
    using ReplyObserver = std::function<void(const QByteArray &request, const QByteArray &sent)>;
    // Told on the serving thread when the port hung up instead of answering a request.
    using HangUpObserver = std::function<void()>;

    explicit PtyHost(Responder responder, const HostOptions &options = {});
    // The instrument must outlive the host.
    explicit PtyHost(Instrument &instrument, const HostOptions &options = {});
    ~PtyHost();
    PtyHost(const PtyHost &) = delete;
    PtyHost &operator=(const PtyHost &) = delete;

    // Opens a new pseudo-terminal and starts serving it. False, with errorString(), when no
    // pseudo-terminal could be had. A started host returns true at once. After a hang-up the
    // host comes back on a new terminal (another path) with its request log, faults, override
    // and delivery as they were; the old terminal's slave stays held (see hangUp()).
    bool start();
    // Stops serving and closes the pseudo-terminal and every slave still held.
    void stop();
    // The port vanishes now, as if the meter were unplugged: the master closes, the slave path
    // goes away and an open slave reads end of file. The host still holds a slave descriptor
    // until stop() (across later returns, for the last RetiredSlavesKept terminals), so the
    // system cannot hand the same /dev/pts number to another terminal while the program may
    // still hold this one (and the lock file named after it).
    void hangUp();
    // The port vanishes as by hangUp() when the next request comes, instead of its reply, and
    // whatever fault is set stays set. Unlike hangUp() at once, this never takes a reply that
    // has just been written with the terminal: closing the master discards what the program's
    // side has not taken in yet. A new terminal (start()) is not armed.
    void hangUpAtNextRequest();

    bool isServing() const { return m_serving; }
    QString slavePath() const;
    QString errorString() const;

    void setThinkTime(int milliseconds) { m_thinkMs = milliseconds; }
    void setPaced(bool paced) { m_paced = paced; }
    void setDelivery(const Delivery &delivery);

    // The fault spoils the next `replies` replies it applies to (see faults.h), or every one
    // with Persistent. keepBytes is the length of a ShortFrame. Replaces any earlier fault.
    void setFault(Fault fault, int replies = Persistent, int keepBytes = 1);
    void clearFault() { setFault(Fault::None); }

    // The fields are written into the next `replies` measurement frames, or into every one with
    // Persistent; other replies pass untouched and do not count. A fault then spoils the frame
    // as usual. Replaces any earlier override; an empty one clears it.
    void setFrameOverride(const FrameOverride &fields, int replies = Persistent);
    void clearFrameOverride() { setFrameOverride({}); }

    void setReplyObserver(ReplyObserver observer);
    void setHangUpObserver(HangUpObserver observer);

    // Every complete request frame received, oldest first, including those answered by a fault;
    // each is logged once the responder (the meter) has taken it.
    QList<QByteArray> takeRequests();
    int requestCount() const;
    // True once at least count frames are in the log; false when timeoutMs passes first.
    bool waitForRequests(int count, int timeoutMs);
    // How many times the program has emptied its input since start(), as far as read so far;
    // a purge is always read before the request bytes that follow it.
    int purgeCount() const;

private:
    using Clock = std::chrono::steady_clock;

    void halt();
    void serve();
    void readInput();
    bool takeFrame(QByteArray *frame);
    void answer(const QByteArray &request);
    QByteArray overridden(const QByteArray &request, const QByteArray &reply);
    Fault nextFault(const QByteArray &request, const QByteArray &reply, int *keepBytes);
    bool waitForPurge(int seen, Clock::time_point until);
    bool writeReply(const QByteArray &reply, const Delivery &delivery);
    bool writePart(const QByteArray &part);
    bool writeAll(const char *data, int size);
    bool pause(Clock::time_point until);
    void closeMaster();
    void retireSlave();
    void closePty();

    Responder m_responder;
    std::atomic<int> m_thinkMs;
    std::atomic<bool> m_paced;
    std::mt19937 m_random;

    int m_master = -1;
    int m_slave = -1;
    QList<int> m_retiredSlaves; // of terminals hung up, oldest first
    QString m_slavePath;
    QString m_error;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_serving{false};

    QByteArray m_input; // bytes of a request not yet complete
    Clock::time_point m_lastInput;

    mutable std::mutex m_mutex; // guards what follows, and the pauses of the serving thread
    std::condition_variable m_wake;
    QList<QByteArray> m_requests;
    Fault m_fault = Fault::None;
    int m_faultReplies = 0;
    int m_faultKeepBytes = 1;
    FrameOverride m_override;
    int m_overrideReplies = 0;
    bool m_hangUpArmed = false;
    ReplyObserver m_observer;
    HangUpObserver m_hangUpObserver;
    Delivery m_delivery;
    int m_purges = 0;
};

} // namespace Sim
