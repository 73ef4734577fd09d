// The thread that makes the simulated meter vanish and return.
#include "sim/schedule.h"

#include <chrono>

namespace Sim {

Schedule::Schedule(const VanishPlan &plan, Action vanish, Action comeBack)
    : m_plan(plan), m_vanish(std::move(vanish)), m_comeBack(std::move(comeBack)) {}

Schedule::~Schedule() {
    stop();
}

void Schedule::start() {
    if (!m_plan.isActive() || m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
        m_replies = 0;
    }
    m_thread = std::thread([this] { run(); });
}

void Schedule::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void Schedule::countReply() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_replies;
    }
    m_wake.notify_all();
}

void Schedule::run() {
    int due = m_plan.after > 0 ? m_plan.after : m_plan.every;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_stopping || m_replies >= due; });
        if (m_stopping) return;
        lock.unlock();
        m_vanish(); // not under the lock: the serving thread it stops may be counting a reply
        lock.lock();
        const auto back =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m_plan.awayMs);
        if (m_wake.wait_until(lock, back, [this] { return m_stopping; })) return;
        m_replies = 0;
        lock.unlock();
        m_comeBack();
        lock.lock();
        if (m_plan.every <= 0) return;
        due = m_plan.every;
    }
}

} // namespace Sim
