// Engineering-prefix scaling and the layout of one display line.
#include "link/display_lines.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace Device {

const char *const UnitPrefixes[9] = {"p", "n", "mk", "m", "", "k", "M", "G", " "};
const char *const ParameterNames[14] = {"C", "L", "R", "G",   "B",   "X", "Z",
                                        "Y", "D", "Q", "Fiz", "Fiy", "F", "Ub"};
const char *const ParameterUnits[14] = {"F", "H", "Om", "S",   "S",   "OM", "Om",
                                        "S", "",  "",   "deg", "deg", "Hz", "V"};
const int StartingPrefix[14] = {0, 1, 3, 1, 1, 3, 3, 1, 4, 4, 4, 4, 4, 3};

namespace {

constexpr char NumberTemplate[] = "% . f ";
constexpr int NoPrefix = 4;
constexpr int LastPrefix = 7;
constexpr int CircuitLetterCount = 6; // C, L, R, G, B and X carry "s" or "p"

} // namespace

void ClearLine(Line &line) {
    std::memset(line, ' ', LineLength - 1);
    line[LineLength - 1] = '\0';
}

std::uint8_t AppendToLine(Line &line, std::uint8_t pos, std::uint8_t limit, const char *text) {
    if (pos > 30) {
        line[LineLength - 1] = '\0';
        return 31;
    }
    if (limit == 0) limit = 31;
    for (const char *c = text; *c != '\0'; ++c) {
        line[pos++] = *c;
        if (pos > 30) {
            line[LineLength - 1] = '\0';
            break;
        }
        if (--limit == 0) break;
    }
    return pos;
}

PrefixScaled ScaleToPrefix(float v, int startPrefix, int lastPrefix) {
    PrefixScaled scaled{v, startPrefix, 1.0f};
    while (std::fabs(scaled.value) > 1000.0f) {
        scaled.value = static_cast<float>(scaled.value * 0.001);
        scaled.factor = static_cast<float>(scaled.factor * 1000.0);
        if (++scaled.prefix > lastPrefix) break;
    }
    return scaled;
}

void BuildLine(int index, float v, bool seriesCircuit, Line &out) {
    Line formatLine;
    Line numberText;
    const PrefixScaled scaled = ScaleToPrefix(v, StartingPrefix[index], LastPrefix);
    const int prefixIndex = scaled.prefix;
    v = scaled.value;
    const float magnitude = std::fabs(v);
    const char decimals = magnitude < 10.0f ? '6' : magnitude < 100.0f ? '5' : '4';

    std::memcpy(formatLine, NumberTemplate, sizeof NumberTemplate);
    formatLine[3] = decimals;
    std::snprintf(numberText, LineLength, formatLine, static_cast<double>(v));

    ClearLine(formatLine);
    std::uint8_t pos = AppendToLine(formatLine, 0, 0, ParameterNames[index]);
    if (index < CircuitLetterCount) formatLine[pos] = seriesCircuit ? 's' : 'p';
    pos = AppendToLine(formatLine, static_cast<std::uint8_t>(pos + 2), 9, numberText);
    if (prefixIndex != NoPrefix) pos = AppendToLine(formatLine, pos, 0, UnitPrefixes[prefixIndex]);
    pos = AppendToLine(formatLine, pos, 0, ParameterUnits[index]);
    formatLine[pos] = '\0';
    std::memcpy(out, formatLine, LineLength);
}

} // namespace Device
