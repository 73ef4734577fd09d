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

// Runs a VanishPlan. Once the replies are counted, arm tells the line to vanish (it does so at
// the next request, so that the last reply is never lost with the terminal); once it has
// vanished and the time away has passed, comeBack runs on the schedule's own thread.
class Schedule {
public:
    using Action = std::function<void()>;

    Schedule(const VanishPlan &plan, Action arm, Action comeBack);
    ~Schedule();
    Schedule(const Schedule &) = delete;
    Schedule &operator=(const Schedule &) = delete;

    // Counts from zero; nothing happens for a plan that is not active.
    void start();
    // Stops at once, also while the meter is away (it then stays away).
    void stop();
    // A measurement reply went out; calls arm, on the caller's thread, when the count is due.
    void countReply();
    // The line hung up; the time away starts if this schedule armed it.
    void noteVanished();

private:
    void run();

    const VanishPlan m_plan;
    const Action m_arm;
    const Action m_comeBack;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    bool m_counting = false; // the plan has a vanish to come
    int m_due = 0;
    int m_replies = 0;
    bool m_armed = false;
    bool m_vanished = false;
};

} // namespace Sim
