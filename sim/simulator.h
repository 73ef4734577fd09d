// A complete simulated meter built from Options: the instrument and the pseudo-terminal that
// serves it. What impedix-sim and the program's demo mode run.
#pragma once

#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "sim/sim_options.h"

namespace Sim {

class Simulator {
public:
    explicit Simulator(const Options &options);

    bool start() { return m_host.start(); }
    void stop() { m_host.stop(); }
    QString slavePath() const { return m_host.slavePath(); }
    QString errorString() const { return m_host.errorString(); }

    Instrument &instrument() { return m_instrument; }
    PtyHost &host() { return m_host; }

private:
    Instrument m_instrument;
    PtyHost m_host; // declared after the instrument it serves, so it stops first
};

} // namespace Sim
