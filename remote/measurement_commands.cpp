// Triggering, FETCh? and the list measurement: answers held back until their readings are in.
#include "remote/session.h"

#include "remote/function_types.h"

#include <algorithm>
#include <cmath>

namespace Remote {

namespace {

constexpr const char *TriggerForms[] = {"INTernal", "BUS", "HOLD", "EXTernal", nullptr};
constexpr const char *TriggerNames[] = {"INT", "BUS", "HOLD", "EXT"};
constexpr const char *ListModeForms[] = {"SEQuence", "STEP", nullptr};
constexpr double NoValue = 9.9e37; // the value of an overloaded or missing reading

} // namespace

void Session::observe() {
    const Reading latest = instrument_.latestReading();
    if (latest.sequence == 0 || (!recent_.empty() && latest.sequence <= recent_.back().sequence))
        return;
    recent_.push_back(latest);
    if (static_cast<int>(recent_.size()) > MaxAveraging) recent_.pop_front();
    lastReadingTime_ = latest.timeMs;
    if (triggerActive_ && latest.sequence > triggerSequence_) {
        triggered_.append(latest);
        if (triggered_.size() >= averaging_) {
            triggerResult_ = {true, AverageReadings(triggered_.constData(), triggered_.size())};
            haveTriggerResult_ = true;
            triggerActive_ = false;
            triggered_.clear();
        }
    }
}

bool Session::lineReady() {
    return instrument_.lineState() == LineState::Ready;
}

bool Session::silentSince(std::int64_t since) const {
    return instrument_.nowMs() - std::max(since, lastReadingTime_) >= SilenceMs;
}

QByteArray Session::formatMeasurement(const Measurement &m, bool withBin) const {
    QByteArray text;
    if (!m.valid || m.reading.overload) {
        text = FormatNr3(NoValue) + ',' + FormatNr3(NoValue) + ',' +
               (m.valid ? QByteArray("+1") : QByteArray("-1"));
    } else {
        const ValuePair pair =
            FunctionValues(function_, m.reading.magnitude, m.reading.phase, m.reading.frequency);
        text = FormatNr3(pair.a) + ',' + FormatNr3(pair.b) + ",+0";
    }
    if (withBin) text += ",+0";
    return text;
}

// The mean of the newest readings after the last change, when enough of them are fresh.
bool Session::newestReadings(Measurement &m) const {
    if (recent_.empty() || recent_.back().sequence <= changeSequence_) return false;
    if (instrument_.nowMs() - recent_.back().timeMs >= SilenceMs) return false;
    QVector<Reading> chosen;
    for (auto it = recent_.rbegin(); it != recent_.rend() && chosen.size() < averaging_; ++it) {
        if (it->sequence <= changeSequence_) break;
        chosen.prepend(*it);
    }
    if (chosen.size() < averaging_) return false;
    m = {true, AverageReadings(chosen.constData(), chosen.size())};
    return true;
}

bool Session::ownRunGoing() const {
    if (listRun_ == 0) return false;
    const ListState state = instrument_.listState();
    return state.run == listRun_ && state.running;
}

bool Session::operationInProgress() {
    if (!lineReady()) return false;
    if (listPage_) return ownRunGoing() && !silentSince(std::max(opcSince_, listSince_));
    if (triggerSource_ != TriggerSource::Internal) return triggerActive_;
    Measurement m;
    return !newestReadings(m) && !silentSince(std::max(opcSince_, changeTime_));
}

void Session::trigger() {
    if (!lineReady()) return fail(HardwareError);
    if (listPage_) {
        if (const int code = startListRun()) fail(code);
        return;
    }
    if (triggerSource_ == TriggerSource::Internal) {
        noteSetting(0);
        return;
    }
    triggerActive_ = true;
    triggerSequence_ = instrument_.latestReading().sequence;
    triggerTime_ = instrument_.nowMs();
    triggered_.clear();
}

int Session::startListRun() {
    if (listFrequencies_.isEmpty()) return SettingsConflict;
    if (sweepPlanned_ && sweepStart_ >= sweepStop_) return SettingsConflict;
    if (ownRunGoing()) return InitIgnored;
    const bool step = listMode_ == ListMode::Step;
    if (step && stepIndex_ >= listFrequencies_.size()) stepIndex_ = 0;
    const QVector<std::int32_t> frequencies =
        step ? QVector<std::int32_t>{listFrequencies_[stepIndex_]} : listFrequencies_;
    std::uint64_t run = 0;
    if (const int code = instrument_.startList(frequencies, run)) return code;
    if (step && stepIndex_ == 0) stepPoints_.clear();
    listRun_ = run;
    listRunStep_ = step ? stepIndex_ : -1;
    listRunCollected_ = false;
    listSince_ = instrument_.nowMs();
    return NoError;
}

// A STEP run that ended adds its point to the pass.
void Session::collectFinishedRun() {
    if (listRunCollected_ || listRun_ == 0 || ownRunGoing()) return;
    listRunCollected_ = true;
    if (listRunStep_ < 0) return;
    const ListState state = instrument_.listState();
    ListPoint point;
    if (state.run == listRun_ && !state.points.isEmpty()) point = state.points.front();
    stepPoints_.append(point);
    stepIndex_ = listRunStep_ + 1;
}

QByteArray Session::listAnswer() {
    QVector<ListPoint> points;
    if (listRun_ != 0 && listRunStep_ >= 0) {
        points = stepPoints_;
    } else if (listRun_ != 0) {
        const ListState state = instrument_.listState();
        if (state.run == listRun_) points = state.points;
    }
    if (points.isEmpty()) points.resize(std::max<int>(1, listFrequencies_.size()));
    QByteArray text;
    bool missing = false;
    for (const ListPoint &point : points) {
        if (!text.isEmpty()) text += ',';
        text += formatMeasurement({point.measured, point.reading}, true);
        missing = missing || !point.measured;
    }
    if (missing) fail(DataStale);
    return text;
}

void Session::triggerSourceCommand(const Parameters &p) {
    int source = 0;
    if (!oneParameter(p) || !mnemonic(p[0], TriggerForms, source)) return;
    triggerSource_ = static_cast<TriggerSource>(source);
}

void Session::triggerSourceQuery(const Parameters &p) {
    if (noParameter(p)) answer(TriggerNames[static_cast<int>(triggerSource_)]);
}

void Session::triggerCommand(const Parameters &p) {
    if (noParameter(p)) trigger();
}

void Session::initiateCommand(const Parameters &p) {
    if (noParameter(p) && triggerSource_ == TriggerSource::Internal) trigger();
}

void Session::continuousCommand(const Parameters &p) {
    bool on = false;
    if (oneParameter(p) && boolean(p[0], on)) continuous_ = on;
}

void Session::continuousQuery(const Parameters &p) {
    if (noParameter(p)) answer(continuous_ ? "1" : "0");
}

void Session::fetchQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    const std::int64_t asked = instrument_.nowMs();
    hold([this, asked]() {
        if (!lineReady()) {
            fail(HardwareError);
            answer(listPage_ ? listAnswer() : formatMeasurement({}, false));
            return true;
        }
        if (listPage_) {
            if (ownRunGoing() && !silentSince(std::max(asked, listSince_))) return false;
            collectFinishedRun();
            answer(listAnswer());
            return true;
        }
        Measurement m;
        if (triggerSource_ == TriggerSource::Internal) {
            if (!newestReadings(m) && !silentSince(std::max(asked, changeTime_))) return false;
        } else if (triggerActive_) {
            if (!silentSince(std::max(asked, triggerTime_))) return false;
            triggerActive_ = false; // the trigger's readings never came
            triggerResult_ = {};
            haveTriggerResult_ = true;
        } else if (haveTriggerResult_) {
            m = triggerResult_;
        }
        if (!m.valid) fail(DataStale);
        answer(formatMeasurement(m, false));
        return true;
    });
}

