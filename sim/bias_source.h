// The meter's internal DC bias source: the voltage last set, and the one it gives, which follows
// a new setting only once a settle time has passed since it.
#pragma once

#include <QtGlobal>

#include <chrono>

namespace Sim {

// Voltages in the bias field's units. Not thread-safe: the instrument guards it.
class BiasSource {
public:
    using Clock = std::chrono::steady_clock;

    // The time a setting takes (default 0: at once). A settle under way then ends that long
    // after its setting, which may be at once.
    void setSettle(std::chrono::milliseconds settle, Clock::time_point now);
    std::chrono::milliseconds settle() const { return m_settle; }

    // A new setting at now: until the settle time has passed, the source keeps giving what it
    // gives at now (the earlier setting, or what it still gave while that one settled).
    void set(quint16 units, Clock::time_point now);
    // Power-on and INIT: the setting holds at once, without a settle.
    void reset(quint16 units = 0);

    quint16 setUnits() const { return m_set; }
    quint16 appliedUnits(Clock::time_point now) const;

private:
    bool settled(Clock::time_point now) const { return now >= m_setAt + m_settle; }

    quint16 m_set = 0;
    quint16 m_before = 0; // given until the setting has settled
    Clock::time_point m_setAt;
    std::chrono::milliseconds m_settle{0};
};

} // namespace Sim
