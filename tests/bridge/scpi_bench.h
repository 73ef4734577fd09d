// Bridge tests: a simulated KT-44 holding `part` on COM1, a session that finds it and ticks only
// by hand, and the SCPI meter on that session; and one line sent by a client, with its answer.
#pragma once

#include "bridge/session_instrument.h"
#include "remote/client.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/core/session_fixture.h"

#include <QDeadlineTimer>

namespace TestCore {

struct ScpiBench : CleanState {
    explicit ScpiBench(const Sim::Component &part)
        : meter(2, part), host(meter, TestPeer::Timing()) {
        if (!host.start()) qFatal("no pseudo-terminal");
        Device::MapPort(1, host.slavePath());
        session.SetMessageSink(&sink);
    }
    ~ScpiBench() { ResetProgramState(); }
    bool found() {
        if (!SearchUntilFound(session).found) return false;
        session.tmr.stop();
        return true;
    }
    Sim::Instrument meter;
    Sim::PtyHost host;
    Core::Session session;
    RecordingSink sink{&session};
    Bridge::SessionInstrument remote{session};
};

const QByteArray NoError = "0,\"No error\"\n";

// Ticks by hand until done() holds, within the deadline of a tick's frame.
template <typename Done> bool TickUntil(Core::Session &session, Done done) {
    const QDeadlineTimer deadline(TickDeadlineMs);
    while (!done() && !deadline.hasExpired())
        session.Tick();
    return done();
}

inline QByteArray Send(Remote::Client &client, const QByteArray &line) {
    client.feed(line + "\n");
    while (client.pump()) {
    }
    return client.takeOutput();
}

} // namespace TestCore
