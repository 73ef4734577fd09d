// What every reader of a sweep file shares: a bounded read of the whole file, its lines, and
// numbers that must be finite; and the writers' exact numbers and their write.
#pragma once

#include "exchange/sweep_data.h"

#include <QByteArray>

#include <optional>

class QIODevice;

namespace Exchange {

constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

// The device's bytes, or a refusal for a file over MaxFileBytes, one that cannot be read or one
// holding a NUL byte (no text file does).
std::optional<QByteArray> ReadBounded(QIODevice &device, Refusal *refusal);

// The lines of text one at a time, split at LF with a trailing CR removed; none is kept, so a
// file of nothing but line ends costs no more than its bytes. text must outlive the reader.
class LineReader {
public:
    explicit LineReader(const QByteArray &text) : m_text(text) {}
    bool next(); // false after the last line
    const QByteArray &line() const { return m_line; }
    int number() const { return m_number; } // from 1

private:
    const QByteArray &m_text;
    qsizetype m_start = 0;
    int m_number = 0;
    QByteArray m_line;
};

// A finite number in C notation, exponent forms included; empty for anything else.
std::optional<double> ParseNumber(QByteArrayView field);

// Numbers in full precision, read back as the same double.
QByteArray ExactNumber(double value);

// The writers' end: text written whole to device, or the refusal saying why not.
WriteResult WriteAll(QIODevice &device, const QByteArray &text);
WriteResult WriteFailed(const QIODevice &device);

} // namespace Exchange