void Session::abortCommand(const Parameters &p) {
    if (!noParameter(p)) return;
    triggerActive_ = false;
    if (instrument_.listState().running) instrument_.abortList();
}

void Session::listFrequencyCommand(const Parameters &p) {
    if (p.isEmpty()) return fail(MissingParameter);
    if (p.size() > MaxListPoints) return fail(ParameterNotAllowed);
    const ModelInfo model = instrument_.model();
    QVector<std::int32_t> frequencies;
    for (const QByteArray &text : p) {
        double hz = 0.0;
        if (!number(text, "HZ", model.lowestFrequency, model.highestFrequency, hz)) return;
        const double rounded = std::round(hz);
        if (rounded < model.lowestFrequency || rounded > model.highestFrequency)
            return fail(DataOutOfRange);
        frequencies.append(static_cast<std::int32_t>(rounded));
    }
    listFrequencies_ = frequencies;
    sweepPlanned_ = false;
    stepIndex_ = 0;
    stepPoints_.clear();
}

void Session::listFrequencyQuery(const Parameters &p) {
    if (!noParameter(p)) return;
    QByteArray text;
    for (std::int32_t hz : listFrequencies_) {
        if (!text.isEmpty()) text += ',';
        text += FormatNr3(hz);
    }
    answer(text);
}

void Session::listModeCommand(const Parameters &p) {
    int mode = 0;
    if (!oneParameter(p) || !mnemonic(p[0], ListModeForms, mode)) return;
    listMode_ = static_cast<ListMode>(mode);
    stepIndex_ = 0;
    stepPoints_.clear();
}

void Session::listModeQuery(const Parameters &p) {
    if (noParameter(p)) answer(listMode_ == ListMode::Step ? "STEP" : "SEQ");
}

} // namespace Remote
