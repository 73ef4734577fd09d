// What a run on the command line tells on standard error about where its readings come from: the
// line lost and back (its conditions sent again, the point measured again), another model at the
// port, the frames left out by kind; and what that makes of the exit status.
#pragma once

#include "core/session.h"

#include <QObject>

#include <functional>

namespace Cli {

class RunWatch : public QObject {
public:
    // end is called with ExitInterrupted when another model answers after the line came back.
    RunWatch(Core::Session &session, std::function<void(int)> end);

    // The tick's news: the line lost (said once until it comes back).
    void Observe(const Core::TickResult &result);
    // The exit status of a run that came to code: ExitInterrupted for a run that went on across
    // a reconnection unless accepted; ExitNoMeter for a finished run that recorded nothing.
    // Says what was left out.
    int Conclude(int code, bool acceptReconnections, bool nothingRecorded);

private:
    Core::Session &m_session;
    bool m_lost = false;
    int m_reconnections = 0;
};

} // namespace Cli
