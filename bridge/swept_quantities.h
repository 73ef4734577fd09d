// The swept quantities as the client side and the core each name them, and a level's place in the
// level list.
#pragma once

#include "core/main_state.h"
#include "remote/instrument.h"
#include "sweep/sweep_planner.h"

#include <algorithm>
#include <cstdint>

namespace Bridge {

inline Sweep::Quantity CoreQuantity(Remote::SweptQuantity quantity) {
    return quantity == Remote::SweptQuantity::Bias    ? Sweep::Quantity::Bias
           : quantity == Remote::SweptQuantity::Level ? Sweep::Quantity::Level
                                                      : Sweep::Quantity::Frequency;
}

inline Remote::SweptQuantity RemoteQuantity(Sweep::Quantity quantity) {
    return quantity == Sweep::Quantity::Bias    ? Remote::SweptQuantity::Bias
           : quantity == Sweep::Quantity::Level ? Remote::SweptQuantity::Level
                                                : Remote::SweptQuantity::Frequency;
}

inline int LevelIndexOf(std::int32_t millivolts) {
    const auto level = std::find(Main::LevelList.begin(), Main::LevelList.end(), millivolts);
    return level == Main::LevelList.end() ? -1 : static_cast<int>(level - Main::LevelList.begin());
}

} // namespace Bridge
