// Settings from clients paced to the poll: the first value of a kind (frequency, level, bias) in
// a poll cycle goes to the meter at once, as the window's controls send theirs; a later one in the
// same cycle is held, and the kind is then paced: what is held goes, the newest value only, at
// the end of the tick that completes CyclesPerChange cycles since the kind was last sent, and
// values offered meanwhile replace it. A cycle without a new value of the kind ends the pacing.
// So a client that changes a setting faster than the meter is polled costs at most one command of
// the kind per CyclesPerChange cycles (never two in one cycle: one at once and the newest after
// the tick), while single settings go at once as ever, and the readings of every client keep
// their pace. The condition sets sent are numbered, so that a client can tell
// the readings taken under its setting from older ones. Pure: the instrument sends what it is
// told to.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace Bridge {

class SettingPacer {
public:
    enum Kind { Frequency, Level, Bias, KindCount };
    // A setting costs the wire about a tenth of a poll cycle (its command and acknowledgement)
    // and may make the next frame stale; one change of a paced kind per four cycles keeps that
    // near 3 % of the poll, and a held value still reaches the meter within four cycles.
    static constexpr int CyclesPerChange = 4;
    enum class Action {
        Nothing, // the meter has the value (a held one of the kind is given up)
        Send,    // send it now: the first of its kind in this cycle (in CyclesPerChange, paced)
        Hold     // held until a tick ends the kind's wait, replacing a value held before
    };

    // A client asks for value; onMeter: the meter has it already (as sent last).
    Action offer(Kind kind, std::int32_t value, bool onMeter);
    // A tick ended: a new cycle.
    void tick();
    // Whether a held value is due: flush() would give it now.
    bool due() const;
    // The values held whose kind's cycles are over go out now (after the tick); they count as
    // sent in this cycle.
    std::vector<std::pair<Kind, std::int32_t>> flush();
    // Every value held goes out now, due or not (before a run starts).
    std::vector<std::pair<Kind, std::int32_t>> flushAll();
    // Held values are given up (a run took the conditions, or the settings were all sent anew).
    void drop();
    void drop(Kind kind) { slots_[kind].held = false; }
    std::optional<std::int32_t> held(Kind kind) const;
    bool holding() const;
    // The number of the condition sets sent so far, and of the one that holds the newest value
    // asked for (one more while a value is held).
    std::uint64_t sent() const { return sent_; }
    std::uint64_t newest() const { return sent_ + (holding() ? 1 : 0); }

private:
    struct Slot {
        int cyclesSinceSent = CyclesPerChange; // the meter may take one at once
        bool paced = false;            // values came faster than the poll: one per CyclesPerChange
        bool offeredThisCycle = false; // a new value of the kind came in this cycle
        bool held = false;
        std::int32_t value = 0;
    };
    static int Wait(const Slot &slot); // cycles between two values of the kind
    std::vector<std::pair<Kind, std::int32_t>> Take(bool all);
    std::array<Slot, KindCount> slots_{};
    std::uint64_t sent_ = 0;
};

} // namespace Bridge
