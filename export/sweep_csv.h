// The points of a sweep run as a CSV table: point number, planned frequency, circuit, then the
// measured columns of each point (textbook values in SI from what its frame reported, and the
// raw |Z|, angle and frequency), one record per point after a header naming each column. A run
// over the DC bias or the test level also carries its swept value after the frequency it held.
#pragma once

#include "export/csv.h"
#include "sweep/sweep_planner.h"

#include <QByteArray>
#include <QStringList>

class QIODevice;

namespace Main {
struct SweepVariables;
}
namespace Sweep {
struct ReferenceTrace;
}

namespace Export {

// "point", "planned frequency (Hz)", "circuit", then MeasuredHeaders(), "status" and
// "connection". The status is Device::ReadingStatus's code: 0 for a measurement at the planned
// conditions; any other point keeps only its raw fields (what the meter sent), its textbook and
// reference fields empty. The connection counts the openings of the port: it changes where the
// line was lost and came back.
QStringList SweepHeader();
// The header of a run over quantity: for the bias, "planned bias (V)" (the point's setting after
// rounding to the model's step) and "reported bias (V)" (what its frame reported) after the
// planned frequency, which is then the one the run held; for the level, "planned level (V)"
// there. A frequency run's header is SweepHeader().
QStringList SweepHeader(Sweep::Quantity quantity);

// The header (of store.SweepQuantity) and the points of store's current run that have been taken
// (TakenSweepPoints), numbered from 1, each value at full precision. False when the device took
// less than everything; its errorString() says why.
bool WriteSweepCsv(QIODevice *device, const Main::SweepVariables &store,
                   CsvDialect dialect = CommaDialect());

// The same table as UTF-8 text, for the clipboard.
QByteArray SweepCsv(const Main::SweepVariables &store, CsvDialect dialect = CommaDialect());

// With a held reference, each record also carries the reference's textbook quantities at the
// point's planned frequency ("reference C (F)" …), then the deviations from it ("delta C (F)" …)
// and those against |reference| ("delta C (%)" …), for all eleven quantities. The reference's
// values are rebuilt from what its frames reported, as the run's own are, and interpolated
// linearly in log f; a field is empty outside the reference's span, where a value is undefined,
// and for a percentage against zero. An empty reference gives the table above, unchanged.
QStringList SweepHeader(const Sweep::ReferenceTrace &reference);
bool WriteSweepCsv(QIODevice *device, const Main::SweepVariables &store,
                   const Sweep::ReferenceTrace &reference, CsvDialect dialect = CommaDialect());
QByteArray SweepCsv(const Main::SweepVariables &store, const Sweep::ReferenceTrace &reference,
                    CsvDialect dialect = CommaDialect());

// The reference's textbook quantities in SI, one per TextbookColumnValue column (values[c]), at
// its frequencies; empty when the trace does not keep what its frames reported.
Sweep::ReferenceTrace TextbookReference(const Sweep::ReferenceTrace &reference);

} // namespace Export
