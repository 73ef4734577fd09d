// RFC 4180 records and full-precision numbers.
#include "export/csv.h"

#include <QIODevice>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace Export {

namespace {

QString NonFinite(double value) {
    if (std::isnan(value)) return QStringLiteral("nan");
    return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
}

// digits · 10^exponent with the point after the first digit, in the shorter of the fixed and
// the scientific forms (fixed on a tie), as std::to_chars chooses for its shortest output.
std::string Compose(const std::string &digits, int exponent) {
    const int count = static_cast<int>(digits.size());
    std::string fixed;
    if (exponent >= 0) {
        if (count - 1 <= exponent)
            fixed = digits + std::string(static_cast<std::size_t>(exponent - (count - 1)), '0');
        else
            fixed = digits.substr(0, static_cast<std::size_t>(exponent + 1)) + '.' +
                    digits.substr(static_cast<std::size_t>(exponent + 1));
    } else {
        fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    std::string scientific = digits.substr(0, 1);
    if (count > 1) scientific += '.' + digits.substr(1);
    const int magnitude = std::abs(exponent);
    scientific += exponent < 0 ? "e-" : "e+";
    if (magnitude < 10) scientific += '0';
    scientific += std::to_string(magnitude);
    return scientific.size() < fixed.size() ? scientific : fixed;
}

template <typename T> QString Scaled(T value, int exponent, QChar decimalMark) {
    if (!std::isfinite(value)) return NonFinite(static_cast<double>(value));
    if (value == 0) return QStringLiteral("0");
    // The shortest digits that read back to value in its own type, in scientific form:
    // [-]d[.ddd]e±xx.
    char buffer[64];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string text(buffer, written.ptr);
    const bool negative = text.front() == '-';
    const std::size_t start = negative ? 1 : 0;
    const std::size_t mark = text.find('e');
    std::string digits = text.substr(start, 1);
    if (mark > start + 1) digits += text.substr(start + 2, mark - start - 2);
    const int shifted = std::atoi(text.c_str() + mark + 1) + exponent;

    QString out = QString::fromLatin1(Compose(digits, shifted).c_str());
    if (decimalMark != QLatin1Char('.')) out.replace(QLatin1Char('.'), decimalMark);
    if (negative) out.prepend(QLatin1Char('-'));
    return out;
}

} // namespace

CsvDialect CommaDialect() {
    return {QLatin1Char(','), QLatin1Char('.')};
}

CsvDialect SemicolonDialect() {
    return {QLatin1Char(';'), QLatin1Char(',')};
}

QString FormatNumber(double value, QChar decimalMark) {
    return Scaled(value, 0, decimalMark);
}

QString FormatScaled(float value, int exponent, QChar decimalMark) {
    return Scaled(value, exponent, decimalMark);
}

QString FormatScaled(double value, int exponent, QChar decimalMark) {
    return Scaled(value, exponent, decimalMark);
}

QString FormatMeasured(double value, QChar decimalMark) {
    if (!std::isfinite(value)) return QString();
    const double size = std::fabs(value);
    const bool single = size >= static_cast<double>(std::numeric_limits<float>::min()) &&
                        size <= static_cast<double>(std::numeric_limits<float>::max());
    if (single) return Scaled(static_cast<float>(value), 0, decimalMark);
    return Scaled(value, 0, decimalMark);
}

QString QuoteField(const QString &field, QChar separator) {
    const bool mustQuote = field.contains(separator) || field.contains(QLatin1Char('"')) ||
                           field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n'));
    if (!mustQuote) return field;
    QString quoted = field;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

CsvWriter::CsvWriter(QIODevice *device, CsvDialect dialect)
    : m_device(device), m_dialect(dialect) {}

void CsvWriter::add(const QString &field) {
    if (!m_empty) m_row += m_dialect.separator;
    m_empty = false;
    m_row += QuoteField(field, m_dialect.separator);
}

void CsvWriter::addText(const QString &field) {
    add(field);
}

void CsvWriter::addNumber(double value) {
    add(FormatNumber(value, m_dialect.decimalMark));
}

void CsvWriter::addScaled(float value, int exponent) {
    add(FormatScaled(value, exponent, m_dialect.decimalMark));
}

void CsvWriter::addScaled(double value, int exponent) {
    add(FormatScaled(value, exponent, m_dialect.decimalMark));
}

void CsvWriter::addMeasured(double value) {
    add(FormatMeasured(value, m_dialect.decimalMark));
}

void CsvWriter::addInteger(qint64 value) {
    add(QString::number(value));
}

void CsvWriter::addEmpty() {
    add(QString());
}

// A record goes out in one write. When the device takes only part of it (a disk that fills up,
// a file size limit), the rest is offered again: that write fails, and the device's
// errorString() then holds the system's reason instead of none.
bool CsvWriter::endRow() {
    const QByteArray line = m_row.toUtf8() + "\r\n";
    m_row.clear();
    m_empty = true;
    qint64 written = 0;
    while (written < line.size()) {
        const qint64 n = m_device->write(line.constData() + written, line.size() - written);
        if (n <= 0) return false;
        written += n;
    }
    return true;
}

} // namespace Export
