// The thread that brings the simulated meter back after a planned vanish.
#include "sim/schedule.h"

#include <chrono>

namespace Sim {

Schedule::Schedule(const VanishPlan &plan, Action arm, Action comeBack)
    : m_plan(plan), m_arm(std::move(arm)), m_comeBack(std::move(comeBack)) {}

Schedule::~Schedule() {
    stop();
}

void Schedule::start() {
    if (!m_plan.isActive() || m_thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
        m_counting = true;
        m_due = m_plan.after > 0 ? m_plan.after : m_plan.every;
        m_replies = 0;
        m_armed = false;
        m_vanished = false;
    }
    m_thread = std::thread([this] { run(); });
}

void Schedule::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_counting = false;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void Schedule::countReply() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_counting || m_armed || ++m_replies < m_due) return;
        m_armed = true;
    }
    m_arm();
}

void Schedule::noteVanished() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_armed) return;
        m_vanished = true;
    }
    m_wake.notify_all();
}

void Schedule::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_vanished; });
        if (m_stopping) return;
        const auto back =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m_plan.awayMs);
        if (m_wake.wait_until(lock, back, [this] { return m_stopping; })) return;
        m_replies = 0;
        m_armed = false;
        m_vanished = false;
        m_due = m_plan.every;
        m_counting = m_plan.every > 0;
        lock.unlock();
        m_comeBack();
        lock.lock();
        if (!m_counting) return;
    }
}

} // namespace Sim
