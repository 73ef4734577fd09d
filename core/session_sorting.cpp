// Sorting parts in the tick: each reading shown to the part detector, the verdict of a part that
// has settled, its count and its line in the log.
#include "core/session.h"

#include "link/commands.h"
#include "link/decoding.h"
#include "link/measurement.h"

namespace Core {

void Session::SetSortPlan(const Sort::Plan &plan, const Sort::DetectorSettings &detector) {
    m_sort.plan = plan;
    m_sort.detector.setSettings(detector);
    emit sortPlanChanged();
}

void Session::SetSorting(bool on) {
    m_sort.on = on;
    m_sort.detector.Reset();
    emit sortPlanChanged();
}

void Session::ClearSortCounts() {
    m_sort.counts = {};
    m_sort.log.clear();
    m_sort.last = {};
    m_sort.detector.Reset();
    emit sortPlanChanged();
}

// The last accepted frame as the sorter reads it: its |Z| and angle (corrected for the fixture
// where a correction is on), frequency, circuit and bias.
Sort::Reading Session::LastSortReading(bool measured) const {
    Sort::Reading reading;
    reading.magnitude = Device::ParameterValues[Device::ValMagnitude];
    reading.phase = Device::ParameterValues[Device::ValPhase];
    reading.frequencyHz = Device::FrequencyHz;
    reading.seriesCircuit = Device::SeriesCircuit != 0;
    reading.biasVolts = Device::BiasMillivolts / 1000.0;
    reading.measured = measured;
    return reading;
}

Sort::Verdict Session::TakeVerdict(const Sort::Reading &reading, bool onDemand) {
    Sort::LogEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.reading = reading;
    entry.verdict = Sort::JudgeReading(m_sort.plan, reading);
    entry.onDemand = onDemand;
    entry.connection = m_connection;
    if (!entry.verdict.counts()) return entry.verdict;
    m_sort.counts.add(entry.verdict);
    m_sort.log.push_back(entry);
    m_sort.last = entry.verdict;
    emit partSorted(entry);
    return entry.verdict;
}

void Session::SortFrame(const TickResult &result) {
    // On demand only the present reading is sorted: open contacts or a reading at other
    // conditions leave nothing to sort, never the part that was taken out.
    const bool measured = result.counts();
    m_sort.haveReading = measured;
    if (measured) m_sort.reading = LastSortReading(true);
    if (!m_sort.on) return;
    const bool overloaded = result.status == Device::ReadingStatus::Overload;
    const Sort::Contact contact = m_sort.detector.Classify(
        overloaded, measured, Device::ParameterValues[Device::ValMagnitude]);
    if (m_sort.detector.Feed(contact, Device::ParameterValues[Device::ValMagnitude]))
        TakeVerdict(m_sort.reading, false);
}

// The part in the contacts now, whatever the detector thinks: it is not sorted again by contact.
Sort::Verdict Session::SortNow() {
    if (!m_sort.haveReading) return {};
    const Sort::Verdict verdict = TakeVerdict(m_sort.reading, true);
    if (verdict.counts()) m_sort.detector.MarkSorted();
    return verdict;
}

} // namespace Core
