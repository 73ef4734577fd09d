// The test conditions as the controls and the command line set them: each sent at once.
#include "core/session.h"

#include "core/main_state.h"
#include "core/settings_logic.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "link/serial_link.h"
#include "sweep/sweep_circuit.h"
#include "sweep/sweep_store.h"

namespace Core {

namespace {

constexpr std::int32_t SweepFallbackHz = 1000;

} // namespace

void Session::ApplyFrequency() {
    if (Main::CurrentFrequency > Main::FrequencyHigh) Main::CurrentFrequency = Main::FrequencyHigh;
    if (Main::CurrentFrequency < Main::FrequencyLow) Main::CurrentFrequency = Main::FrequencyLow;
    m_requested.frequencyHz = Main::CurrentFrequency;
    NoteSent(Device::SetFrequency(Main::CurrentFrequency));
}

void Session::SendSweepFrequency() {
    if (Main::CurrentFrequency < SweepLowestHz || Main::CurrentFrequency > SweepHighestHz)
        Main::CurrentFrequency = SweepFallbackHz;
    m_requested.frequencyHz = Main::CurrentFrequency;
    NoteSent(Device::SetFrequency(Main::CurrentFrequency));
}

void Session::SetFrequency(std::int32_t hz) {
    Main::CurrentFrequency = hz;
    ApplyFrequency();
}

void Session::SetModelFrequency(std::int32_t hz) {
    Main::CurrentFrequency = hz;
    m_requested.frequencyHz = hz;
    NoteSent(Device::SetFrequency(hz));
}

bool Session::SetBias(std::int32_t mv) {
    if (mv < Main::LowestBias || mv > Main::HighestBias) return false;
    Main::BiasSetting = mv;
    m_requested.biasSent = true;
    m_requested.biasMillivolts = mv;
    NoteSent(Device::SetBiasVoltage(mv));
    return true;
}

void Session::SelectBiasSource(bool external) {
    m_requested.biasSourceSent = true;
    m_requested.biasExternal = external;
    NoteSent(Device::SelectBiasSource(external));
}

void Session::SetLevel(int index) {
    if (index < 0 || index >= static_cast<int>(Main::LevelList.size())) return;
    m_requested.levelIndex = index;
    NoteSent(Device::SetLevel(Main::LevelList[static_cast<std::size_t>(index)]));
}

void Session::SelectSpeed(bool normal) {
    m_requested.speedSent = true;
    m_requested.normalSpeed = normal;
    NoteSent(Device::SelectSpeed(normal));
}

// Choosing a range starts polling even when no search has found a meter.
void Session::SelectRange(int index) {
    tmr.stop();
    m_requested.rangeIndex = index;
    m_requested.autoRangeWanted = false;
    NoteSent(Device::SetRange(index));
    SetAutoRange(false);
    Run();
}

void Session::SwitchAutoRange(int shownRange) {
    if (Main::AutoRange) {
        m_requested.rangeIndex = shownRange;
        m_requested.autoRangeWanted = false;
        NoteSent(Device::SetRange(shownRange));
        SetAutoRange(false);
    } else {
        m_requested.rangeIndex = -1;
        m_requested.autoRangeWanted = true;
        Device::ToggleAutoRange();
        NoteSent(Device::AckLength);
        SetAutoRange(true);
    }
}

void Session::SetAutoRange(bool on) {
    Main::AutoRange = on;
    emit autoRangeChanged(on);
}

// The circuit is the program's view of the impedance: the points a run has taken are derived
// again in it from their raw |Z| and angle, so the graph and the data show one circuit.
void Session::SetCircuit(bool series) {
    Device::SeriesCircuit = series ? 1 : 0;
    Main::DeriveSweepSamples(Main::SweepState, Main::TakenSweepPoints(), series);
}

void Session::SetAutoParams(bool on) {
    Main::AutoParams = on;
}

} // namespace Core
