// A batch of parts as it runs: the first part sits in the contacts, then they are open, then the
// next part sits there, and after the last part they stay open. Where the batch stands follows
// the measurement requests, counted or timed from the first one.
#pragma once

#include "sim/batch_plan.h"
#include "sim/fixture.h"

#include <chrono>

namespace Sim {

// What the contacts hold at one point of a batch.
struct BatchSlot {
    Terminals terminals = Terminals::Open; // Part or Open
    int index = -1;                        // the part's place in the batch from 0; -1 when open
    bool bouncing = false;                 // the part reads BounceFactor off
    Component part;                        // what is read while terminals is Part
};

// Not thread-safe: the instrument guards it.
class Batch {
public:
    using Clock = std::chrono::steady_clock;

    explicit Batch(const BatchPlan &plan);

    const BatchPlan &plan() const { return m_plan; }
    // The varied element's value of each part, in order: drawn once, at construction.
    const QList<double> &values() const { return m_values; }
    BatchElement element() const { return m_element; }

    // The slot at position, in the plan's unit (milliseconds or requests from the start):
    // part k lies in the contacts from k * (sit + gap) for sit, bouncing for its first bounce;
    // open otherwise, and for ever after the last part.
    BatchSlot at(qint64 position) const;

    // A measurement request at now: the slot it reads. The first request starts the batch at
    // position 0; the next ones are at the number of requests before them, or at the
    // milliseconds since the first.
    BatchSlot next(Clock::time_point now);

private:
    const BatchPlan m_plan;
    const BatchElement m_element;
    const QList<double> m_values;
    qint64 m_requests = 0;
    Clock::time_point m_start;
};

} // namespace Sim
