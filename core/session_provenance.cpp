// Where each reading comes from: the connection it came on, the conditions asked for and whether
// the frame agrees with them. After a setting the program waits for a frame that agrees (a slow
// meter may still answer from before it); after a reopen the meter gets the conditions again and
// its first frame never counts.
#include "core/session.h"

#include "core/main_state.h"
#include "link/capabilities.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "link/serial_link.h"
#include "sweep/sweep_store.h"

namespace Core {

namespace {

Device::FrameFacts LastFrameFacts() {
    return Device::FrameFacts{Device::FrequencyHz, Device::BiasMillivolts,
                              Device::ParameterValues[Device::ValMagnitude],
                              Device::ParameterValues[Device::ValPhase]};
}

// A status a later frame may not have: the meter was still on its way to the conditions.
bool Transient(Device::ReadingStatus status) {
    using S = Device::ReadingStatus;
    return status == S::OtherFrequency || status == S::OtherBias || status == S::BiasBeyondModel ||
           status == S::Stale;
}

} // namespace

void Session::NewConnection() {
    ++m_connection;
    m_settling = false;
    m_settleFrames = 0;
    m_staleFrames = 0;
    m_checkAutoRange = false;
    m_pointMisses = 0;
}

// Something was sent: frames count again once one agrees. An acknowledgement that did not come
// in time says the meter is behind, so the next frame may answer a request made before.
void Session::NoteSent(std::uint32_t acknowledged) {
    m_settling = true;
    m_settleFrames = 0;
    if (acknowledged != Device::AckLength) m_staleFrames = 1;
}

Device::ReadingStatus Session::JudgeAccepted(bool *followed) {
    using S = Device::ReadingStatus;
    const Device::Capabilities capabilities = Device::CapabilitiesOf(Device::ModelIndex);
    S status = Device::JudgeFrame(LastFrameFacts(), m_requested, capabilities);
    if (m_settling) {
        if (status != S::OtherFrequency && status != S::OtherBias)
            m_settling = false;
        else if (++m_settleFrames >= SettleFrameLimit)
            m_settling = false; // the meter keeps a value of its own
    }
    // A run over frequencies takes its points at the planned ones only; otherwise a frequency
    // changed on the meter within the window is followed, once what was sent has arrived.
    const bool frequencyRun =
        (Main::SweepRunning && (m_frequencySweep || m_quantityRun.going)) || m_compRun.running;
    *followed = Device::FrequencyHz == Main::CurrentFrequency;
    if (!*followed && !m_settling && !frequencyRun && m_followMeter) {
        *followed = FollowInstrumentFrequency();
        if (*followed) {
            m_requested.frequencyHz = Main::CurrentFrequency;
            status = Device::JudgeFrame(LastFrameFacts(), m_requested, capabilities);
        }
    }
    if (m_checkAutoRange) {
        // Auto-ranging is a toggle on the wire: sent only once a frame says it is off.
        m_checkAutoRange = false;
        if ((Device::DeviceStatus & 0x01) == 0) {
            Device::ToggleAutoRange();
            NoteSent(Device::AckLength);
            m_staleFrames = 1;
        }
    }
    if (m_staleFrames > 0) {
        --m_staleFrames;
        if (Device::Counts(status)) status = S::Stale;
    }
    return status;
}

// The point of a running sweep from this frame: a reading at the point's conditions, or the
// meter's own answer there (an overload, an impossible angle), marked. A point the meter does not
// reach within the limit is given up, marked with the reason, so that no run waits for ever.
TickResult Session::JudgeSweepPoint(TickResult result) {
    const bool reached = m_quantityRun.going ? RunPointReached(result) : result.followed;
    const bool store = reached && !Transient(result.status);
    if (store || ++m_pointMisses >= SettleFrameLimit) {
        m_pointMisses = 0;
        return StoreSweepPoint(result);
    }
    return result;
}

// The same meter back: every condition the user set goes out again before its readings count.
void Session::ResendConditions() {
    if (m_requested.frequencyHz != 0) Device::SetFrequency(m_requested.frequencyHz);
    if (m_requested.levelIndex >= 0)
        Device::SetLevel(Device::Levels[static_cast<std::size_t>(m_requested.levelIndex)]);
    if (m_requested.biasSourceSent) Device::SelectBiasSource(m_requested.biasExternal);
    if (m_requested.biasSent) Device::SetBiasVoltage(m_requested.biasMillivolts);
    if (m_requested.rangeIndex >= 0)
        Device::SetRange(m_requested.rangeIndex);
    else if (m_requested.autoRangeWanted)
        m_checkAutoRange = true;
    if (m_requested.speedSent) Device::SelectSpeed(m_requested.normalSpeed);
    m_settling = true;
    m_settleFrames = 0;
    m_staleFrames = 1; // the frame the meter had ready when it came back
    if (m_quantityRun.going) m_quantityRun.sinceSetting.start(); // a level settles again
}

} // namespace Core
