// Runs over the DC bias or the test level at the frequency set: the planner's points, each taken
// from the first frame at its setting, and the bias and level put back when the run is over. A
// bias run leaves a charged part on the fixture otherwise.
#include "core/session.h"

#include "core/main_state.h"
#include "core/settings_logic.h"
#include "link/capabilities.h"
#include "link/commands.h"
#include "link/serial_link.h"
#include "sweep/sweep_store.h"

#include <algorithm>
#include <cstdlib>

namespace Core {

namespace {

bool MeterReady() {
    return Device::PortNumber != 0 && Device::ModelIndex >= 0 &&
           Device::ModelIndex < Device::ModelCount;
}

int LevelIndexOf(std::int32_t millivolts) {
    const auto &levels = Main::LevelList;
    const auto at = std::find(levels.begin(), levels.end(), millivolts);
    return at == levels.end() ? -1 : static_cast<int>(at - levels.begin());
}

} // namespace

Session::RunAnswer Session::StartQuantityRun(const Sweep::Request &request) {
    if (Main::SweepRunning || m_compRun.running) return {RunRefusal::RunGoing, std::nullopt};
    // Until the found meter's first frame, neither its frequency nor its bias is known.
    if (!MeterReady() || Main::SyncPending) return {RunRefusal::NoMeter, std::nullopt};
    if (request.quantity == Sweep::Quantity::Bias && m_requested.biasExternal)
        return {RunRefusal::ExternalBias, std::nullopt};
    if (request.quantity == Sweep::Quantity::Frequency) {
        // A frequency run goes through START's own path.
        RunAnswer answer;
        answer.refused = RunRefusal::Planner;
        answer.verdict = Device::Refusal{Device::Refusal::Subject::SweepSpacing,
                                         Device::Refusal::Bound::NotListed, 0.0, 0.0, -1};
        return answer;
    }
    const Sweep::Plan plan = Sweep::PlanRun(request, Device::CapabilitiesOf(Device::ModelIndex));
    if (!plan.ok()) return {RunRefusal::Planner, plan.refusal};
    // The frequency the run is held at: the one set, or the meter's own before any was set.
    const std::int32_t hz =
        m_requested.frequencyHz != 0 ? m_requested.frequencyHz : Device::FrequencyHz;
    if (hz <= 0) return {RunRefusal::NoMeter, std::nullopt}; // no frame has come yet
    Main::CurrentFrequency = hz;
    m_requested.frequencyHz = hz;

    // What the meter had before: the bias the program set, or else the one its frames report.
    m_quantityRun = {};
    m_quantityRun.going = true;
    m_quantityRun.quantity = request.quantity;
    m_quantityRun.savedBiasSent = m_requested.biasSent;
    m_quantityRun.savedBias =
        m_requested.biasSent ? m_requested.biasMillivolts : Device::BiasMillivolts;
    // The frames do not report the level: one never set here is taken as the meter's power-on
    // level, which the window shows.
    m_quantityRun.savedLevelIndex = std::max(m_requested.levelIndex, 0);

    tmr.stop();
    Main::SweepRunning = true;
    Main::AutoParams = false; // the graphed pair must not change by itself during the run
    Device::SendKeyCode(Device::Command::KeyF1);
    Main::SweepQuantity = request.quantity;
    Main::SweepPoints = static_cast<int>(plan.points.size());
    Main::SweepIndex = 0;
    for (int i = 0; i < Main::SweepPoints; ++i) {
        Main::SweepSettings[i] = plan.points[static_cast<std::size_t>(i)];
        Main::SweepFrequencies[i] = static_cast<float>(hz);
        Main::SweepStatuses[i] = 0;
        Main::SweepConnections[i] = m_connection;
    }
    m_pointMisses = 0;
    emit sweepStarted();
    SendRunSetting();
    Run(); // whether or not polling had been started
    return {};
}

// The setting of point SweepIndex goes out; the bias also becomes the window's setting.
void Session::SendRunSetting() {
    const std::int32_t mv = Main::SweepSettings[Main::SweepIndex];
    if (m_quantityRun.quantity == Sweep::Quantity::Bias) {
        Main::BiasSetting = mv;
        if (mv > 0) Main::BiasStep = Main::CoarseBiasPosition(mv);
        m_requested.biasSent = true;
        m_requested.biasMillivolts = mv;
        NoteSent(Device::SetBiasVoltage(mv));
    } else {
        SetLevel(LevelIndexOf(mv));
    }
    m_quantityRun.sinceSetting.start();
    emit conditionsChanged();
}

// Whether this frame may be the point: a bias run's frame reports the point's bias itself (a
// frame of the previous step never does, however close the steps); a level is not in the frame,
// so its point waits for the meter to have measured at the new level.
bool Session::RunPointReached(const TickResult &result) const {
    if (!result.followed) return false;
    const std::int32_t mv = Main::SweepSettings[Main::SweepIndex];
    if (m_quantityRun.quantity == Sweep::Quantity::Bias) {
        const std::int32_t step = Device::CapabilitiesOf(Device::ModelIndex).biasStepMillivolts;
        return 2 * std::abs(Device::BiasMillivolts - mv) < step;
    }
    return m_quantityRun.sinceSetting.isValid() &&
           m_quantityRun.sinceSetting.hasExpired(LevelSettleMs);
}

// The bias and the level back to what they were before the run. The bias is put back even when
// the line is gone, so that a meter that returns gets the old value, and the front ends are told.
void Session::EndQuantityRun() {
    if (!m_quantityRun.going) return;
    m_quantityRun.going = false;
    if (m_quantityRun.quantity == Sweep::Quantity::Bias) {
        const std::int32_t left = m_requested.biasMillivolts; // the last bias sent
        const std::int32_t mv = m_quantityRun.savedBias;
        Main::BiasSetting = mv;
        if (mv > 0) Main::BiasStep = Main::CoarseBiasPosition(mv);
        m_requested.biasSent = m_quantityRun.savedBiasSent || mv != 0;
        m_requested.biasMillivolts = mv;
        // A late acknowledgement on a busy line is asked once more before the user is told.
        std::uint32_t acknowledged = 0;
        for (int attempt = 0; attempt < 2 && acknowledged != Device::AckLength; ++attempt)
            acknowledged = Device::PortNumber != 0 ? Device::SetBiasVoltage(mv) : 0;
        NoteSent(acknowledged);
        if (acknowledged != Device::AckLength) emit biasNotRestored(left);
    } else {
        SetLevel(m_quantityRun.savedLevelIndex);
    }
    emit conditionsChanged();
}

void Session::StopRun() {
    if (!Main::SweepRunning) {
        EndQuantityRun();
        return;
    }
    if (m_listRun) {
        StopListRun();
        return;
    }
    Main::StopSweepEarly();
    emit sweepStopped();
    emit runEnded(false);
    EndQuantityRun();
}

} // namespace Core
