// Core tests on a found meter: a simulated KT-44 behind a symbolic link on COM1 that can vanish
// and return at the same path, and a scripted meter whose frame fields a test sets.
#pragma once

#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/core/session_fixture.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace TestCore {

constexpr int Generous = 20000; // ms; a deadline for what must happen, never a measured time
constexpr int KT44 = 2;
constexpr std::uint8_t InitKey = 71;

inline const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

// Ticks until done() holds or the deadline passes.
template <class Done> bool TickUntil(Core::Session &session, Done done) {
    const QDeadlineTimer deadline(Generous);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        session.Tick();
    }
    return true;
}

// Tries the lost port as the reopen timer does until the port is open again.
inline bool ReopenUntilOpen(Core::Session &session) {
    const QDeadlineTimer deadline(Generous);
    for (;;) {
        session.TryReopenPort();
        if (Device::PortNumber != 0) return true;
        if (deadline.hasExpired()) return false;
        QTest::qWait(50);
    }
}

// A KT-44 behind a link on COM1, found.
struct Bench : CleanState {
    Bench() : meter(KT44, Capacitor), host(meter, TestPeer::Timing()) {
        link = dir.filePath(QStringLiteral("meter"));
    }
    ~Bench() { ResetProgramState(); }

    bool Find() {
        if (!dir.isValid() || !host.start() || !PointLink(link, host.slavePath())) return false;
        Device::MapPort(1, link);
        if (!SearchUntilFound(session).found) return false;
        session.tmr.stop();
        return TickWithFrame(session).accepted;
    }

    // The meter goes away: its node disappears and it hangs up; the ticks find the line lost.
    bool Lose() {
        PointLink(link, dir.filePath(QStringLiteral("gone")));
        host.setFault(Sim::Fault::HangUp, 1);
        const bool lost = TickUntil(session, [] { return Device::PortNumber == 0; });
        session.tmr.stop();
        return lost && Device::LostPortNumber == 1;
    }

    // The same meter back at the same path, power-cycled: all its settings at their defaults.
    bool ReturnPowerCycled() {
        meter.respond(TestPeer::Request(InitKey));
        host.clearFault();
        if (!host.start() || !PointLink(link, host.slavePath())) return false;
        const bool open = ReopenUntilOpen(session);
        session.tmr.stop();
        return open;
    }

    Sim::Instrument meter;
    Sim::PtyHost host;
    QTemporaryDir dir;
    QString link;
    Core::Session session;
};

// A scripted meter on COM1 whose frame fields the test sets, found and read once.
struct ScriptedBench : CleanState {
    ScriptedBench() : host(scripted.responder(), TestPeer::Timing()) {}
    ~ScriptedBench() { ResetProgramState(); } // the port closes while the terminal exists
    bool Find() {
        if (!host.start()) return false;
        Device::MapPort(1, host.slavePath());
        if (!SearchUntilFound(session).found) return false;
        session.tmr.stop();
        return TickWithFrame(session).accepted;
    }
    TestPeer::ScriptedMeter scripted;
    Sim::PtyHost host;
    Core::Session session;
};

} // namespace TestCore
