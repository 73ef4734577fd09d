// Client settings paced to the poll cycle.
#include "bridge/setting_pacer.h"

#include <algorithm>

namespace Bridge {

SettingPacer::Action SettingPacer::offer(Kind kind, std::int32_t value, bool onMeter) {
    Slot &slot = slots_[kind];
    if (onMeter) {
        slot.held = false;
        return Action::Nothing;
    }
    if (slot.held && slot.value == value) return Action::Nothing;
    slot.offeredThisCycle = true;
    // A value held waits for its flush even when its cycles are over: one command, the newest.
    if (!slot.held && slot.cyclesSinceSent >= Wait(slot)) {
        slot.cyclesSinceSent = 0;
        ++sent_;
        return Action::Send;
    }
    slot.held = true;
    slot.paced = true;
    slot.value = value;
    return Action::Hold;
}

void SettingPacer::tick() {
    for (Slot &slot : slots_) {
        slot.cyclesSinceSent = std::min(slot.cyclesSinceSent + 1, CyclesPerChange);
        // A cycle without a new value of the kind ends its pacing: the next goes at once again.
        if (!slot.offeredThisCycle && !slot.held) slot.paced = false;
        slot.offeredThisCycle = false;
    }
}

int SettingPacer::Wait(const Slot &slot) {
    return slot.paced ? CyclesPerChange : 1;
}

bool SettingPacer::due() const {
    return std::any_of(slots_.begin(), slots_.end(),
                       [](const Slot &s) { return s.held && s.cyclesSinceSent >= Wait(s); });
}

std::vector<std::pair<SettingPacer::Kind, std::int32_t>> SettingPacer::flush() {
    return Take(false);
}

std::vector<std::pair<SettingPacer::Kind, std::int32_t>> SettingPacer::flushAll() {
    return Take(true);
}

std::vector<std::pair<SettingPacer::Kind, std::int32_t>> SettingPacer::Take(bool all) {
    std::vector<std::pair<Kind, std::int32_t>> due;
    for (int k = 0; k < KindCount; ++k) {
        Slot &slot = slots_[static_cast<std::size_t>(k)];
        if (!slot.held || (!all && slot.cyclesSinceSent < Wait(slot))) continue;
        due.emplace_back(static_cast<Kind>(k), slot.value);
        slot.held = false;
        slot.cyclesSinceSent = 0;
    }
    if (!due.empty()) ++sent_;
    return due;
}

void SettingPacer::drop() {
    for (Slot &slot : slots_)
        slot.held = false;
}

std::optional<std::int32_t> SettingPacer::held(Kind kind) const {
    const Slot &slot = slots_[kind];
    if (!slot.held) return std::nullopt;
    return slot.value;
}

bool SettingPacer::holding() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot &s) { return s.held; });
}

} // namespace Bridge
