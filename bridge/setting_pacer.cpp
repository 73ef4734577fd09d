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
    if (!slot.sentThisCycle) {
        slot.held = false;
        slot.sentThisCycle = true;
        ++sent_;
        return Action::Send;
    }
    slot.held = true;
    slot.value = value;
    return Action::Hold;
}

void SettingPacer::tick() {
    for (Slot &slot : slots_)
        slot.sentThisCycle = false;
}

std::vector<std::pair<SettingPacer::Kind, std::int32_t>> SettingPacer::flush() {
    std::vector<std::pair<Kind, std::int32_t>> due;
    for (int k = 0; k < KindCount; ++k) {
        Slot &slot = slots_[static_cast<std::size_t>(k)];
        if (!slot.held) continue;
        due.emplace_back(static_cast<Kind>(k), slot.value);
        slot.held = false;
        slot.sentThisCycle = true;
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
