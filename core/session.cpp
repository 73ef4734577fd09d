// The session's timer, its tick and the one message path.
#include "core/session.h"

#include "core/main_state.h"
#include "core/settings_logic.h"
#include "export/recorder.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "link/serial_link.h"
#include "link/silence.h"
#include "sweep/sweep_store.h"

#include <QSignalBlocker>

namespace Core {

Session::Session(QObject *parent)
    : QObject(parent), m_recorder(std::make_unique<Export::Recorder>()) {
    tmr.setObjectName(QStringLiteral("tmr"));
    tmr.setParent(this);
    tmr.setInterval(PollInterval);
    tmr.setSingleShot(false);
    connect(&tmr, &QTimer::timeout, this, [this] { Tick(); });

    m_reopen.setObjectName(QStringLiteral("reopen"));
    m_reopen.setParent(this);
    m_reopen.setInterval(ReopenInterval);
    connect(&m_reopen, &QTimer::timeout, this, [this] { TryReopenPort(); });
    m_reopen.start();
    Device::InitLinkSettings();
}

// The timers are members: they stop with the session, so nothing polls after it ends.
// A bias run still going at the end puts the bias back; nobody is told any more.
Session::~Session() {
    if (!m_quantityRun.going) return;
    const QSignalBlocker quiet(this);
    StopRun();
}

// A bias or level run still going is stopped with its conditions put back, before the line is
// let go.
void Session::Close() {
    tmr.stop();
    m_reopen.stop();
    if (m_quantityRun.going) StopRun();
}

void Session::SetMessageSink(MessageSink *sink) {
    m_sink = sink;
}

// No tick may run while a message is up (inside a modal loop or while the text is written);
// polling goes on afterwards as it was.
void Session::Tell(const QString &text) {
    const BusyScope busy(*this);
    const bool polling = tmr.isActive();
    tmr.stop();
    if (m_sink) m_sink->ShowMessage(text);
    if (polling) tmr.start();
}

void Session::Run() {
    m_paused = false;
    tmr.start();
}

void Session::StartPolling() {
    Main::CycleStarted = true;
    Run();
}

void Session::PausePolling() {
    m_paused = true;
    tmr.stop();
}

void Session::ResumePolling() {
    m_paused = false;
    if (Main::CycleStarted)
        tmr.start();
    else
        tmr.stop();
}

TickResult Session::Tick() {
    const BusyScope busy(*this);
    tmr.stop();
    TickResult result;
    result.accepted = Device::ReadMeasurement();
    if (result.accepted) {
        if (Main::SyncPending) {
            Synchronise();
            result.synchronised = true;
        }
        if (Main::AutoParams)
            Main::ChooseParameters(Device::ParameterValues[Device::ValMagnitude],
                                   Device::ParameterValues[Device::ValPhase]);
        // A running sweep stores its point only when the meter is at a frequency the program
        // accepts; recordings and the tally take only readings at the conditions asked for.
        result.status = JudgeAccepted(&result.followed);
        result.connection = m_connection;
        m_lastStatus = result.status;
        CorrectReading();
        emit frameAccepted();
        if (m_compRun.running) TakeCompensationReading(result);
        SortFrame(result);
        if (result.counts())
            ++m_tally.counted;
        else
            ++m_tally.leftOut[Device::StatusCode(result.status)];
        if (Main::SweepRunning) result = JudgeSweepPoint(result);
        if (result.counts()) result.recorded = RecordFrame();
    }
    if (result.accepted || !m_sinceFrame.isValid()) m_sinceFrame.start();
    result.silence = Device::JudgeSilence(m_sinceFrame.elapsed());
    result.portOpen = Device::PortNumber != 0;
    emit ticked(result);
    Main::CycleStarted = true;
    Run();
    return result;
}

// The first valid frame after a find: the program takes the meter's settings.
// What the program sent since the search stays as sent; the frame may be older than it.
void Session::Synchronise() {
    Main::SyncPending = false;
    Main::AutoRange = (Device::DeviceStatus & 0x01) != 0;
    if (m_requested.frequencyHz == 0) {
        Main::CurrentFrequency = Device::FrequencyHz;
        m_requested.frequencyHz = Device::FrequencyHz;
    }
    if (!m_requested.biasSent) Main::BiasSetting = Device::BiasMillivolts;
    if (Main::BiasSetting > 0) {
        Main::BiasSetting = std::min(Main::BiasSetting, Main::HighestBias);
        Main::BiasStep = Main::CoarseBiasPosition(Main::BiasSetting);
    }
    emit autoRangeChanged(Main::AutoRange);
    emit synchronised();
}

// Adopts a frequency changed on the meter when it lies in the window. False when the meter
// reports a frequency outside it: this frame is not a sweep point.
bool Session::FollowInstrumentFrequency() {
    if (Device::FrequencyHz == Main::CurrentFrequency) return true;
    if (Device::FrequencyHz < Main::FrequencyLow || Device::FrequencyHz > Main::FrequencyHigh)
        return false;
    Main::CurrentFrequency = Device::FrequencyHz;
    return true;
}

Device::Silence Session::Silence() const {
    return Device::JudgeSilence(m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : -1);
}

void Session::LinkFound() {
    m_sinceFrame.start();
}

} // namespace Core
