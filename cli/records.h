// The JSON forms of what impedix-cli prints: one object per line for each reading and for each
// point of a sweep, with the textbook SI quantities of the impedance (null where a quantity is
// undefined) and the raw |Z|, angle and frequency from which every other value follows. The CSV
// forms are the recording's and the sweep export's own.
#pragma once

#include "export/frame_record.h"
#include "sorting/sort_log.h"

#include <QByteArray>
#include <QString>

namespace Main {
struct SweepVariables;
}

namespace Cli {

// One accepted reading with what the recording stamps it with.
struct Reading {
    QString time;              // local ISO 8601 with milliseconds and offset
    double elapsedSeconds = 0; // since the recording began
    Export::FrameRecord frame; // model, frequency, bias, range, circuit
    // |Z| in ohms and the angle of Z in radians (sign as the link corrected it for the model):
    // the frame's, or with a fixture's correction the corrected impedance (the frame's own in
    // frame.frameMagnitude and frame.framePhase).
    float magnitude = 0.0f;
    float phase = 0.0f;
};

// The reading the link accepted last, stamped with time and elapsed.
Reading LastReading(const QString &time, double elapsedSeconds, const QString &range);

// One line (with its "\n") for the reading. The quantities are of its impedance (corrected
// when a fixture's correction was applied); z_magnitude_ohm and z_angle_rad stay what the frame
// reported, and correction names what was applied.
QByteArray ReadingJson(const Reading &reading);

// A correction as Session::LastCorrection and Main::SweepCorrections hold it (Comp::Kind flags,
// Main::CorrectionOutside), named as the data files name it: "none", "open-short", "outside", …
QString CorrectionText(unsigned flags);

// One line per taken point of the store's run: point number, planned frequency (the one held by
// a bias or level run, whose "bias_v" and "reported_bias_v", or "level_v", follow it) and the
// quantities from the stored |Z| and angle in the given circuit; where a correction was applied
// the raw |Z| and angle are the frame's own.
QByteArray SweepJson(const Main::SweepVariables &store, bool seriesCircuit);

// One line per sorted part: time (UTC), part number, the primary and the secondary quantity by
// name, unit and SI value (null where undefined), the verdict's words and bin code, how it was
// sorted, the raw |Z|, angle and frequency, the connection.
QByteArray SortedPartJson(const Sort::Plan &plan, const Sort::LogEntry &entry, qint64 part);

} // namespace Cli
