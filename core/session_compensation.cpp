// Fixture compensation in the session: the data the readings are corrected by, the runs that
// measure the fixture open, shorted or with its load standard (each frequency the mean of a few
// readings at it), and the fixture's file per model.
#include "core/session.h"

#include "compensation/compensation_file.h"
#include "core/main_state.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/serial_link.h"
#include "sweep/sweep_store.h"

#include <cmath>

namespace Core {

namespace {

// Frames at another frequency, or no readings, before a compensation run gives up a frequency.
constexpr int FrequencyGiveUp = 25;

QString ModelNow() {
    return Device::ModelName(Device::ModelIndex);
}

bool MeterReady() {
    return Device::PortNumber != 0 && Device::ModelIndex >= 0 &&
           Device::ModelIndex < Device::ModelCount;
}

Comp::Trace &TraceOf(Comp::Compensation &c, Comp::Kind kind) {
    return kind == Comp::OpenCorrection    ? c.open
           : kind == Comp::ShortCorrection ? c.shorted
                                           : c.load;
}

} // namespace

void Session::SetCompensationEnabled(unsigned kinds) {
    m_compensation.enabled =
        kinds & (Comp::OpenCorrection | Comp::ShortCorrection | Comp::LoadCorrection);
    emit compensationChanged();
}

bool Session::SetLoadStandard(const Comp::LoadStandard &standard) {
    if (!standard.valid()) return false;
    m_compensation.standard = standard;
    emit compensationChanged();
    return true;
}

void Session::ClearCompensation(unsigned kinds) {
    for (Comp::Kind kind : {Comp::OpenCorrection, Comp::ShortCorrection, Comp::LoadCorrection})
        if (kinds & kind) TraceOf(m_compensation, kind) = {};
    emit compensationChanged();
}

void Session::SetFixtureName(const QString &name) {
    m_compensation.fixture = name;
}

QString Session::LoadFixture() {
    const QString model = ModelNow();
    const Comp::ParsedCompensation parsed =
        Comp::LoadCompensation(Comp::CompensationPath(model, m_compensation.fixture), model);
    if (!parsed.ok) return parsed.error;
    const QString fixture = m_compensation.fixture;
    m_compensation = parsed.compensation;
    m_compensation.fixture = fixture;
    emit compensationChanged();
    return QString();
}

QString Session::SaveFixture() {
    if (m_compensation.model.isEmpty()) m_compensation.model = ModelNow();
    m_compensation.saved = QDateTime::currentDateTime();
    QString error;
    const QString path = Comp::CompensationPath(m_compensation.model, m_compensation.fixture);
    return Comp::SaveCompensation(path, m_compensation, &error) ? QString() : error;
}

// A reading of the found model with a correction on has its impedance replaced before anything
// shows or keeps it; the frame's own stays in Device::FrameMagnitude and FramePhase. Standards
// being measured are never corrected.
void Session::CorrectReading() {
    m_lastCorrection = 0;
    if (m_compRun.running || m_compensation.Usable() == 0 || m_compensation.model != ModelNow())
        return;
    const Comp::Complex measured = std::polar(static_cast<double>(Device::FrameMagnitude),
                                              static_cast<double>(Device::FramePhase));
    const Comp::Corrected c = m_compensation.Apply(Device::FrequencyHz, measured);
    if (c.outside) {
        m_lastCorrection = Main::CorrectionOutside;
        return;
    }
    Device::TakeImpedance(static_cast<float>(std::abs(c.z)), static_cast<float>(std::arg(c.z)));
    m_lastCorrection = c.applied;
}

bool Session::StartCompensationRun(Comp::Kind kind, const std::vector<double> &frequencies,
                                   int averaging) {
    if (Main::SweepRunning || m_compRun.running || !MeterReady() || frequencies.empty() ||
        averaging < 1)
        return false;
    if (m_compensation.model != ModelNow()) { // another model's data fit no reading of this one
        m_compensation.open = {};
        m_compensation.shorted = {};
        m_compensation.load = {};
        m_compensation.model = ModelNow();
    }
    TraceOf(m_compensation, kind) = {};
    m_compRun = CompensationRun{};
    m_compRun.running = true;
    m_compRun.kind = kind;
    m_compRun.frequencies = frequencies;
    m_compRun.averaging = averaging;
    m_compRun.savedFrequency = Main::CurrentFrequency;
    tmr.stop();
    SendCompensationFrequency();
    Run();
    return true;
}

void Session::StopCompensationRun() {
    if (m_compRun.running) EndCompensationRun(false);
}

void Session::SendCompensationFrequency() {
    const auto hz = static_cast<std::int32_t>(std::lround(m_compRun.frequencies[m_compRun.index]));
    Main::CurrentFrequency = hz;
    m_requested.frequencyHz = hz;
    NoteSent(Device::SetFrequency(hz));
}

// One frame of a compensation run: a reading at the frequency measured now counts into its
// mean. The open fixture may read beyond the ranges (an overload is its value); every standard
// must be at the frequency asked for.
void Session::TakeCompensationReading(const TickResult &result) {
    using S = Device::ReadingStatus;
    const std::int32_t want =
        static_cast<std::int32_t>(std::lround(m_compRun.frequencies[m_compRun.index]));
    const bool usable = result.status == S::Normal ||
                        (result.status == S::Overload && m_compRun.kind == Comp::OpenCorrection &&
                         std::isfinite(Device::FrameMagnitude));
    if (!usable || Device::FrequencyHz != want) {
        if (++m_compRun.misses >= FrequencyGiveUp) EndCompensationRun(false);
        return;
    }
    m_compRun.misses = 0;
    m_compRun.sum += std::polar(static_cast<double>(Device::FrameMagnitude),
                                static_cast<double>(Device::FramePhase));
    if (++m_compRun.taken < m_compRun.averaging) return;
    TraceOf(m_compensation, m_compRun.kind).Put(want, m_compRun.sum / double(m_compRun.taken));
    m_compRun.sum = {};
    m_compRun.taken = 0;
    ++m_compRun.index;
    emit compensationProgress(static_cast<int>(m_compRun.index),
                              static_cast<int>(m_compRun.frequencies.size()));
    if (m_compRun.index >= m_compRun.frequencies.size()) {
        EndCompensationRun(true);
        return;
    }
    SendCompensationFrequency();
}

// The frequency the user had goes back to the meter; a complete run is kept in the fixture's
// file, an incomplete one leaves what it measured in memory only.
void Session::EndCompensationRun(bool complete) {
    m_compRun.running = false;
    Main::CurrentFrequency = m_compRun.savedFrequency;
    m_requested.frequencyHz = m_compRun.savedFrequency;
    NoteSent(Device::SetFrequency(m_compRun.savedFrequency));
    if (complete) {
        const QString error = SaveFixture();
        if (!error.isEmpty()) Tell(QStringLiteral("Компенсация не сохранена:\n%1").arg(error));
    }
    emit compensationChanged();
    emit compensationRunEnded(complete);
}

} // namespace Core
