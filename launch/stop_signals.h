// SIGTERM and SIGINT end a program from its event loop: the window closes as if the user closed
// it, a command line's run ends with what it measured written. The signal handler only writes one
// byte to a socket pair; the event loop reads it and runs the stop action.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace Launch {

class StopSignals : public QObject {
public:
    // Installs the handlers; stop runs in the event loop after either signal arrived.
    explicit StopSignals(std::function<void()> stop, QObject *parent = nullptr);
    // Puts the default handlers back.
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // False when the socket pair could not be had: the signals then keep their default action.
    bool isActive() const { return m_notifier != nullptr; }
    // The signal that came last (SIGTERM or SIGINT), 0 before any.
    int lastSignal() const { return m_signal; }

private:
    void Drain();

    std::function<void()> m_stop;
    int m_pair[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    int m_signal = 0;
};

} // namespace Launch
