// Frequency and bias stepping rules and the automatic choice of the shown parameters.
#include "core/settings_logic.h"

#include "core/main_state.h"
#include "link/decoding.h"
#include "link/models.h"

#include <QLocale>

#include <algorithm>
#include <array>

namespace Main {

void ChooseParameters(float magnitude, float phase) {
    using namespace Device;
    // Later rules override earlier ones; comparisons are strict and made in double precision,
    // so a modulus stored as the float nearest 0.02 counts as below it.
    const double z = magnitude;
    const double phi = phase;
    auto choose = [](int first, int second) {
        Param1Index = first;
        Param2Index = second;
    };
    choose(ParR, ParQ);
    if (phi < -0.78) choose(ParC, ParD);    // capacitive
    if (phi > 0.78) choose(ParL, ParQ);     // inductive
    if (z < 0.02) choose(ParR, ParQ);       // a short: only the resistance means anything
    if (z > 99999999.0) choose(ParC, ParD); // an open: only the capacitance means anything
}

std::int32_t FrequencyListEntry(int position) {
    const int last = static_cast<int>(Device::FrequencyList.size()) - 1;
    return Device::FrequencyList[static_cast<std::size_t>(std::clamp(position, 0, last))];
}

std::int32_t FrequencyIncrementStep(std::int32_t f, bool up) {
    // Going up, a decade edge takes the step of the decade above it; going down, of the decade
    // below. From 10 MHz up, and above 30 MHz down, the step is 1 MHz.
    struct Band {
        std::int32_t limit;
        std::int32_t step;
    };
    static constexpr std::array<Band, 6> upBands{
        {{100, 1}, {1000, 10}, {10000, 100}, {100000, 1000}, {1000000, 10000}, {10000000, 100000}}};
    static constexpr std::array<Band, 6> downBands{
        {{100, 1}, {1000, 10}, {10000, 100}, {100000, 1000}, {1000000, 10000}, {30000000, 100000}}};
    for (const Band &band : up ? upBands : downBands)
        if (up ? f < band.limit : f <= band.limit) return band.step;
    return 1000000;
}

std::int32_t IncrementFrequency(std::int32_t f, bool up, std::int32_t low, std::int32_t high) {
    const std::int32_t step = FrequencyIncrementStep(f, up);
    if (up) {
        const std::int64_t next = static_cast<std::int64_t>(f) + step;
        return next > high ? low : static_cast<std::int32_t>(next);
    }
    const std::int64_t next = static_cast<std::int64_t>(f) - step;
    return next < Device::LowestFrequencyOfAnyModel() ? high : static_cast<std::int32_t>(next);
}

std::int32_t FineBiasStep(std::int32_t bias, bool up) {
    const std::int32_t step = (up ? bias < 1000 : bias <= 1000) ? 100 : 1000;
    const std::int32_t next = up ? bias + step : bias - step;
    return std::clamp(next, LowestBias, HighestBias);
}

int CoarseBiasPosition(std::int32_t mv) {
    int position = 0;
    for (int p = 0; p < static_cast<int>(BiasList.size()); ++p)
        if (BiasList[static_cast<std::size_t>(p)] <= mv) position = p;
    return position;
}

QString BiasText(std::int32_t mv) {
    return QLocale::system().toString(mv * 0.001, 'g', 15);
}

} // namespace Main
