// The meter's settings as clients set them: through the session calls of the window's controls,
// nothing sent for a value the meter has, and values that come faster than the poll paced by
// SettingPacer (one of a kind at once, the newest of the rest once its cycles are over).
#include "bridge/session_instrument.h"

#include "bridge/swept_quantities.h"
#include "core/main_state.h"
#include "core/session.h"
#include "core/settings_logic.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/serial_link.h"

namespace Bridge {

Remote::Settings SessionInstrument::settings() const {
    Remote::Settings s;
    // A value held for the next cycle is the one set: a query after a setting answers it.
    s.frequency = m_pacer.held(SettingPacer::Frequency).value_or(Main::CurrentFrequency);
    const int level =
        m_pacer.held(SettingPacer::Level).value_or(static_cast<int>(m_session.LevelIndex()));
    if (level >= 0) s.levelMillivolts = Main::LevelList[static_cast<std::size_t>(level)];
    // The window's bias controls set the level and switch it on in one.
    const int bias = m_pacer.held(SettingPacer::Bias).value_or(Main::BiasSetting);
    s.biasOn = bias > 0;
    s.biasMillivolts = s.biasOn ? bias : m_biasMillivolts;
    s.biasExternal = m_session.BiasExternal();
    s.autoRange = Main::AutoRange;
    // The range asked for, until a frame has reported it: a query after RANG answers RANG.
    const int asked = m_session.Requested().rangeIndex;
    s.rangeIndex = !Main::AutoRange && asked >= 0 ? asked : Device::DeviceRange;
    s.normalSpeed = m_session.NormalSpeed();
    s.seriesCircuit = Device::SeriesCircuit != 0;
    return s;
}

// The program has sent this bias and the window shows it: sending it again changes nothing.
bool SessionInstrument::BiasSent(int millivolts) const {
    const Device::RequestedConditions &sent = m_session.Requested();
    return sent.biasSent && sent.biasMillivolts == millivolts && Main::BiasSetting == millivolts;
}

int SessionInstrument::Changed() {
    m_session.AnnounceConditions();
    return Remote::NoError;
}

// While a run holds the conditions its owner's settings go at once, as they always have.
int SessionInstrument::Pace(SettingPacer::Kind kind, std::int32_t value, bool onMeter) {
    if (runGoing()) {
        m_pacer.drop(kind);
        if (onMeter) return Remote::NoError;
        Send(kind, value);
        return Changed();
    }
    switch (m_pacer.offer(kind, value, onMeter)) {
    case SettingPacer::Action::Nothing:
        return Remote::NoError;
    case SettingPacer::Action::Hold:
        return Remote::NoError;
    case SettingPacer::Action::Send:
        break;
    }
    Send(kind, value);
    return Changed();
}

void SessionInstrument::Send(SettingPacer::Kind kind, std::int32_t value) {
    switch (kind) {
    case SettingPacer::Frequency:
        m_session.SetModelFrequency(value);
        break;
    case SettingPacer::Level:
        m_session.SetLevel(value);
        break;
    case SettingPacer::Bias:
        m_session.SetBias(value);
        break;
    case SettingPacer::KindCount:
        break;
    }
}

// After a tick: what clients asked for in the cycles before goes out, the newest value of each
// kind whose cycles are over (and all of them before a run of a client starts). A run that began
// meanwhile (the window's START) holds the conditions: the values are dropped.
void SessionInstrument::SendHeld(bool dueOnly) {
    if (!m_pacer.holding()) return;
    if (!Ready() || runGoing()) return m_pacer.drop();
    const auto due = dueOnly ? m_pacer.flush() : m_pacer.flushAll();
    if (due.empty()) return;
    for (const auto &[kind, value] : due)
        Send(kind, value);
    Changed();
}

std::uint64_t SessionInstrument::conditionsNumber() const {
    return m_pacer.newest();
}

int SessionInstrument::setFrequency(std::int32_t hz) {
    if (!Ready()) return Remote::HardwareError;
    const Remote::ModelInfo bounds = model();
    if (hz < bounds.lowestFrequency || hz > bounds.highestFrequency) return Remote::DataOutOfRange;
    const bool onMeter = hz == Main::CurrentFrequency && m_session.Requested().frequencyHz == hz;
    return Pace(SettingPacer::Frequency, hz, onMeter);
}

int SessionInstrument::setLevel(int millivolts) {
    if (!Ready()) return Remote::HardwareError;
    if (SettingRunOf(Remote::SweptQuantity::Level)) return Remote::SettingsConflict;
    const int level = LevelIndexOf(millivolts);
    if (level < 0) return Remote::DataOutOfRange;
    if (m_pass.quantity == Remote::SweptQuantity::Level && !m_pass.stepGoing) m_pass.held = false;
    return Pace(SettingPacer::Level, level, m_session.Requested().levelIndex == level);
}

int SessionInstrument::setBiasLevel(int millivolts) {
    if (!Ready()) return Remote::HardwareError;
    if (SettingRunOf(Remote::SweptQuantity::Bias)) return Remote::SettingsConflict;
    if (millivolts < Main::LowestBias || millivolts > Main::HighestBias)
        return Remote::DataOutOfRange;
    if (m_pass.quantity == Remote::SweptQuantity::Bias) m_pass.held = false;
    m_biasMillivolts = millivolts;
    if (Main::BiasSetting > 0 || m_biasOn) {
        m_biasOn = true;
        return Pace(SettingPacer::Bias, millivolts, BiasSent(millivolts));
    }
    return Changed();
}

// Switching the bias sends at once; a level held for the next cycle is what it switches on.
int SessionInstrument::setBiasState(bool on) {
    if (!Ready()) return Remote::HardwareError;
    if (SettingRunOf(Remote::SweptQuantity::Bias)) return Remote::SettingsConflict;
    if (m_pass.quantity == Remote::SweptQuantity::Bias) m_pass.held = false;
    m_pacer.drop(SettingPacer::Bias);
    if (Main::BiasSetting > 0) m_biasMillivolts = Main::BiasSetting;
    m_biasOn = on;
    if (BiasSent(on ? m_biasMillivolts : 0)) return Remote::NoError;
    m_session.SetBias(on ? m_biasMillivolts : 0);
    return Changed();
}

int SessionInstrument::setBiasSource(bool external) {
    if (!Ready()) return Remote::HardwareError;
    if (SettingRunOf(Remote::SweptQuantity::Bias)) return Remote::SettingsConflict;
    const Device::RequestedConditions &sent = m_session.Requested();
    if (sent.biasSourceSent && sent.biasExternal == external) return Remote::NoError;
    m_session.SelectBiasSource(external);
    return Changed();
}

// Auto-ranging is a toggle on the wire: sent only when it changes.
int SessionInstrument::setAutoRange(bool on) {
    if (!Ready()) return Remote::HardwareError;
    if (on != Main::AutoRange) m_session.SwitchAutoRange(Device::DeviceRange);
    return Changed();
}

int SessionInstrument::setRange(int index) {
    if (!Ready()) return Remote::HardwareError;
    if (!Main::AutoRange && m_session.Requested().rangeIndex == index) return Remote::NoError;
    m_session.SelectRange(index);
    return Changed();
}

int SessionInstrument::setSpeed(bool normal) {
    if (!Ready()) return Remote::HardwareError;
    const Device::RequestedConditions &sent = m_session.Requested();
    if (sent.speedSent && sent.normalSpeed == normal) return Remote::NoError;
    m_session.SelectSpeed(normal);
    return Changed();
}

int SessionInstrument::setSeriesCircuit(bool series) {
    if (!Ready()) return Remote::HardwareError;
    m_session.SetCircuit(series);
    return Changed();
}

// The reset sends every setting at once, in the controls' order; nothing stays held.
int SessionInstrument::applySettings(const Remote::Settings &s) {
    if (!Ready()) return Remote::HardwareError;
    m_pacer.drop();
    int code = Remote::NoError;
    const auto keep = [&code](int next) {
        if (code == Remote::NoError) code = next;
    };
    const Remote::ModelInfo bounds = model();
    if (s.frequency < bounds.lowestFrequency || s.frequency > bounds.highestFrequency)
        keep(Remote::DataOutOfRange);
    else if (s.frequency != Main::CurrentFrequency ||
             m_session.Requested().frequencyHz != s.frequency)
        m_session.SetModelFrequency(s.frequency);
    const int level = LevelIndexOf(s.levelMillivolts);
    if (m_pass.quantity == Remote::SweptQuantity::Level && !m_pass.stepGoing) m_pass.held = false;
    if (SettingRunOf(Remote::SweptQuantity::Level))
        keep(Remote::SettingsConflict);
    else if (level < 0)
        keep(Remote::DataOutOfRange);
    else if (m_session.Requested().levelIndex != level)
        m_session.SetLevel(level);
    keep(setBiasSource(s.biasExternal));
    if (s.biasOn) {
        keep(setBiasState(true));
        keep(setBiasLevel(s.biasMillivolts));
        SendHeld(); // the reset's bias goes now, whatever went in this cycle
    } else {
        keep(setBiasState(false));
        m_biasMillivolts = s.biasMillivolts; // what BIAS:STAT ON sends next
    }
    if (s.autoRange)
        keep(setAutoRange(true));
    else
        keep(setRange(s.rangeIndex));
    keep(setSpeed(s.normalSpeed));
    keep(setSeriesCircuit(s.seriesCircuit));
    return code;
}

} // namespace Bridge
