// The internal bias source and its settle time.
#include "sim/bias_source.h"

#include <algorithm>

namespace Sim {

void BiasSource::setSettle(std::chrono::milliseconds settle, Clock::time_point now) {
    if (settled(now)) m_before = m_set; // a longer settle must not bring back what came before
    m_settle = std::max(settle, std::chrono::milliseconds(0));
}

void BiasSource::set(quint16 units, Clock::time_point now) {
    m_before = appliedUnits(now);
    m_set = units;
    m_setAt = now;
}

void BiasSource::reset(quint16 units) {
    m_set = units;
    m_before = units;
    m_setAt = {};
}

quint16 BiasSource::appliedUnits(Clock::time_point now) const {
    return settled(now) ? m_set : m_before;
}

} // namespace Sim
