// Settings from clients paced to the poll: of each kind (frequency, level, bias) the first value
// in a poll cycle goes to the meter at once, as the window's controls send theirs; later values
// in the same cycle wait for the end of the next tick, and only the newest of them goes then. So a
// client that changes a setting faster than the meter is polled costs one command per cycle, not
// one per value, and the readings of every client keep their pace. The condition sets sent are
// numbered, so that a client can tell the readings taken under its setting from older ones.
// Pure: the instrument sends what it is told to.
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
    enum class Action {
        Nothing, // the meter has the value (a held one of the kind is given up)
        Send,    // send it now: the first of its kind in this cycle
        Hold     // held until the cycle ends, replacing a value held before
    };

    // A client asks for value; onMeter: the meter has it already (as sent last).
    Action offer(Kind kind, std::int32_t value, bool onMeter);
    // A tick ended: a new cycle, in which each kind may go at once again.
    void tick();
    // The values held go out now (after the tick, or before a run starts); they count as this
    // cycle's.
    std::vector<std::pair<Kind, std::int32_t>> flush();
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
        bool sentThisCycle = false;
        bool held = false;
        std::int32_t value = 0;
    };
    std::array<Slot, KindCount> slots_{};
    std::uint64_t sent_ = 0;
};

} // namespace Bridge
