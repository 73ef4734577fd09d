// The sweep table in CSV.
#include "export/sweep_csv.h"

#include "compensation/correction.h"
#include "export/parameter_columns.h"
#include "sweep/reference_trace.h"
#include "sweep/sweep_store.h"

#include <QBuffer>

#include <cmath>
#include <optional>

namespace Export {

QStringList SweepHeader() {
    return SweepHeader(Sweep::Quantity::Frequency);
}

QStringList SweepHeader(Sweep::Quantity quantity) {
    QStringList header{QStringLiteral("point"), QStringLiteral("planned frequency (Hz)")};
    if (quantity == Sweep::Quantity::Bias)
        header << QStringLiteral("planned bias (V)") << QStringLiteral("reported bias (V)");
    if (quantity == Sweep::Quantity::Level) header << QStringLiteral("planned level (V)");
    return header + QStringList{QStringLiteral("circuit")} + MeasuredHeaders() +
           QStringList{QStringLiteral("status"), QStringLiteral("connection"),
                       QStringLiteral("correction")};
}

namespace {

// The reference's columns after the run's own.
QStringList ReferenceHeaders(const Sweep::ReferenceTrace &reference);

QString Unit(int column, const QString &unit) {
    return unit.isEmpty() ? TextbookName(column)
                          : QStringLiteral("%1 (%2)").arg(TextbookName(column), unit);
}

RawMeasurement PointMeasurement(const Main::SweepVariables &store, int i) {
    RawMeasurement m{store.SweepMagnitudes[i], store.SweepPhases[i],
                     store.SweepReportedFrequencies[i], store.SweepSeriesCircuits[i]};
    if ((store.SweepCorrections[i] & ~Main::CorrectionOutside) != 0) {
        m.frameMagnitude = store.SweepFrameMagnitudes[i];
        m.framePhase = store.SweepFramePhases[i];
    }
    return m;
}

// The reference's columns of point i of the run.
void AddReferenceFields(CsvWriter &csv, const Sweep::ReferenceTrace &textbook,
                        const RawMeasurement &raw, double hz) {
    std::optional<double> held[TextbookColumnCount];
    for (int c = 0; c < TextbookColumnCount; ++c) {
        held[c] = Sweep::ReferenceAt(textbook, c, hz);
        csv.addMeasured(held[c].value_or(std::nan("")));
    }
    double measured[TextbookColumnCount];
    for (int c = 0; c < TextbookColumnCount; ++c) {
        measured[c] = TextbookColumnValue(raw, c);
        csv.addMeasured(held[c] ? measured[c] - *held[c] : std::nan(""));
    }
    for (int c = 0; c < TextbookColumnCount; ++c)
        csv.addMeasured(held[c] && *held[c] != 0.0
                            ? (measured[c] - *held[c]) / std::fabs(*held[c]) * 100.0
                            : std::nan(""));
}

bool WriteTable(QIODevice *device, const Main::SweepVariables &store,
                const Sweep::ReferenceTrace *reference, CsvDialect dialect) {
    const Sweep::ReferenceTrace textbook =
        reference ? TextbookReference(*reference) : Sweep::ReferenceTrace{};
    CsvWriter csv(device, dialect);
    QStringList header = SweepHeader(store.SweepQuantity);
    if (reference) header += ReferenceHeaders(*reference);
    for (const QString &column : header)
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
        // The swept value in volts: the setting as planned (mV), and for the bias the frame's.
        if (store.SweepQuantity != Sweep::Quantity::Frequency)
            csv.addNumber(Main::PlannedAxisValue(store, i));
        if (store.SweepQuantity == Sweep::Quantity::Bias)
            csv.addNumber(store.SweepReportedBiases[i] / 1000.0);
        const bool series = store.SweepSeriesCircuits[i];
        csv.addText(series ? QStringLiteral("series") : QStringLiteral("parallel"));
        const RawMeasurement raw = PointMeasurement(store, i);
        const bool measured = Main::PointMeasured(store, i);
        AddMeasuredFields(csv, raw, measured);
        csv.addInteger(store.SweepStatuses[i]);
        csv.addInteger(store.SweepConnections[i]);
        const unsigned correction = store.SweepCorrections[i];
        csv.addText(Comp::CorrectionName(correction & ~Main::CorrectionOutside,
                                         (correction & Main::CorrectionOutside) != 0));
        if (reference && !reference->empty()) {
            if (measured) {
                AddReferenceFields(csv, textbook, raw, hz);
            } else {
                for (int c = 0; c < 3 * TextbookColumnCount; ++c)
                    csv.addEmpty();
            }
        }
        if (!csv.endRow()) return false;
    }
    return true;
}

QStringList ReferenceHeaders(const Sweep::ReferenceTrace &reference) {
    QStringList header;
    if (reference.empty()) return header;
    for (int c = 0; c < TextbookColumnCount; ++c)
        header << QStringLiteral("reference ") + Unit(c, TextbookUnit(c));
    for (int c = 0; c < TextbookColumnCount; ++c)
        header << QStringLiteral("delta ") + Unit(c, TextbookUnit(c));
    for (int c = 0; c < TextbookColumnCount; ++c)
        header << QStringLiteral("delta ") + Unit(c, QStringLiteral("%"));
    return header;
}

} // namespace

QStringList SweepHeader(const Sweep::ReferenceTrace &reference) {
    return SweepHeader() + ReferenceHeaders(reference);
}

Sweep::ReferenceTrace TextbookReference(const Sweep::ReferenceTrace &reference) {
    Sweep::ReferenceTrace out;
    const std::size_t n = reference.frequencies.size();
    if (reference.magnitudes.size() != n || reference.phases.size() != n ||
        reference.reportedFrequencies.size() != n || reference.seriesCircuits.size() != n)
        return out;
    out.frequencies = reference.frequencies;
    for (int c = 0; c < TextbookColumnCount; ++c) {
        std::vector<double> &row = out.values[static_cast<std::size_t>(c)];
        row.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            row.push_back(
                TextbookColumnValue({reference.magnitudes[i], reference.phases[i],
                                     reference.reportedFrequencies[i], reference.seriesCircuits[i]},
                                    c));
    }
    return out;
}

bool WriteSweepCsv(QIODevice *device, const Main::SweepVariables &store, CsvDialect dialect) {
    return WriteTable(device, store, nullptr, dialect);
}

bool WriteSweepCsv(QIODevice *device, const Main::SweepVariables &store,
                   const Sweep::ReferenceTrace &reference, CsvDialect dialect) {
    return WriteTable(device, store, &reference, dialect);
}

QByteArray SweepCsv(const Main::SweepVariables &store, const Sweep::ReferenceTrace &reference,
                    CsvDialect dialect) {
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    WriteSweepCsv(&buffer, store, reference, dialect);
    return text;
}

QByteArray SweepCsv(const Main::SweepVariables &store, CsvDialect dialect) {
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    WriteSweepCsv(&buffer, store, dialect);
    return text;
}

} // namespace Export
