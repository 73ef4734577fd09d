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

// The line as measured and the line with the D correction, each with its own buffers.
extern Line FormatLine, CorrectedFormatLine;
extern Line NumberText, CorrectedNumberText;
extern int PrefixIndex, CorrectedPrefixIndex;
extern Line ParameterText[14], CorrectedParameterText[14];

extern float DCorrection;

void ClearLine(Line &line);
// Copies text into line from pos, at most limit characters (0: 31); never writes past 31
// characters and keeps the line terminated. Returns the position after the last character.
std::uint8_t AppendToLine(Line &line, std::uint8_t pos, std::uint8_t limit, const char *text);

// Builds the display line of parameter index from value v into out, using the given working
// buffers; prefixIndex must hold the parameter's starting prefix.
void BuildLine(Line &formatLine, Line &numberText, int &prefixIndex, int index, float v,
               bool seriesCircuit, Line &out);

} // namespace Device
