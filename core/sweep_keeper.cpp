#include "core/sweep_keeper.h"

#include "compensation/correction.h"
#include "core/main_state.h"
#include "core/session.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/ranges.h"
#include "sweep/sweep_store.h"

#include <cmath>

namespace Core {
namespace {

Library::Conditions ConditionsOf(const Session &session, Sweep::Quantity swept) {
    Library::Conditions c;
    const Device::RequestedConditions &asked = session.Requested();
    const int level = session.LevelIndex();
    if (level >= 0 && level < int(Main::LevelList.size()) && swept != Sweep::Quantity::Level)
        c.levelVolts = Main::LevelList[std::size_t(level)] / 1000.0;
    if (swept != Sweep::Quantity::Bias)
        c.biasVolts = (asked.biasSent ? asked.biasMillivolts : Device::BiasMillivolts) / 1000.0;
    c.biasExternal = session.BiasExternal();
    if (asked.autoRangeWanted)
        c.range = QStringLiteral("auto");
    else if (asked.rangeIndex >= 0)
        c.range = Device::RangeName(asked.rangeIndex);
    if (asked.speedSent)
        c.speed = asked.normalSpeed ? QStringLiteral("normal") : QStringLiteral("fast");
    c.circuit = Device::SeriesCircuit != 0 ? QStringLiteral("series") : QStringLiteral("parallel");
    const Comp::Compensation &comp = session.Compensation();
    if (comp.enabled != Comp::NoCorrection) {
        c.compensation = Comp::CorrectionName(comp.enabled);
        if (!comp.fixture.isEmpty()) c.compensation += QStringLiteral(" (%1)").arg(comp.fixture);
    }
    return c;
}

} // namespace

Library::KeptSweep RunAsKept(const Session &session, bool complete) {
    Library::KeptSweep sweep;
    sweep.data = Exchange::FromStore(Main::SweepState);
    sweep.data.model = Device::ModelName(Device::ModelIndex);
    sweep.entry.taken = QDateTime::currentDateTimeUtc();
    sweep.entry.model = sweep.data.model;
    sweep.entry.quantity = sweep.data.quantity;
    sweep.entry.interrupted = !complete;
    sweep.entry.source = QStringLiteral("run");
    sweep.entry.conditions = ConditionsOf(session, sweep.data.quantity);
    return sweep;
}

SweepKeeper::SweepKeeper(Session &session, Library::SweepLibrary &library, QObject *parent)
    : QObject(parent), m_session(session), m_library(library) {
    connect(&session, &Session::runEnded, this, &SweepKeeper::Keep);
}

// A run stopped before its first point leaves nothing to keep.
void SweepKeeper::Keep(bool complete) {
    if (!m_keeping || !m_library.isOpen()) return;
    const Library::KeptSweep sweep = RunAsKept(m_session, complete);
    if (sweep.data.points.empty()) return;
    qint64 id = 0;
    const Library::Outcome outcome = m_library.keep(sweep, &id);
    if (outcome.ok())
        emit kept(id);
    else
        emit notKept(outcome);
}

} // namespace Core
