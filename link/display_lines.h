// Fixed-layout display lines: name, circuit letter, nine-character number, prefix, unit.
#pragma once

#include <cstdint>

namespace Device {

constexpr int LineLength = 32; // 31 characters and a terminating zero
using Line = char[LineLength];

extern const char *const UnitPrefixes[9];
extern const char *const ParameterNames[14];
extern const char *const ParameterUnits[14];
extern const int StartingPrefix[14];

// The finished lines of the last frame, as measured and with the D correction.
struct LineVariables {
    Line ParameterText[14] = {};
    Line CorrectedParameterText[14] = {};
    float DCorrection = 0.0f;
};
extern LineVariables LineState;

inline Line (&ParameterText)[14] = LineState.ParameterText;
inline Line (&CorrectedParameterText)[14] = LineState.CorrectedParameterText;
inline float &DCorrection = LineState.DCorrection;

// A value brought into the range of an engineering prefix.
struct PrefixScaled {
    float value = 0.0f;  // the value in units of the prefix
    int prefix = 0;      // position in UnitPrefixes
    float factor = 1.0f; // what the value was divided by, a power of 1000
};

// While |v| > 1000, divides v by 1000 (rounded to single precision) and steps the prefix up by
// one, stopping once the prefix has passed lastPrefix. 1000 itself is not scaled; a value still
// beyond 1000 then stands at prefix lastPrefix + 1.
PrefixScaled ScaleToPrefix(float v, int startPrefix, int lastPrefix);

void ClearLine(Line &line);
// Copies text into line from pos, at most limit characters (0: 31); never writes past 31
// characters and keeps the line terminated. Returns the position after the last character.
std::uint8_t AppendToLine(Line &line, std::uint8_t pos, std::uint8_t limit, const char *text);

// Builds the display line of parameter index (0..13) from value v into out.
void BuildLine(int index, float v, bool seriesCircuit, Line &out);

} // namespace Device
