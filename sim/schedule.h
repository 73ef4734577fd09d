// The meter going away and coming back by itself: after a number of measurement replies it
// vanishes, and a while later it returns, once or again and again.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace Sim {

// How a meter that vanished comes back.
enum class Return {
    PowerCycled,    // the same meter switched off and on: its settings at their power-on defaults
    SecondInstance, // another meter of the same model, in its power-on state
    OtherModel,     // a meter of another model, in its power-on state
};

struct VanishPlan {
    int after = 0;     // measurement replies before the first vanish; 0: none
    int every = 0;     // replies after each return until the next vanish; 0: only once
    int awayMs = 1500; // how long the meter stays away
    Return how = Return::PowerCycled;
    int returnModelRow = -1; // OtherModel: the model that comes back

    bool isActive() const { return after > 0 || every > 0; }
};

// Runs a VanishPlan on a thread of its own: vanish and comeBack are called there.
class Schedule {
public:
    using Action = std::function<void()>;

    Schedule(const VanishPlan &plan, Action vanish, Action comeBack);
    ~Schedule();
    Schedule(const Schedule &) = delete;
    Schedule &operator=(const Schedule &) = delete;

    // Counts from zero; nothing happens for a plan that is not active.
    void start();
    // Stops waiting at once, also while the meter is away (it then stays away).
    void stop();
    // A measurement reply went out.
    void countReply();

private:
    void run();

    const VanishPlan m_plan;
    const Action m_vanish;
    const Action m_comeBack;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    int m_replies = 0;
};

} // namespace Sim
