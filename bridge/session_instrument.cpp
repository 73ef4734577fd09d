// Remote::Instrument on Core::Session.
#include "bridge/session_instrument.h"

#include "bridge/swept_quantities.h"
#include "compensation/compensation_data.h"
#include "core/main_state.h"
#include "core/session.h"
#include "core/settings_logic.h"
#include "link/capabilities.h"
#include "link/commands.h"
#include "link/decoding.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/serial_link.h"
#include "sweep/sweep_statistics.h"
#include "sweep/sweep_store.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <utility>

namespace Bridge {

namespace {

bool KnownModel() {
    return Device::ModelIndex >= 0 && Device::ModelIndex < Device::ModelCount;
}

Remote::Reading RawReading(std::uint64_t sequence, std::int64_t timeMs, float magnitude,
                           float phase, std::int32_t frequency) {
    Remote::Reading reading;
    reading.sequence = sequence;
    reading.timeMs = timeMs;
    reading.magnitude = magnitude;
    reading.phase = phase;
    reading.frequency = frequency;
    reading.overload = !std::isfinite(magnitude) || !std::isfinite(phase);
    return reading;
}

// A point's status for a client: its own, or +1 for one the display shows as an overload.
int PointStatus(int i) {
    if (Main::SweepStatuses[i] != 0) return Main::SweepStatuses[i];
    return Main::PointOverloaded(Main::SweepState, i) ? 1 : 0;
}

} // namespace

SessionInstrument::SessionInstrument(Core::Session &session, QObject *parent)
    : Remote::Instrument(parent), m_session(session) {
    m_clock.start();
    m_biasMillivolts = Main::BiasSetting;
    m_biasOn = Main::BiasSetting > 0;
    m_notify.setSingleShot(true);
    m_notify.setInterval(0);
    connect(&m_notify, &QTimer::timeout, this, [this] { Notify(); });
    m_release.setSingleShot(true);
    m_release.setInterval(0);
    connect(&m_release, &QTimer::timeout, this, [this] { SendHeld(true); });
    connect(&session, &Core::Session::ticked, this, [this] {
        m_pacer.tick();
        if (m_pacer.due()) m_release.start();
    });
    connect(&session, &Core::Session::frameAccepted, this, [this] { TakeFrame(); });
    connect(&session, &Core::Session::idle, this, [this] {
        m_readyPending = true;
        m_notify.start();
    });
    connect(&session, &Core::Session::partSorted, this, [this](const Sort::LogEntry &entry) {
        m_partCounted = true;
        if (m_comparator.counting)
            Remote::CountBin(m_counters, entry.verdict.code(m_session.SortPlan().auxBin));
    });
    connect(&session, &Core::Session::sortPlanChanged, this, [this] {
        if (!m_session.Sorting()) m_batch = 0; // a batch ends however the sorting stops
    });
    connect(&session, &Core::Session::sweepStarted, this, [this] { TakeRunStart(); });
    connect(&session, &Core::Session::sweepPointStored, this, [this] {
        TakeRunPoint();
        TakeSweepPoint();
    });
    // However the core's list run ends (its last point, a stop, the window's START over it).
    connect(&session, &Core::Session::listRunEnded, this, [this] { TakeSweepEnd(); });
    // Only one compensation run goes at a time: while ours runs, the one that ends is ours.
    connect(&session, &Core::Session::compensationRunEnded, this, [this](bool complete) {
        if (!m_correctionRunning) return;
        m_correctionRunning = false;
        m_correctionComplete = complete;
        m_listPending = true;
        m_notify.start();
    });
    const auto line = [this] {
        m_linePending = true;
        m_notify.start();
    };
    connect(&session, &Core::Session::meterFound, this, line);
    connect(&session, &Core::Session::portRefused, this, line);
    connect(&session, &Core::Session::ticked, this, [this, line](const Core::TickResult &result) {
        if (result.portOpen != m_portWasOpen) line();
        m_portWasOpen = result.portOpen;
    });
    m_portWasOpen = Device::PortNumber != 0;
    TakeStoredRun();
    // A bias or level run of ours ends by itself, on a stop, or under another run; the core says
    // so with the conditions it puts back.
    const auto settingRun = [this] { TakeSettingRunEnd(); };
    connect(&session, &Core::Session::conditionsChanged, this, settingRun);
    connect(&session, &Core::Session::sweepStopped, this, settingRun);
    connect(&session, &Core::Session::sweepStarted, this, settingRun);
    connect(&session, &Core::Session::ticked, this, settingRun);
    connect(&session, &Core::Session::biasNotRestored, this, [this] {
        ++m_biasLosses;
        m_listPending = true;
        m_notify.start();
    });
    // The program stops while the line is still open: a pass's setting goes back first.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { EndPass(); });
}

SessionInstrument::~SessionInstrument() {
    EndPass();
}

Remote::LineState SessionInstrument::lineState() const {
    if (Device::PortNumber != 0 && KnownModel()) return Remote::LineState::Ready;
    if (Device::LostPortNumber != 0) return Remote::LineState::LineLost;
    return Remote::LineState::NoMeter;
}

Remote::ModelInfo SessionInstrument::model() const {
    Remote::ModelInfo info;
    const unsigned port = Device::PortNumber != 0 ? Device::PortNumber : Device::LostPortNumber;
    const bool present = port != 0 && KnownModel();
    info.name = present ? Device::ModelName(Device::ModelIndex) : QString();
    info.port = present ? QStringLiteral("COM%1").arg(port) : QString();
    // A client sets any frequency of the model: the window's frequency window (its sweep
    // fields, 50 to 100 kHz at start-up) bounds the window's own controls only.
    info.lowestFrequency = Device::ModelLowestFrequency(Device::ModelIndex);
    info.highestFrequency = Device::ModelHighestFrequency(Device::ModelIndex);
    info.biasStepMillivolts = Device::BiasScale(Device::ModelIndex);
    const Device::Capabilities model = Device::CapabilitiesOf(Device::ModelIndex);
    info.runLowestFrequency = model.sweepLowestHz;
    info.runHighestFrequency = model.sweepHighestHz;
    return info;
}

namespace {

// The core's reasons, as the client's error queue words them.
int ListRefusalCode(Core::Session::ListRefusal refusal) {
    using R = Core::Session::ListRefusal;
    switch (refusal) {
    case R::None:
        return Remote::NoError;
    case R::RunGoing:
        return Remote::InitIgnored;
    case R::NoMeter:
        return Remote::HardwareError;
    case R::NoPoints:
    case R::TooManyPoints:
        return Remote::SettingsConflict;
    case R::BelowBounds:
    case R::AboveBounds:
    case R::NotStarted:
        return Remote::DataOutOfRange;
    }
    return Remote::DataOutOfRange;
}

} // namespace

int SessionInstrument::startList(const QVector<std::int32_t> &frequencies, std::uint64_t &run) {
    SendHeld();
    // The run's number and points are ours before the first point can be stored.
    const Remote::ListState before = m_list;
    m_list.run += 1;
    m_list.running = true;
    m_list.points = QVector<Remote::ListPoint>(frequencies.size());
    const Core::Session::ListRunAnswer answer = m_session.StartListRun(frequencies);
    if (!answer.accepted()) {
        // A run the checks refused never began; one START refused has ended (listRunEnded).
        if (answer.refused != Core::Session::ListRefusal::NotStarted) m_list = before;
        return ListRefusalCode(answer.refused);
    }
    run = m_list.run;
    return Remote::NoError;
}

void SessionInstrument::abortList() {
    if (m_pass.stepGoing) {
        EndPass();
    } else if (m_settingRun) {
        if (m_list.running && m_session.QuantityRunGoing()) m_session.StopRun();
    } else {
        m_session.StopListRun();
    }
}

bool SessionInstrument::runGoing() const {
    return Main::SweepRunning || m_list.running || m_pass.stepGoing ||
           m_session.CompensationRunning();
}

bool SessionInstrument::ClientRunGoing() const {
    return m_list.running || m_pass.held || m_pass.stepGoing || m_correctionRunning || m_batch != 0;
}

bool SessionInstrument::busy() const {
    return m_session.Busy();
}

Remote::SweepTable SessionInstrument::lastSweep() const {
    Remote::SweepTable table = m_sweep;
    table.running = Main::SweepRunning;
    return table;
}

// Point i of the store as a client's table holds it.
Remote::SweepPoint SessionInstrument::StoredPoint(int i) const {
    Remote::SweepPoint point;
    point.plannedFrequency = Main::SweepFrequencies[i];
    if (RemoteQuantity(Main::SweepQuantity) != Remote::SweptQuantity::Frequency)
        point.plannedSetting = Main::PlannedAxisValue(Main::SweepState, i);
    point.seriesCircuit = Main::SweepSeriesCircuits[i];
    point.reading = RawReading(0, 0, Main::SweepMagnitudes[i], Main::SweepPhases[i],
                               Main::SweepReportedFrequencies[i]);
    point.reading.overload = Main::PointOverloaded(Main::SweepState, i);
    point.reading.status = PointStatus(i);
    point.reading.connection = Main::SweepConnections[i];
    return point;
}

// The store's run as it stands (when the bridge begins, a run may have gone before it).
void SessionInstrument::TakeStoredRun() {
    m_sweep = {};
    m_sweep.quantity = RemoteQuantity(Main::SweepQuantity);
    const int taken = Main::TakenSweepPoints();
    m_sweep.planned = taken > 0 || Main::SweepRunning ? Main::SweepPoints : 0;
    for (int i = 0; i < taken; ++i)
        m_sweep.points.append(StoredPoint(i));
}

// A run begins: the table is its own from now on, whatever the store keeps of runs before it
// or the window's plan writes into the store afterwards.
void SessionInstrument::TakeRunStart() {
    m_sweep = {};
    m_sweep.quantity = RemoteQuantity(Main::SweepQuantity);
    m_sweep.planned = Main::SweepPoints;
}

// The point the core has just stored (a point measured again replaces the one before it).
void SessionInstrument::TakeRunPoint() {
    const int i = Main::SweepIndex;
    if (i < 0 || i >= m_sweep.planned || i >= Main::SweepCapacity) return;
    if (i < m_sweep.points.size()) m_sweep.points.resize(i);
    while (m_sweep.points.size() < i) { // a point the run left behind: no value
        Remote::SweepPoint missing = StoredPoint(m_sweep.points.size());
        missing.reading.overload = true;
        missing.reading.status = -1;
        m_sweep.points.append(missing);
    }
    m_sweep.points.append(StoredPoint(i));
}

namespace {

Comp::LoadStandard::Form CoreForm(Remote::StandardValue::Form form) {
    using F = Remote::StandardValue::Form;
    switch (form) {
    case F::ResistanceReactance:
        return Comp::LoadStandard::Form::ResistanceReactance;
    case F::CapacitanceD:
        return Comp::LoadStandard::Form::CapacitanceD;
    case F::InductanceQ:
        return Comp::LoadStandard::Form::InductanceQ;
    }
    return Comp::LoadStandard::Form::ResistanceReactance;
}

Remote::StandardValue::Form RemoteForm(Comp::LoadStandard::Form form) {
    using F = Comp::LoadStandard::Form;
    switch (form) {
    case F::ResistanceReactance:
        return Remote::StandardValue::Form::ResistanceReactance;
    case F::CapacitanceD:
        return Remote::StandardValue::Form::CapacitanceD;
    case F::InductanceQ:
        return Remote::StandardValue::Form::InductanceQ;
    }
    return Remote::StandardValue::Form::ResistanceReactance;
}

} // namespace

// The data count only for the model found: the core corrects no reading of another by them.
Remote::CorrectionState SessionInstrument::correction() const {
    const Comp::Compensation &c = m_session.Compensation();
    Remote::CorrectionState state;
    if (KnownModel() && c.model == Device::ModelName(Device::ModelIndex)) {
        state.measured = (c.open.empty() ? 0u : unsigned(Remote::OpenKind)) |
                         (c.shorted.empty() ? 0u : unsigned(Remote::ShortKind)) |
                         (c.load.empty() ? 0u : unsigned(Remote::LoadKind));
    }
    state.enabled = c.enabled;
    state.haveStandard = c.standard.valid();
    state.standard = {RemoteForm(c.standard.form), c.standard.first, c.standard.second};
    state.run = m_correctionRun;
    state.running = m_correctionRunning;
    state.complete = m_correctionComplete;
    return state;
}

// Over the compensation grid of the model's frequencies within the program's frequency window
// (the sweep's bounds, which the compensated sweeps run in), or at the spot frequency alone.
int SessionInstrument::startCorrectionRun(Remote::CorrectionKind kind, double spotHz,
                                          std::uint64_t &run) {
    if (!Ready()) return Remote::HardwareError;
    SendHeld();
    if (m_session.CompensationRunning() || Main::SweepRunning) return Remote::InitIgnored;
    const Remote::ModelInfo bounds = model();
    std::vector<double> frequencies;
    if (spotHz > 0.0) {
        if (spotHz < bounds.lowestFrequency || spotHz > bounds.highestFrequency)
            return Remote::DataOutOfRange;
        frequencies.push_back(spotHz);
    } else {
        frequencies = Comp::StandardGrid(std::max(bounds.lowestFrequency, Main::FrequencyLow),
                                         std::min(bounds.highestFrequency, Main::FrequencyHigh));
    }
    const Comp::Kind coreKind = kind == Remote::OpenKind    ? Comp::OpenCorrection
                                : kind == Remote::ShortKind ? Comp::ShortCorrection
                                                            : Comp::LoadCorrection;
    m_correctionRunning = true; // before the run can end
    m_correctionComplete = false;
    if (!m_session.StartCompensationRun(coreKind, frequencies)) {
        m_correctionRunning = false;
        return Remote::SettingsConflict;
    }
    run = ++m_correctionRun;
    return Remote::NoError;
}

void SessionInstrument::stopCorrectionRun() {
    m_session.StopCompensationRun();
}

int SessionInstrument::setCorrectionEnabled(unsigned kinds) {
    const Remote::CorrectionState state = correction();
    const unsigned all = Remote::OpenKind | Remote::ShortKind | Remote::LoadKind;
    if ((kinds & ~all) != 0) return Remote::IllegalParameterValue;
    const unsigned needed = (kinds & Remote::LoadKind) != 0 ? kinds | all : kinds;
    if ((state.measured & needed) != needed) return Remote::SettingsConflict;
    if ((kinds & Remote::LoadKind) != 0 && !state.haveStandard) return Remote::SettingsConflict;
    m_session.SetCompensationEnabled(kinds);
    return Remote::NoError;
}

int SessionInstrument::setLoadStandard(const Remote::StandardValue &standard) {
    const Comp::LoadStandard value{CoreForm(standard.form), standard.first, standard.second};
    return m_session.SetLoadStandard(value) ? Remote::NoError : Remote::DataOutOfRange;
}

std::uint32_t SessionInstrument::connection() const {
    return m_session.Connection();
}

// A frame taken before the conditions had reached the meter is no reading for a client; one the
// meter gives at them with no value a program may use is a reading with its status.
void SessionInstrument::TakeFrame() {
    using S = Device::ReadingStatus;
    // The fixture's own readings, at the run's frequencies, are no client's.
    if (m_session.CompensationRunning()) return;
    const S status = m_session.LastStatus();
    if (status == S::OtherFrequency || status == S::OtherBias || status == S::Stale) {
        if (m_pass.stepGoing) TakeStepFrame(false);
        return;
    }
    m_latest =
        RawReading(m_latest.sequence + 1, nowMs(), Device::ParameterValues[Device::ValMagnitude],
                   Device::ParameterValues[Device::ValPhase], Device::FrequencyHz);
    m_latest.status = Device::StatusCode(status);
    m_latest.overload = m_latest.overload || status != S::Normal;
    m_latest.connection = m_session.Connection();
    m_latest.conditions = m_pacer.sent();
    m_readingPending = true;
    m_notify.start();
    TakeContact();
    if (m_pass.stepGoing) TakeStepFrame(true);
}

// The part the core sorted is gone once the terminals read open as often as its detector asks.
void SessionInstrument::TakeContact() {
    const Sort::DetectorSettings &detector = m_session.SortDetector();
    const bool open = m_latest.overload || m_latest.magnitude > detector.openOhms;
    m_openRun = open ? m_openRun + 1 : 0;
    if (m_openRun >= detector.openPolls) m_partCounted = false;
}

Remote::ComparatorSettings SessionInstrument::comparator() const {
    Remote::ComparatorSettings settings = m_comparator;
    settings.on = m_session.Sorting();
    return settings;
}

// The core's one plan, in the quantities of the function the settings name. A new plan starts
// the core's part detector afresh, so the plan goes to the core only when it changed: switching
// the counting or the state does not sort the part in the contacts again.
int SessionInstrument::setComparator(const Remote::ComparatorSettings &settings) {
    m_comparator = settings;
    const Sort::Plan plan = Remote::ComparatorPlan(settings, settings.function);
    if (!Remote::SamePlan(plan, m_session.SortPlan()))
        m_session.SetSortPlan(plan, m_session.SortDetector());
    if (m_session.Sorting() != settings.on) {
        m_session.SetSorting(settings.on);
        if (settings.on) m_batch = ++m_batches;
    }
    return Remote::NoError;
}

std::uint64_t SessionInstrument::sortingBatch() const {
    return m_session.Sorting() ? m_batch : 0;
}

void SessionInstrument::endSortingBatch() {
    if (m_batch != 0 && m_session.Sorting()) m_session.SetSorting(false);
    m_batch = 0;
}

// The core sorts its last reading, the trigger's; a part sorted already is not counted again.
void SessionInstrument::sortTriggeredPart() {
    if (!m_session.Sorting() || m_partCounted) return;
    m_session.SortNow();
}

void SessionInstrument::TakeSweepPoint() {
    const int i = Main::SweepIndex;
    const bool ours = m_settingRun ? m_session.QuantityRunGoing() : m_session.ListRunGoing();
    if (!ours || !m_list.running || i < 0 || i >= m_list.points.size()) return;
    m_list.points[i].measured = true;
    m_list.points[i].reading =
        RawReading(m_latest.sequence, m_latest.timeMs, Main::SweepMagnitudes[i],
                   Main::SweepPhases[i], Main::SweepReportedFrequencies[i]);
    m_list.points[i].reading.overload = Main::PointOverloaded(Main::SweepState, i);
    m_list.points[i].reading.status = PointStatus(i);
    m_list.points[i].reading.connection = Main::SweepConnections[i];
    m_listPending = true;
    m_notify.start();
}

// The core's list run is over (done, stopped, or replaced by one from the window).
void SessionInstrument::TakeSweepEnd() {
    if (!m_list.running) return;
    m_list.running = false;
    m_listPending = true;
    m_notify.start();
}

void SessionInstrument::Notify() {
    const bool reading = std::exchange(m_readingPending, false);
    const bool list = std::exchange(m_listPending, false);
    const bool line = std::exchange(m_linePending, false);
    const bool idle = std::exchange(m_readyPending, false);
    if (line) emit lineChanged();
    if (reading) emit readingAccepted();
    if (list) emit listChanged();
    if (idle) emit ready();
}

} // namespace Bridge
