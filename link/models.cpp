// Model table look-ups; unknown rows fall back to the common rules, never past the table.
#include "link/models.h"

#include <cstring>

namespace Device {

namespace {

QStringList BuildModelNames() {
    QStringList names;
    for (const ModelRow &row : ModelTable)
        names << QString::fromLatin1(row.name);
    return names;
}

bool IsRow(int index) {
    return index >= 0 && index < ModelCount;
}

const ModelRow &RulesOf(int index) {
    return ModelTable[IsRow(index) ? index : 1];
}

} // namespace

const QStringList ModelNames = BuildModelNames();

int FindModelRow(const char *text) {
    for (int row = 0; row < ModelCount; ++row)
        if (std::strncmp(text, ModelTable[row].identifier, 32) == 0) return row;
    return ModelCount;
}

QString ModelName(int index) {
    return IsRow(index) ? ModelNames.at(index) : QString();
}

int BiasScale(int index) {
    return RulesOf(index).biasScale;
}

int PhaseSign(int index) {
    return RulesOf(index).phaseSign;
}

std::int32_t ModelLowestFrequency(int index) {
    return FrequencyList[static_cast<std::size_t>(RulesOf(index).firstFrequency)];
}

std::int32_t ModelHighestFrequency(int index) {
    return FrequencyList[static_cast<std::size_t>(RulesOf(index).lastFrequency)];
}

} // namespace Device
