// The points of a sweep run as a CSV table: point number, planned frequency, circuit, then the
// measured columns of each point (textbook values in SI from what its frame reported, and the
// raw |Z|, angle and frequency), one record per point after a header naming each column.
#pragma once

#include "export/csv.h"

#include <QByteArray>
#include <QStringList>

class QIODevice;

namespace Main {
struct SweepVariables;
}

namespace Export {

// "point", "planned frequency (Hz)", "circuit", then MeasuredHeaders().
QStringList SweepHeader();

// The header and the points of store's current run that have been taken (TakenSweepPoints),
// numbered from 1, each value at full precision. False when the device took less than
// everything; its errorString() says why.
bool WriteSweepCsv(QIODevice *device, const Main::SweepVariables &store,
                   CsvDialect dialect = CommaDialect());

// The same table as UTF-8 text, for the clipboard.
QByteArray SweepCsv(const Main::SweepVariables &store, CsvDialect dialect = CommaDialect());

} // namespace Export
