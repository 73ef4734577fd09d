// Core tests: a session without a window, the program's state back at its start values, ports
// mapped to simulated meters or scripted peers, and a message sink that notes whether polling
// was running while each message was up.
#pragma once

#include "core/main_state.h"
#include "core/session.h"
#include "link/device.h"
#include "tests/common/peer.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

namespace TestCore {

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

// A tick that reads a frame, tried again while an answer is lost on a busy machine.
inline Core::TickResult TickWithFrame(Core::Session &session) {
    Core::TickResult result;
    for (int attempt = 0; attempt < 50 && !result.accepted; ++attempt)
        result = session.Tick();
    return result;
}

// The search, tried again while an identity reply is lost on a busy machine.
inline Core::SearchResult SearchUntilFound(Core::Session &session) {
    Core::SearchResult result;
    for (int attempt = 0; attempt < 5 && !result.found; ++attempt)
        result = session.Search();
    return result;
}

} // namespace TestCore
