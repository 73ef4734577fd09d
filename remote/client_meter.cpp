// The meter as one client sees it: its readings since the last change, its trigger and its list
// run, and the answers made of them.
#include "remote/client_meter.h"

#include "remote/status_commands.h"

#include "remote/function_types.h"
#include "remote/scpi_parser.h"

#include <algorithm>
#include <cmath>

namespace Remote {

namespace {

constexpr double NoValue = 9.9e37; // the value of an overloaded or missing reading

} // namespace

ClientMeter::ClientMeter(Instrument &instrument, Reply &reply, ClientState &state)
    : instrument_(instrument), reply_(reply), state_(state) {
    state_.measure.biasLosses = instrument_.biasNotRestoredCount(); // a new client's start
}

void ClientMeter::observe() {
    MeasureState &m = state_.measure;
    // A lost line that came back is told to every client once, in its error queue.
    const std::uint32_t connection = instrument_.connection();
    if (m.connection != 0 && connection != m.connection) reply_.fail(MeterReconnected);
    m.connection = connection;
    // So is a bias a list left on the fixture because the line went.
    const std::uint64_t losses = instrument_.biasNotRestoredCount();
    if (losses != m.biasLosses) reply_.fail(BiasNotRestored);
    m.biasLosses = losses;
    collectCorrectionRun();
    observeStatus();
    const Reading latest = instrument_.latestReading();
    if (latest.sequence == 0 || (!m.recent.empty() && latest.sequence <= m.recent.back().sequence))
        return;
    // Readings of two connections are never averaged together.
    if (!m.recent.empty() && m.recent.back().connection != latest.connection) m.recent.clear();
    m.recent.push_back(latest);
    state_.status.operationEvent |= MeasurementCompleteBit;
    if (latest.overload) state_.status.questionableEvent |= NoMeasurementBit;
    if (static_cast<int>(m.recent.size()) > MaxAveraging) m.recent.pop_front();
    m.lastReadingTime = latest.timeMs;
    if (m.triggerActive && latest.sequence > m.triggerSequence &&
        latest.conditions >= m.triggerConditions) {
        m.triggered.append(latest);
        if (m.triggered.size() >= m.averaging) {
            m.triggerResult = {true, AverageReadings(m.triggered.constData(), m.triggered.size())};
            m.haveTriggerResult = true;
            m.triggerActive = false;
            m.triggered.clear();
            // A bench meter counts what each trigger measured into the comparator's bins.
            if (!m.triggerResult.reading.overload && instrument_.comparator().on)
                instrument_.sortTriggeredPart();
        }
    }
}

bool ClientMeter::lineReady() {
    return instrument_.lineState() == LineState::Ready;
}

bool ClientMeter::silentSince(std::int64_t since) const {
    return instrument_.nowMs() - std::max(since, state_.measure.lastReadingTime) >= SilenceMs;
}

QByteArray ClientMeter::formatMeasurement(const Measurement &m, bool withBin) const {
    QByteArray text;
    if (!m.valid || m.reading.overload) {
        const int status = !m.valid ? -1 : m.reading.status != 0 ? m.reading.status : 1;
        text = FormatNr3(NoValue) + ',' + FormatNr3(NoValue) + ',' + (status > 0 ? "+" : "") +
               QByteArray::number(status);
    } else {
        const ValuePair pair = FunctionValues(state_.measure.function, m.reading.magnitude,
                                              m.reading.phase, m.reading.frequency);
        text = FormatNr3(pair.a) + ',' + FormatNr3(pair.b) + ",+0";
    }
    if (withBin) text += ",+0";
    return text;
}

QByteArray ClientMeter::comparatorBin(const Measurement &m) const {
    const ComparatorSettings comparator = instrument_.comparator();
    if (!comparator.on) return {};
    Sort::Reading reading;
    reading.magnitude = m.reading.magnitude;
    reading.phase = m.reading.phase;
    reading.frequencyHz = m.reading.frequency;
    reading.measured = m.valid && !m.reading.overload;
    const Sort::Plan plan = ComparatorPlan(comparator, state_.measure.function);
    return ',' + FormatNr1(Sort::JudgeReading(plan, reading).code(plan.auxBin));
}

bool ClientMeter::newestReadings(Measurement &m) const {
    if (state_.measure.recent.empty() ||
        state_.measure.recent.back().sequence <= state_.measure.changeSequence ||
        state_.measure.recent.back().conditions < state_.measure.changeConditions)
        return false;
    if (instrument_.nowMs() - state_.measure.recent.back().timeMs >= SilenceMs) return false;
    QVector<Reading> chosen;
    for (auto it = state_.measure.recent.rbegin();
         it != state_.measure.recent.rend() && chosen.size() < state_.measure.averaging; ++it) {
        if (it->sequence <= state_.measure.changeSequence ||
            it->conditions < state_.measure.changeConditions)
            break;
        chosen.prepend(*it);
    }
    if (chosen.size() < state_.measure.averaging) return false;
    m = {true, AverageReadings(chosen.constData(), chosen.size())};
    return true;
}

bool ClientMeter::ownRunGoing() const {
    if (state_.list.run == 0) return false;
    const ListState state = instrument_.listState();
    return state.run == state_.list.run && state.running;
}

bool ClientMeter::ownCorrectionRunGoing() const {
    if (state_.correction.run == 0) return false;
    const CorrectionState state = instrument_.correction();
    return state.run == state_.correction.run && state.running;
}

void ClientMeter::collectCorrectionRun() {
    CorrectionPlan &plan = state_.correction;
    if (plan.runCollected || ownCorrectionRunGoing()) return;
    plan.runCollected = true;
    const CorrectionState state = instrument_.correction();
    if (state.run == plan.run && !state.complete && !plan.stopped)
        reply_.fail(CorrectionIncomplete);
}

bool ClientMeter::operationInProgress() {
    if (!lineReady()) return false;
    if (ownCorrectionRunGoing()) return true;
    if (state_.list.page)
        return ownRunGoing() && !silentSince(std::max(state_.status.opcSince, state_.list.since));
    if (state_.measure.triggerSource != TriggerSource::Internal)
        return state_.measure.triggerActive;
    Measurement m;
    return !newestReadings(m) &&
           !silentSince(std::max(state_.status.opcSince, state_.measure.changeTime));
}

void ClientMeter::trigger() {
    if (!lineReady()) return reply_.fail(HardwareError);
    if (state_.list.page) {
        if (const int code = startListRun()) reply_.fail(code);
        return;
    }
    if (state_.measure.triggerSource == TriggerSource::Internal) {
        noteSetting(0);
        return;
    }
    state_.measure.triggerActive = true;
    state_.measure.triggerSequence = instrument_.latestReading().sequence;
    state_.measure.triggerConditions = instrument_.conditionsNumber();
    state_.measure.triggerTime = instrument_.nowMs();
    state_.measure.triggered.clear();
}

int ClientMeter::startListRun() {
    if (state_.list.values().isEmpty()) return SettingsConflict;
    if (state_.sweep.planned && state_.sweep.start >= state_.sweep.stop) return SettingsConflict;
    if (ownRunGoing()) return InitIgnored;
    collectFinishedRun(); // a step that ended since the last look moves the pass on first
    const bool step = state_.list.mode == ListMode::Step;
    if (step && state_.list.stepIndex >= state_.list.values().size()) state_.list.stepIndex = 0;
    std::uint64_t run = 0;
    if (const int code = startRun(step, run)) return code;
    if (step && state_.list.stepIndex == 0) state_.list.stepPoints.clear();
    state_.list.run = run;
    state_.list.runStep = step ? state_.list.stepIndex : -1;
    state_.list.runCollected = false;
    state_.list.since = instrument_.nowMs();
    return NoError;
}

// A frequency list is the core's list run, of one point for a step. A bias or level list is the
// core's run over that quantity; one point at a time (a step, or a list of one) the setting is
// the instrument's to hold until the pass's last step.
int ClientMeter::startRun(bool step, std::uint64_t &run) {
    ListPlan &list = state_.list;
    const QVector<std::int32_t> &values = list.values();
    if (list.quantity == SweptQuantity::Frequency)
        return instrument_.startList(step ? QVector<std::int32_t>{values[list.stepIndex]} : values,
                                     run);
    if (!step && values.size() > 1) return instrument_.startSettingList(list.quantity, values, run);
    const int index = step ? list.stepIndex : 0;
    const bool last = index + 1 >= values.size();
    const int code = instrument_.startSettingStep(list.quantity, values[index], last, run);
    if (code == NoError) list.settingHeld = !last;
    return code;
}

void ClientMeter::restartList() {
    state_.list.stepIndex = 0;
    state_.list.stepPoints.clear();
    endHeldSetting();
}

void ClientMeter::endHeldSetting() {
    if (!state_.list.settingHeld) return;
    state_.list.settingHeld = false;
    instrument_.endSettingSteps(state_.list.run);
}

// A STEP run that ended adds its point to the pass.
void ClientMeter::collectFinishedRun() {
    if (state_.list.runCollected || state_.list.run == 0 || ownRunGoing()) return;
    state_.list.runCollected = true;
    if (state_.list.runStep < 0) return;
    const ListState state = instrument_.listState();
    ListPoint point;
    if (state.run == state_.list.run && !state.points.isEmpty()) point = state.points.front();
    state_.list.stepPoints.append(point);
    state_.list.stepIndex = state_.list.runStep + 1;
}

QByteArray ClientMeter::listAnswer() {
    QVector<ListPoint> points;
    if (state_.list.run != 0 && state_.list.runStep >= 0) {
        points = state_.list.stepPoints;
    } else if (state_.list.run != 0) {
        const ListState state = instrument_.listState();
        if (state.run == state_.list.run) points = state.points;
    }
    if (points.isEmpty()) points.resize(std::max<int>(1, state_.list.values().size()));
    QByteArray text;
    bool missing = false;
    for (const ListPoint &point : points) {
        if (!text.isEmpty()) text += ',';
        text += formatMeasurement({point.measured, point.reading}, true);
        missing = missing || !point.measured;
    }
    if (missing) reply_.fail(DataStale);
    return text;
}

// The status events the instrument's state gives: a run's end, the line's loss.
void ClientMeter::observeStatus() {
    StatusState &status = state_.status;
    const bool running = instrument_.runGoing();
    if (status.runSeen && !running) status.operationEvent |= SweepCompleteBit;
    status.runSeen = running;
    const bool line = instrument_.lineState() == LineState::Ready;
    if (status.lineSeen && !line) status.questionableEvent |= LineBit;
    status.lineSeen = line;
}

bool ClientMeter::ownBatchGoing() const {
    return state_.sortingBatch != 0 && instrument_.sortingBatch() == state_.sortingBatch;
}

bool ClientMeter::conditionsHeld() {
    const bool othersRun = instrument_.runGoing() && !ownRunGoing() && !ownCorrectionRunGoing();
    const bool othersBatch = instrument_.sortingBatch() != 0 && !ownBatchGoing();
    if (!othersRun && !othersBatch) return false;
    reply_.fail(SettingsConflict);
    return true;
}

void ClientMeter::abortAnyRun() {
    state_.measure.triggerActive = false;
    if (instrument_.listState().running) instrument_.abortList();
    state_.list.settingHeld = false;
    instrument_.endSettingSteps(0); // anyone's pass of bias or level steps
    if (instrument_.correction().running) {
        if (ownCorrectionRunGoing()) state_.correction.stopped = true;
        instrument_.stopCorrectionRun();
    }
    if (instrument_.sortingBatch() != 0) instrument_.endSortingBatch(); // anyone's batch
}

bool ClientMeter::noteSetting(int code) {
    if (code != 0) {
        reply_.fail(code);
        return false;
    }
    state_.measure.changeSequence = instrument_.latestReading().sequence;
    state_.measure.changeConditions = instrument_.conditionsNumber();
    state_.measure.changeTime = instrument_.nowMs();
    return true;
}

} // namespace Remote
