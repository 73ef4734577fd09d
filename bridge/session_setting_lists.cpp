// Bias and level lists on the session: a whole list is the core's run over the quantity; a step
// sets its value through the session's setter and holds it until the pass ends.
#include "bridge/session_instrument.h"

#include "bridge/swept_quantities.h"
#include "core/main_state.h"
#include "core/session.h"
#include "link/capabilities.h"
#include "link/commands.h"
#include "link/serial_link.h"
#include "remote/list_settings.h"
#include "sweep/sweep_store.h"

#include <algorithm>
#include <cstdlib>

namespace Bridge {

namespace {

int RunRefusalCode(Core::Session::RunRefusal refusal) {
    using R = Core::Session::RunRefusal;
    switch (refusal) {
    case R::None:
        return Remote::NoError;
    case R::RunGoing:
        return Remote::InitIgnored;
    case R::NoMeter:
        return Remote::HardwareError;
    case R::ExternalBias:
        return Remote::SettingsConflict;
    case R::Planner:
        return Remote::DataOutOfRange;
    }
    return Remote::DataOutOfRange;
}

} // namespace

// The core's run over the quantity at the frequency set; it puts the setting back at its end.
int SessionInstrument::startSettingList(Remote::SweptQuantity quantity,
                                        const QVector<std::int32_t> &millivolts,
                                        std::uint64_t &run) {
    if (quantity == Remote::SweptQuantity::Frequency) return startList(millivolts, run);
    if (m_pass.stepGoing) return Remote::InitIgnored;
    SendHeld();
    // The run's number and points are ours before the first point can be stored.
    const Remote::ListState before = m_list;
    const bool wasSettingRun = m_settingRun;
    m_list.run += 1;
    m_list.running = true;
    m_list.points = QVector<Remote::ListPoint>(millivolts.size());
    m_settingRun = true;
    Sweep::Request request;
    request.quantity = CoreQuantity(quantity);
    request.spacing = Sweep::Spacing::List;
    request.list.assign(millivolts.begin(), millivolts.end());
    const Core::Session::RunAnswer answer = m_session.StartQuantityRun(request);
    if (!answer.accepted()) {
        m_list = before;
        m_settingRun = wasSettingRun;
        return RunRefusalCode(answer.refused);
    }
    run = m_list.run;
    return Remote::NoError;
}

// One point: the setting through the session's setter, as the window's control sends it, and the
// point from the first frame at it (a bias the frame reports; a level once the meter has measured
// at it for the core's settling time).
int SessionInstrument::startSettingStep(Remote::SweptQuantity quantity, std::int32_t millivolts,
                                        bool last, std::uint64_t &run) {
    if (!Ready()) return Remote::HardwareError;
    if (quantity == Remote::SweptQuantity::Frequency) return Remote::IllegalParameterValue;
    if (Main::SweepRunning || m_session.CompensationRunning() || m_pass.stepGoing)
        return Remote::InitIgnored;
    if (quantity == Remote::SweptQuantity::Bias && m_session.BiasExternal())
        return Remote::SettingsConflict;
    const auto planned = Remote::PlanSettingList(
        quantity, {millivolts}, Device::CapabilitiesOf(Device::ModelIndex).biasStepMillivolts);
    if (!planned) return Remote::DataOutOfRange;
    SendHeld();
    const std::int32_t mv = planned->front();
    if (m_pass.held && m_pass.quantity != quantity) EndPass();
    if (!m_pass.held) {
        // What the meter had before: the bias the program set, or else the one its frames report.
        const Device::RequestedConditions &requested = m_session.Requested();
        m_pass.savedBias = requested.biasSent ? requested.biasMillivolts : Device::BiasMillivolts;
        m_pass.savedLevelIndex = m_session.LevelIndex();
        m_pass.quantity = quantity;
        m_pass.held = true;
    }
    m_settingRun = false;
    m_list.run += 1;
    m_list.running = true;
    m_list.points = QVector<Remote::ListPoint>(1);
    m_pass.latestRun = m_list.run;
    m_pass.stepGoing = true;
    m_pass.last = last;
    m_pass.millivolts = mv;
    m_pass.misses = 0;
    if (quantity == Remote::SweptQuantity::Bias)
        m_session.SetBias(mv);
    else
        m_session.SetLevel(LevelIndexOf(mv));
    m_pass.sinceSetting.start();
    Changed();
    run = m_list.run;
    return Remote::NoError;
}

void SessionInstrument::endSettingSteps(std::uint64_t run) {
    if (run == 0 || run == m_pass.latestRun) EndPass();
}

// The setting from before the pass goes back through the session, even with the line gone (a
// meter that returns is sent it); then the clients are told it could not be.
void SessionInstrument::EndPass() {
    if (!m_pass.held) return;
    m_pass.held = false;
    if (m_pass.stepGoing) EndStep(false);
    if (m_pass.quantity == Remote::SweptQuantity::Bias) {
        const bool lineGone = Device::PortNumber == 0;
        m_session.SetBias(m_pass.savedBias);
        if (lineGone) {
            ++m_biasLosses;
            m_listPending = true;
            m_notify.start();
        }
    } else if (m_pass.savedLevelIndex >= 0) {
        m_session.SetLevel(m_pass.savedLevelIndex);
    }
    m_session.AnnounceConditions();
}

// A frame while a step waits: its point when the frame is at the step's setting; the step is
// given up (no point) after as many frames as a run's point waits.
void SessionInstrument::TakeStepFrame(bool counts) {
    bool reached = false;
    if (counts && m_pass.quantity == Remote::SweptQuantity::Bias) {
        const int step = Device::CapabilitiesOf(Device::ModelIndex).biasStepMillivolts;
        reached = 2 * std::abs(Device::BiasMillivolts - m_pass.millivolts) < std::max(1, step);
    } else if (counts) {
        reached = m_pass.sinceSetting.hasExpired(Core::Session::LevelSettleMs);
    }
    if (reached)
        EndStep(true);
    else if (++m_pass.misses >= Core::Session::SettleFrameLimit) // as a run's point waits
        EndStep(false);
}

void SessionInstrument::EndStep(bool measured) {
    if (!m_pass.stepGoing) return;
    m_pass.stepGoing = false;
    if (measured && !m_list.points.isEmpty()) m_list.points[0] = {true, m_latest};
    m_list.running = false;
    m_listPending = true;
    m_notify.start();
    if (m_pass.last) EndPass();
}

void SessionInstrument::TakeSettingRunEnd() {
    if (!m_settingRun || !m_list.running || m_session.QuantityRunGoing()) return;
    m_list.running = false;
    m_listPending = true;
    m_notify.start();
}

// A bias or level run goes: the quantity it steps is the run's until it ends.
bool SessionInstrument::SettingRunOf(Remote::SweptQuantity quantity) const {
    return (m_session.QuantityRunGoing() && Main::SweepQuantity == CoreQuantity(quantity)) ||
           (m_pass.stepGoing && m_pass.quantity == quantity);
}

} // namespace Bridge
