// The self-pipe for the stop signals.
#include "launch/stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Launch {

namespace {

// The one thing a signal handler may reach is static storage; this is the write end of the
// pair while a StopSignals exists, else -1.
volatile std::sig_atomic_t WakeDescriptor = -1;

void OnStopSignal(int signal) {
    const int saved = errno;
    const int fd = WakeDescriptor;
    if (fd >= 0) {
        const char byte = static_cast<char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void SetHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT})
        sigaction(signal, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(std::function<void()> stop, QObject *parent)
    : QObject(parent), m_stop(std::move(stop)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_pair) != 0) return;
    for (int fd : m_pair)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { Drain(); });
    WakeDescriptor = m_pair[0];
    SetHandler(OnStopSignal);
}

StopSignals::~StopSignals() {
    if (!m_notifier) return;
    SetHandler(SIG_DFL);
    WakeDescriptor = -1;
    delete m_notifier;
    ::close(m_pair[0]);
    ::close(m_pair[1]);
}

void StopSignals::Drain() {
    char bytes[16];
    ssize_t count = 0;
    while ((count = ::read(m_pair[1], bytes, sizeof bytes)) > 0)
        m_signal = static_cast<unsigned char>(bytes[count - 1]);
    if (m_stop) m_stop();
}

} // namespace Launch
