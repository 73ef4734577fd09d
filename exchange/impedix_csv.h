// The program's own sweep table (Export::WriteSweepCsv) read back as data and written from it,
// in either dialect: "," with "." or ";" with ",".
#pragma once

#include "exchange/sweep_data.h"
#include "export/csv.h"

#include <QByteArray>

class QIODevice;

namespace Exchange {

// True when text starts with the table's header ("point" and its separator).
bool LooksLikeImpedixCsv(const QByteArray &text);

// The points of the table, frequency runs and bias or level runs alike. The dialect follows the
// separator after "point"; |Z|, θ and the frequency come from the raw columns, the status from
// "status" (0 without one) and the planned value from the planned frequency, bias or level.
// A point that is no measurement (status other than 0) may have empty raw fields: they are read
// as NaN. Columns are found by name, so the reference columns of a table are passed over.
ReadResult ReadImpedixCsv(QIODevice &device);

// The table Export::WriteSweepCsv writes for ToStore(data): refused when data has no point or
// more than a run holds.
WriteResult WriteImpedixCsv(QIODevice &device, const SweepData &data,
                            Export::CsvDialect dialect = Export::CommaDialect());

} // namespace Exchange
