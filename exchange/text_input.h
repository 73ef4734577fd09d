// What every reader of a sweep file shares: a bounded read of the whole file, its lines, and
// numbers that must be finite.
#pragma once

#include "exchange/sweep_data.h"

#include <QByteArray>
#include <QList>

#include <optional>

class QIODevice;

namespace Exchange {

constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

// The device's bytes, or a refusal for a file over MaxFileBytes, one that cannot be read or one
// holding a NUL byte (no text file does).
std::optional<QByteArray> ReadBounded(QIODevice &device, Refusal *refusal);

// The lines of text, split at LF with a trailing CR removed.
QList<QByteArray> SplitLines(const QByteArray &text);

// A finite number in C notation, exponent forms included; empty for anything else.
std::optional<double> ParseNumber(QByteArrayView field);

// Numbers in full precision, read back as the same double.
QByteArray ExactNumber(double value);

} // namespace Exchange
