// The sweep table in CSV.
#include "export/sweep_csv.h"

#include "export/parameter_columns.h"
#include "sweep/sweep_store.h"

#include <QBuffer>

#include <cmath>

namespace Export {

QStringList SweepHeader() {
    return QStringList{QStringLiteral("point"), QStringLiteral("planned frequency (Hz)"),
                       QStringLiteral("circuit")} +
           MeasuredHeaders();
}

bool WriteSweepCsv(QIODevice *device, const Main::SweepVariables &store, CsvDialect dialect) {
    CsvWriter csv(device, dialect);
    for (const QString &column : SweepHeader())
        csv.addText(column);
    if (!csv.endRow()) return false;
    const int taken = Main::TakenSweepPoints(store);
    for (int i = 0; i < taken; ++i) {
        csv.addInteger(i + 1);
        // Planned frequencies are whole hertz; written as such rather than as 1e+07.
        const float hz = store.SweepFrequencies[i];
        if (std::isfinite(hz) && hz == std::trunc(hz))
            csv.addInteger(static_cast<qint64>(hz));
        else
            csv.addScaled(hz, 0);
        const bool series = store.SweepSeriesCircuits[i];
        csv.addText(series ? QStringLiteral("series") : QStringLiteral("parallel"));
        AddMeasuredFields(csv, {store.SweepMagnitudes[i], store.SweepPhases[i],
                                store.SweepReportedFrequencies[i], series});
        if (!csv.endRow()) return false;
    }
    return true;
}

QByteArray SweepCsv(const Main::SweepVariables &store, CsvDialect dialect) {
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    WriteSweepCsv(&buffer, store, dialect);
    return text;
}

} // namespace Export
