// The JSON forms of what impedix-cli prints: one object per line for each reading and for each
// point of a sweep, with the textbook SI quantities of the impedance (null where a quantity is
// undefined) and the raw |Z|, angle and frequency from which every other value follows. The CSV
// forms are the recording's and the sweep export's own.
#pragma once

#include "export/frame_record.h"

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
    float magnitude = 0.0f;    // |Z| of the frame, ohms
    float phase = 0.0f;        // angle of Z, radians, as the link corrected it for the model
};

// The reading the link accepted last, stamped with time and elapsed.
Reading LastReading(const QString &time, double elapsedSeconds, const QString &range);

// One line (with its "\n") for the reading.
QByteArray ReadingJson(const Reading &reading);

// One line per taken point of the store's run: point number, planned frequency and the
// quantities from the stored |Z| and angle in the given circuit.
QByteArray SweepJson(const Main::SweepVariables &store, bool seriesCircuit);

} // namespace Cli
