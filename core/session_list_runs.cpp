// A front end's list run: the sweep run over a client's frequencies, refused with a reason rather
// than a message, and the program's frequency window put back once it is over, however it ends.
#include "core/session.h"

#include "core/main_state.h"
#include "link/models.h"
#include "link/serial_link.h"
#include "sweep/sweep_store.h"

#include <algorithm>

namespace Core {

namespace {

bool MeterReady() {
    return Device::PortNumber != 0 && Device::ModelIndex >= 0 &&
           Device::ModelIndex < Device::ModelCount;
}

} // namespace

// The checks come in the order a client's error tells them: a run going, no meter, the list's
// size, then its frequencies.
Session::ListRunAnswer Session::StartListRun(const QVector<std::int32_t> &frequencies) {
    if (Main::SweepRunning) return {ListRefusal::RunGoing, 0};
    if (!MeterReady()) return {ListRefusal::NoMeter, 0};
    if (frequencies.isEmpty()) return {ListRefusal::NoPoints, 0};
    if (frequencies.size() > Main::SweepCapacity)
        return {ListRefusal::TooManyPoints, Main::SweepCapacity};
    const auto [low, high] = std::minmax_element(frequencies.begin(), frequencies.end());
    // START's own checks would put up a message; a client gets the bound instead.
    if (*low < SweepLowestHz) return {ListRefusal::BelowBounds, SweepLowestHz};
    if (*high > SweepHighestHz) return {ListRefusal::AboveBounds, SweepHighestHz};
    SweepPlan plan;
    plan.low = *low;
    plan.high = *high;
    plan.points = static_cast<int>(frequencies.size());
    plan.frequencies = frequencies;
    connect(this, &Session::sweepStarted, this, &Session::FollowListRunStart, Qt::UniqueConnection);
    connect(this, &Session::sweepAdvanced, this, &Session::FollowListRunAdvance,
            Qt::UniqueConnection);
    m_listSavedLow = Main::FrequencyLow;
    m_listSavedHigh = Main::FrequencyHigh;
    m_listSavedFrequencySweep = FrequencySweep();
    m_listRun = true;
    m_listStarting = true;
    const bool started = StartSweep(plan);
    m_listStarting = false;
    if (started) return {};
    EndListRun();
    return {ListRefusal::NotStarted, 0};
}

void Session::StopListRun() {
    if (!m_listRun) return;
    Main::StopSweepEarly();
    emit sweepStopped();
    emit runEnded(false);
    EndListRun();
}

// A run started by anyone else replaces the list run.
void Session::FollowListRunStart() {
    if (!m_listStarting) EndListRun();
}

void Session::FollowListRunAdvance() {
    if (!Main::SweepRunning) EndListRun();
}

// FREQ keeps the model's whole range after a client's run, as before it.
void Session::EndListRun() {
    if (!m_listRun) return;
    m_listRun = false;
    Main::FrequencyLow = m_listSavedLow;
    Main::FrequencyHigh = m_listSavedHigh;
    SetFrequencySweep(m_listSavedFrequencySweep);
    emit listRunEnded();
}

} // namespace Core
