// The log of sorted parts: when, the values, the verdict; written as CSV for a spreadsheet.
#pragma once

#include "sorting/sort_plan.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdint>
#include <vector>

class QIODevice;

namespace Sort {

struct LogEntry {
    QDateTime time;  // when the part got its verdict, UTC
    Reading reading; // what it was sorted on
    Verdict verdict;
    bool onDemand = false;        // sorted by a key, a trigger or an option rather than by contact
    std::uint32_t connection = 0; // the connection to the meter it was measured on
};

// One row per part after a header: time (ISO 8601, UTC), part number, the primary and the
// secondary by name and SI unit, the verdict ("bin 3", "pass", "out", "secondary fail"), the bin
// code as a bench meter's FETCh? gives it, how it was sorted ("contact", "demand"), the raw |Z|,
// angle and frequency, the connection. False when the device took less than everything.
bool WriteLogCsv(QIODevice &device, const Plan &plan, const std::vector<LogEntry> &entries);

// The same header, and the same row for one part (part: its number from 1), each with its CRLF:
// for a log written part by part as the parts come.
QByteArray LogCsvHeader(const Plan &plan);
QByteArray LogCsvRow(const Plan &plan, const LogEntry &entry, qint64 part);

// "bin 3", "pass", "out", "secondary fail", "none".
QString VerdictWords(const Verdict &verdict);

} // namespace Sort
