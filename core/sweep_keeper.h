// Keeps each run the session ends in the library of kept sweeps: the points taken, an
// interrupted run marked so, with the model, the conditions it was measured at and the
// compensation that was on.
#pragma once

#include "library/sweep_library.h"

#include <QObject>

namespace Core {

class Session;

// The run the store holds as the library keeps it, with the session's conditions; the swept
// quantity's own condition is left unknown (NaN).
Library::KeptSweep RunAsKept(const Session &session, bool complete);

class SweepKeeper : public QObject {
    Q_OBJECT
public:
    // Both outlive the keeper.
    SweepKeeper(Session &session, Library::SweepLibrary &library, QObject *parent = nullptr);
    // Off, runs end without being kept.
    void SetKeeping(bool on) { m_keeping = on; }
    bool Keeping() const { return m_keeping; }

signals:
    void kept(qint64 id);
    void notKept(const Library::Outcome &outcome);

private:
    void Keep(bool complete);
    Session &m_session;
    Library::SweepLibrary &m_library;
    bool m_keeping = true;
};

} // namespace Core
