// The measured quantities as columns of a data file, for programs and spreadsheets: textbook
// values in SI units computed from what the frame reported, then the frame's own |Z|, angle and
// frequency, from which every other column can be rebuilt. Headers are plain ASCII.
#pragma once

#include "export/csv.h"

#include <QStringList>

#include <cstdint>
#include <limits>

namespace Export {

// What a frame reported, as the link decoded it.
struct RawMeasurement {
    float magnitude = 0.0f;       // |Z|, ohms
    float phase = 0.0f;           // angle of Z, radians, sign corrected for the model
    std::int32_t frequencyHz = 0; // as the frame reported it
    bool seriesCircuit = true;    // the circuit C, L, R and X are of
    // What the frame itself reported, where a fixture's correction changed |Z| and its angle;
    // the raw columns are written from these. Not finite: the same as magnitude and phase.
    float frameMagnitude = std::numeric_limits<float>::quiet_NaN();
    float framePhase = std::numeric_limits<float>::quiet_NaN();
};

// "C (F)", "L (H)", "R (Ohm)", "G (S)", "B (S)", "X (Ohm)", "|Y| (S)", "D", "Q",
// "phase of Z (deg)", "phase of Y (deg)", then the raw ones: "raw |Z| (Ohm)",
// "raw theta (rad)", "raw frequency (Hz)".
QStringList MeasuredHeaders();

// The textbook quantities of MeasuredHeaders, in their order: the name and the SI unit ("C",
// "F"; "D", "" for a ratio).
constexpr int TextbookColumnCount = 11;
QString TextbookName(int column);
QString TextbookUnit(int column);

// Column `column` of the textbook quantities of one measurement, in SI; not finite where the
// impedance leaves it undefined.
double TextbookColumnValue(const RawMeasurement &raw, int column);

// The fields of MeasuredHeaders for one measurement. G and B are Re Y and Im Y in either
// circuit; a value that is undefined for the impedance (a division by zero) is an empty field.
// A frame that is no measurement at its conditions (measured false) keeps only its raw fields.
void AddMeasuredFields(CsvWriter &csv, const RawMeasurement &raw, bool measured = true);

} // namespace Export
