// What each model can be asked for, in one description: its test frequencies, levels, bias range
// and step, ranges, speeds and the bounds of a run. Every front end and the core read the meter's
// facts from here, so a model's difference is one value in one place.
#pragma once

#include "link/models.h"
#include "link/ranges.h"

#include <array>
#include <cstdint>

namespace Device {

// The test-signal levels every model offers, in mV, in the order of the level box.
constexpr int LevelCount = 6;
inline constexpr std::array<std::int32_t, LevelCount> Levels{1000, 500, 100, 50, 10, 5};

// The internal bias source of every model, in mV; the step depends on the model (BiasScale).
constexpr std::int32_t LowestBiasMillivolts = 0;
constexpr std::int32_t HighestBiasMillivolts = 40000;

// The two measuring speeds, in the order of the speed buttons.
enum class Speed { Normal, Fast };
inline constexpr std::array<Speed, 2> Speeds{Speed::Normal, Speed::Fast};

// The frequencies a run may use whatever the model: a frequency outside them is not sent in a
// run, and START's fields are held to them.
constexpr std::int32_t SweepLowestHz = 25;
constexpr std::int32_t SweepHighestHz = 10000000;

// Every model answers the same commands (commands.h); they differ only in the values below and
// in the wire rules of models.h.
struct Capabilities {
    std::int32_t lowestHz = 0; // the model's frequency window
    std::int32_t highestHz = 0;
    std::int32_t sweepLowestHz = 0; // the window within the bounds of a run
    std::int32_t sweepHighestHz = 0;
    std::int32_t lowestBiasMillivolts = LowestBiasMillivolts;
    std::int32_t highestBiasMillivolts = HighestBiasMillivolts;
    std::int32_t biasStepMillivolts = 0;
    std::array<std::int32_t, LevelCount> levelsMillivolts = Levels;
    std::array<double, RangeCount> rangeOhms = RangeOhms;
    std::array<Speed, 2> speeds = Speeds;
};

// The description of ModelTable row `index`; an index that names no row (an unknown identity)
// gets the common rules, as the wire does.
Capabilities CapabilitiesOf(int index);

// What some model can take: the widest frequency window, the finest bias step, START's bounds.
// For a front end that checks before it knows the model, or whose checks do not depend on it.
Capabilities AnyModelCapabilities();

} // namespace Device
