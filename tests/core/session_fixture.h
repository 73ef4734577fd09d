// Core tests: a session without a window, the program's state back at its start values, ports
// mapped to simulated meters or scripted peers, and a message sink that notes whether polling
// was running while each message was up.
#pragma once

#include "core/main_state.h"
#include "core/session.h"
#include "link/device.h"
#include "tests/common/lost_answer.h"
#include "tests/common/peer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace TestCore {

// ms; how long ticks may take to read a frame or to find the line lost, never a measured time.
constexpr int TickDeadlineMs = 10000;

struct RecordingSink : Core::MessageSink {
    explicit RecordingSink(const Core::Session *watched = nullptr) : session(watched) {}
    void ShowMessage(const QString &text) override {
        messages << text;
        pollingDuringMessage << (session && session->Polling());
        busyDuringMessage << (session && session->Busy());
    }
    const Core::Session *session;
    QStringList messages;
    QList<bool> pollingDuringMessage;
    QList<bool> busyDuringMessage;
};

// Units Main and Device at their process-start state, with only a guard port mapped, so no
// test ever opens the machine's own serial devices.
inline void ResetProgramState() {
    Main::ResetState();
    Device::ResetState();
    Device::MapPort(99, QStringLiteral("/nonexistent/impedix-guard"));
}

// Resets first, so that members constructed after it (a session fills the line settings) start
// from a clean state; resets again at the end.
struct CleanState {
    CleanState() { ResetProgramState(); }
    ~CleanState() { ResetProgramState(); }
};

// Replaces the symbolic link in one step, as a device node that comes back would appear.
inline bool PointLink(const QString &link, const QString &target) {
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::link(target, fresh) && std::rename(QFile::encodeName(fresh).constData(),
                                                     QFile::encodeName(link).constData()) == 0;
}

// Ticks until one reads a frame: polling goes on past a frame lost on a busy machine, as the
// program's own does. The bound is a deadline, not a count that a busy machine could use up.
inline Core::TickResult TickWithFrame(Core::Session &session) {
    const QDeadlineTimer deadline(TickDeadlineMs);
    Core::TickResult result = session.Tick();
    while (!result.accepted && !deadline.hasExpired())
        result = session.Tick();
    return result;
}

// The search, made once more when a meter that is there lost its identity answer on a busy
// machine (counted and printed; a second loss in the test fails it).
inline Core::SearchResult SearchUntilFound(Core::Session &session) {
    Core::SearchResult result = session.Search();
    while (!result.found &&
           TestLostAnswer::MayStartAgain("search", QStringLiteral("no identity answer")))
        result = session.Search();
    return result;
}

} // namespace TestCore
