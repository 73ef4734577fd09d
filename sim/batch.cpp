// Where a batch of parts stands, and what the contacts hold there.
#include "sim/batch.h"

#include <limits>

namespace Sim {

Batch::Batch(const BatchPlan &plan)
    : m_plan(plan), m_element(variedElement(plan.part).value_or(BatchElement::Capacitance)),
      m_values(drawBatchValues(plan)) {}

BatchSlot Batch::at(qint64 position) const {
    BatchSlot slot;
    if (position < 0) return slot;
    const qint64 period = m_plan.sit + m_plan.gap;
    if (period <= 0) return slot;
    const qint64 index = position / period;
    const qint64 within = position % period;
    if (index >= m_values.size() || within >= m_plan.sit) return slot;

    slot.terminals = Terminals::Part;
    slot.index = int(index);
    slot.bouncing = within < m_plan.bounce;
    slot.part = m_plan.part;
    const double value = m_values[slot.index];
    setElementValue(&slot.part, m_element, slot.bouncing ? value * BounceFactor : value);
    return slot;
}

BatchSlot Batch::next(Clock::time_point now) {
    if (m_requests == 0) m_start = now;
    const qint64 requestsBefore = m_requests;
    if (m_requests < std::numeric_limits<qint64>::max()) ++m_requests;
    if (m_plan.clock == BatchClock::Requests) return at(requestsBefore);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start);
    return at(qMax<qint64>(0, elapsed.count()));
}

} // namespace Sim
