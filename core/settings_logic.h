// The arithmetic behind the test-condition controls and the automatic parameter choice,
// kept apart from the widgets so it can be checked directly.
#pragma once

#include "link/capabilities.h"

#include <QString>

#include <cstdint>

namespace Main {

// Sets Param1Index and Param2Index from |Z| (ohms) and the angle of Z (radians).
void ChooseParameters(float magnitude, float phase);

// The entry of the frequency list at an up-down position; positions past the list's end
// select its last entry.
std::int32_t FrequencyListEntry(int position);

// The decade-dependent step of the frequency increment control at frequency f.
std::int32_t FrequencyIncrementStep(std::int32_t f, bool up);
// f one step up or down, wrapped: above high to low, below the lowest test frequency to high.
std::int32_t IncrementFrequency(std::int32_t f, bool up, std::int32_t low, std::int32_t high);

constexpr std::int32_t LowestBias = Device::LowestBiasMillivolts;
constexpr std::int32_t HighestBias = Device::HighestBiasMillivolts;
// The fine bias control's next value: 100 mV steps up to 1000 mV, 1000 mV steps above,
// kept within the bias source's range.
std::int32_t FineBiasStep(std::int32_t bias, bool up);
// The highest coarse position whose bias is not above mv.
int CoarseBiasPosition(std::int32_t mv);

// mv as volts in the general floating-point form with the system's decimal separator.
QString BiasText(std::int32_t mv);

} // namespace Main
