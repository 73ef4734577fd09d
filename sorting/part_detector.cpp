// The detector's states: empty, settling, sorted; open readings in a row take a part away.
#include "sorting/part_detector.h"

#include <algorithm>
#include <cmath>

namespace Sort {

Contact PartDetector::Classify(bool overloaded, bool measured, double magnitude) const {
    if (overloaded) return Contact::Open;
    if (!measured) return Contact::Ignore;
    return magnitude > m_settings.openOhms ? Contact::Open : Contact::Part;
}

bool PartDetector::Feed(Contact contact, double magnitude) {
    if (contact == Contact::Ignore) return false;
    if (contact == Contact::Open) {
        m_recent.clear();
        if (m_state == State::Sorted && ++m_openRun < std::max(1, m_settings.openPolls))
            return false;
        m_state = State::Empty;
        m_openRun = 0;
        return false;
    }
    m_openRun = 0;
    if (m_state == State::Sorted) return false;
    m_state = State::Settling;
    m_recent.push_back(magnitude);
    const auto wanted = static_cast<std::size_t>(std::max(1, m_settings.stablePolls));
    while (m_recent.size() > wanted)
        m_recent.pop_front();
    if (m_recent.size() < wanted || !Stable()) return false;
    m_state = State::Sorted;
    m_recent.clear();
    return true;
}

// Every |Z| within the tolerance of their mean (a value that is not finite never settles).
bool PartDetector::Stable() const {
    double sum = 0.0;
    for (double v : m_recent) {
        if (!std::isfinite(v)) return false;
        sum += v;
    }
    const double mean = sum / static_cast<double>(m_recent.size());
    const double band = std::abs(mean) * m_settings.stableTolerance;
    return std::all_of(m_recent.begin(), m_recent.end(),
                       [&](double v) { return std::abs(v - mean) <= band; });
}

void PartDetector::MarkSorted() {
    m_state = State::Sorted;
    m_recent.clear();
    m_openRun = 0;
}

void PartDetector::Reset() {
    m_state = State::Empty;
    m_recent.clear();
    m_openRun = 0;
}

void PartDetector::setSettings(const DetectorSettings &settings) {
    m_settings = settings;
    Reset();
}

} // namespace Sort
