// The sorted parts as CSV rows.
#include "sorting/sort_log.h"

#include "export/csv.h"

#include <QBuffer>

namespace Sort {

namespace {

QString Heading(int quantity) {
    const QString unit = QuantityUnit(quantity);
    return unit.isEmpty() ? QuantityName(quantity)
                          : QStringLiteral("%1 (%2)").arg(QuantityName(quantity), unit);
}

bool WriteHeader(Export::CsvWriter &csv, const Plan &plan) {
    for (const QString &field :
         {QStringLiteral("time"), QStringLiteral("part"), Heading(plan.primary),
          Heading(plan.secondary), QStringLiteral("verdict"), QStringLiteral("bin"),
          QStringLiteral("sorted by"), QStringLiteral("raw |Z| (Ohm)"),
          QStringLiteral("raw theta (rad)"), QStringLiteral("raw frequency (Hz)"),
          QStringLiteral("connection")})
        csv.addText(field);
    return csv.endRow();
}

bool WriteRow(Export::CsvWriter &csv, const Plan &plan, LogEntry entry, qint64 part) {
    entry.reading.seriesCircuit = plan.seriesCircuit.value_or(entry.reading.seriesCircuit);
    csv.addText(entry.time.toUTC().toString(Qt::ISODateWithMs));
    csv.addInteger(part);
    csv.addMeasured(QuantityValue(entry.reading, plan.primary));
    csv.addMeasured(QuantityValue(entry.reading, plan.secondary));
    csv.addText(VerdictWords(entry.verdict));
    csv.addInteger(entry.verdict.code(plan.auxBin));
    csv.addText(entry.onDemand ? QStringLiteral("demand") : QStringLiteral("contact"));
    csv.addMeasured(entry.reading.magnitude);
    csv.addMeasured(entry.reading.phase);
    csv.addInteger(qRound64(entry.reading.frequencyHz));
    csv.addInteger(entry.connection);
    return csv.endRow();
}

} // namespace

QString VerdictWords(const Verdict &verdict) {
    switch (verdict.outcome) {
    case Outcome::Bin:
        return QStringLiteral("bin %1").arg(verdict.bin);
    case Outcome::Pass:
        return QStringLiteral("pass");
    case Outcome::Out:
        return QStringLiteral("out");
    case Outcome::SecondaryFail:
        return QStringLiteral("secondary fail");
    case Outcome::NoVerdict:
        break;
    }
    return QStringLiteral("none");
}

bool WriteLogCsv(QIODevice &device, const Plan &plan, const std::vector<LogEntry> &entries) {
    Export::CsvWriter csv(&device);
    if (!WriteHeader(csv, plan)) return false;
    qint64 part = 0;
    for (const LogEntry &entry : entries)
        if (!WriteRow(csv, plan, entry, ++part)) return false;
    return true;
}

QByteArray LogCsvHeader(const Plan &plan) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Export::CsvWriter csv(&buffer);
    WriteHeader(csv, plan);
    return buffer.data();
}

QByteArray LogCsvRow(const Plan &plan, const LogEntry &entry, qint64 part) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Export::CsvWriter csv(&buffer);
    WriteRow(csv, plan, entry, part);
    return buffer.data();
}

} // namespace Sort
