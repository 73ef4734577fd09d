// Search, conditions and polling on the link's functions.
#include "cli/session.h"

#include "link/commands.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/serial_link.h"
#include "sweep/sweep_frequencies.h"
#include "sweep/sweep_store.h"

namespace Cli {

namespace {

constexpr unsigned LastSearchedPort = 15; // COM16 can only be chosen by hand in the window
constexpr int IdentityTextSize = 8;
constexpr qint64 ReopenIntervalMs = 1000;

// The frequencies a sweep point may be sent at; others become 1000 Hz, as in the window.
constexpr std::int32_t SweepSendLowest = 25;
constexpr std::int32_t SweepSendHighest = 10000000;
constexpr std::int32_t SweepSendFallback = 1000;

QString OpenFailureNote(unsigned port) {
    const Device::OpenFailure &failure = Device::LastOpenFailure;
    if (failure.reason == Device::OpenFailureReason::None ||
        failure.reason == Device::OpenFailureReason::NoDevice)
        return QString();
    return QStringLiteral("COM%1: %2").arg(port).arg(failure.text);
}

} // namespace

std::optional<FoundMeter> SearchMeter(QStringList *notes) {
    char text[IdentityTextSize] = {};
    for (unsigned n = 1; n <= LastSearchedPort; ++n) {
        if (!Device::OpenPort(n)) {
            const QString note = OpenFailureNote(n);
            if (!note.isEmpty()) *notes << note;
            continue;
        }
        for (int attempt = 0; attempt < IdentityAttempts; ++attempt) {
            const bool answered = Device::QueryIdentity(text);
            if (answered) {
                Device::ModelIndex = Device::FindModelRow(text);
                if (Device::ModelIndex < Device::ModelCount)
                    return FoundMeter{n, Device::ModelIndex};
            }
            // Silence is not asked again; a short reply or an unknown name may be a damaged one.
            if (!answered && Device::TransferCount == 0) break;
        }
    }
    return std::nullopt;
}

Session::Session(QObject *parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(PollInterval);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_frequencyLow = Device::ModelLowestFrequency(Device::ModelIndex);
    m_frequencyHigh = Device::ModelHighestFrequency(Device::ModelIndex);
}

void Session::applyConditions(const Conditions &conditions) {
    Device::SeriesCircuit = conditions.circuit == Circuit::Series ? 1 : 0;
    if (conditions.frequencyHz) {
        m_currentFrequency = *conditions.frequencyHz;
        Device::SetFrequency(m_currentFrequency);
    }
    if (conditions.biasMillivolts) Device::SetBiasVoltage(*conditions.biasMillivolts);
    if (conditions.range) {
        if (*conditions.range == AutoRangeChoice)
            m_autoRangePending = true;
        else
            Device::SetRange(*conditions.range);
    }
    if (conditions.levelMillivolts) Device::SetLevel(*conditions.levelMillivolts);
    if (conditions.speed != Speed::Unchanged)
        Device::SelectSpeed(conditions.speed == Speed::Normal);
}

void Session::startSweep(const SweepPlan &plan) {
    m_timer.stop();
    m_frequencyMode = plan.frequencyMode;
    m_frequencyLow = plan.fromHz;
    m_frequencyHigh = plan.frequencyMode ? plan.toHz : plan.fromHz;
    Main::SweepPoints = Main::ClampSweepPoints(plan.points);
    Main::SweepRunning = true;
    Device::SendKeyCode(Device::Command::KeyF1);
    Main::FillSweepFrequencies(m_frequencyLow, m_frequencyHigh);
    Main::SweepIndex = 0;
    m_currentFrequency = m_frequencyLow;
    sendSweepFrequency();
    startPolling();
}

void Session::startPolling() {
    m_sinceFrame.start();
    m_sinceReopen.start();
    m_active = true;
    m_timer.start();
}

void Session::stop() {
    m_active = false;
    m_timer.stop();
}

bool Session::sweepRunning() const {
    return Main::SweepRunning;
}

void Session::tick() {
    const bool accepted = Device::ReadMeasurement();
    if (accepted) {
        m_sinceFrame.start();
        if (m_autoRangePending) {
            // The frame says whether the meter ranges already; the toggle is sent only if not,
            // and readings count from the next frame on.
            m_autoRangePending = false;
            if ((Device::DeviceStatus & 0x01) == 0) Device::ToggleAutoRange();
        } else {
            if (followInstrumentFrequency() && Main::SweepRunning) {
                Main::StoreSweepSample(Device::ParameterValues);
                const bool more = Main::AdvanceSweep();
                if (m_frequencyMode) {
                    m_currentFrequency =
                        static_cast<std::int32_t>(Main::SweepFrequencies[Main::SweepIndex]);
                    sendSweepFrequency();
                }
                emit sweepPoint();
                if (!more) {
                    m_active = false;
                    emit sweepFinished();
                    return;
                }
            }
            emit reading();
        }
    } else if (Device::LostPortNumber != 0 && m_sinceReopen.elapsed() >= ReopenIntervalMs) {
        m_sinceReopen.start();
        Device::ReopenLostPort();
    }
    if (m_sinceFrame.elapsed() >= LineGiveUpMs) {
        m_active = false;
        emit lineGaveUp();
        return;
    }
    if (m_active) m_timer.start();
}

bool Session::followInstrumentFrequency() {
    if (Device::FrequencyHz == m_currentFrequency) return true;
    if (Device::FrequencyHz < m_frequencyLow || Device::FrequencyHz > m_frequencyHigh) return false;
    m_currentFrequency = Device::FrequencyHz;
    return true;
}

void Session::sendSweepFrequency() {
    if (m_currentFrequency < SweepSendLowest || m_currentFrequency > SweepSendHighest)
        m_currentFrequency = SweepSendFallback;
    Device::SetFrequency(m_currentFrequency);
}

} // namespace Cli
