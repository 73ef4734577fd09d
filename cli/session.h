// The meter as impedix-cli drives it: the search over the ports, the test conditions sent as the
// window's controls send them, and polling every 40 ms from the end of one exchange to the next,
// with the window's sweep run. A line that stays silent, or a lost port that does not come back,
// for LineGiveUpMs ends the session.
#pragma once

#include "cli/conditions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

namespace Cli {

constexpr int PollInterval = 40;       // ms from the end of one tick to the next
constexpr qint64 LineGiveUpMs = 10000; // silence or a lost line that ends the session
constexpr int IdentityAttempts = 3;    // per port, when its identity reply comes back damaged

struct FoundMeter {
    unsigned port = 0;
    int modelIndex = 0;
};

// COM1 to COM15 in order, as the window searches, but a port whose identity reply is short or
// names no model is asked up to IdentityAttempts times. notes receives "COMn: reason" for each
// port that is there but would not open.
std::optional<FoundMeter> SearchMeter(QStringList *notes);

class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(QObject *parent = nullptr);

    // Sends each condition that was given with the command its control sends; the circuit is
    // the program's own choice. Auto-ranging is a toggle on the wire, so it is sent at the
    // first reading, once the meter has said whether it ranges already.
    void applyConditions(const Conditions &conditions);

    // The window's START for the run (checked before), then polling.
    void startSweep(const SweepPlan &plan);
    // Polling without a run.
    void startPolling();
    void stop();

    bool sweepRunning() const;

signals:
    void reading();       // a frame was accepted (after a pending auto-ranging step)
    void sweepPoint();    // a point of the run was stored
    void sweepFinished(); // the run's last point was stored
    void lineGaveUp();    // LineGiveUpMs without an accepted frame

private:
    void tick();
    bool followInstrumentFrequency();
    void sendSweepFrequency();

    QTimer m_timer;
    QElapsedTimer m_sinceFrame;
    QElapsedTimer m_sinceReopen;
    bool m_active = false;
    bool m_autoRangePending = false;
    bool m_frequencyMode = true;
    // The window's own copies: the test frequency and the window that bounds it.
    std::int32_t m_currentFrequency = 0;
    std::int32_t m_frequencyLow = 0;
    std::int32_t m_frequencyHigh = 0;
};

} // namespace Cli
