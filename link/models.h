// The five supported instrument models and the test frequencies their windows index into.
#pragma once

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>

namespace Device {

struct ModelRow {
    const char *name;       // shown to the user
    const char *identifier; // what the instrument reports to the identity query
    int firstFrequency;     // index into FrequencyList
    int lastFrequency;      // index into FrequencyList
    int biasScale;          // millivolts per unit of the bias on the wire
    int phaseSign;          // sign applied to the phase angle on the wire
};

constexpr int ModelCount = 5;

// Row 0 differs on the wire: bias in units of 100 mV and a negated phase angle.
constexpr std::array<ModelRow, ModelCount> ModelTable{{
    {"KT-41", "KT41", 0, 16, 100, -1},
    {"KT-43", "KT43", 0, 18, 10, 1},
    {"KT-44", "KT44", 0, 21, 10, 1},
    {"KT-45", "KT45", 12, 22, 10, 1},
    {"KT-46", "KT46", 0, 18, 10, 1},
}};

constexpr std::array<std::int32_t, 23> FrequencyList{
    25,      50,      60,      100,     120,     300,      500,     1000,
    3000,    5000,    10000,   30000,   50000,   100000,   300000,  500000,
    1000000, 2000000, 3000000, 5000000, 7000000, 10000000, 30000000};

// Display names, built once before the main window exists.
extern const QStringList ModelNames;

// The row found by the instrument search. It may stand one past the table (ModelCount) after a
// search that heard only unknown identities; every helper below copes with that.
struct ModelVariables {
    int ModelIndex = 0;
};
extern ModelVariables ModelState;
inline int &ModelIndex = ModelState.ModelIndex;

// The first row whose identifier equals text (at most 32 characters compared), else ModelCount.
int FindModelRow(const char *text);

// The display name of row index, or an empty text when index names no row.
QString ModelName(int index);

// Wire rules of a row: row 0 has its own, every other value (unknown rows included) those of
// rows 1 to 4.
int BiasScale(int index);
int PhaseSign(int index);

// Lowest and highest test frequency of a row, in Hz.
std::int32_t ModelLowestFrequency(int index);
std::int32_t ModelHighestFrequency(int index);

// The lowest test frequency of any model, in Hz: no frame can report less (0 aside, which the
// decoding treats on its own).
constexpr std::int32_t LowestFrequencyOfAnyModel() {
    std::int32_t lowest = FrequencyList.back();
    for (const ModelRow &row : ModelTable)
        lowest = std::min(lowest, FrequencyList[static_cast<std::size_t>(row.firstFrequency)]);
    return lowest;
}

// The highest test frequency of any model, in Hz: no frame can report more.
constexpr std::int32_t HighestFrequencyOfAnyModel() {
    std::int32_t highest = 0;
    for (const ModelRow &row : ModelTable)
        highest = std::max(highest, FrequencyList[static_cast<std::size_t>(row.lastFrequency)]);
    return highest;
}

} // namespace Device
