// CSV text as RFC 4180 has it, in UTF-8: fields quoted only where they must be, CRLF after every
// record, and numbers at full precision with a chosen separator and decimal mark. Every file the
// program writes goes through here.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

class QIODevice;

namespace Export {

// "," with "." (the standard form) or ";" with "," (for spreadsheets set to a decimal comma).
struct CsvDialect {
    QChar separator = QLatin1Char(',');
    QChar decimalMark = QLatin1Char('.');
};
CsvDialect CommaDialect();
CsvDialect SemicolonDialect();

// The shortest text that reads back to the same double ("1000", "0.25", "1.5e-07"); "nan",
// "inf" and "-inf" for values that are not finite.
QString FormatNumber(double value, QChar decimalMark = QLatin1Char('.'));

// value · 10^exponent, written with the shortest digits that read back to value in its own
// precision and the decimal point moved by exponent: a capacitance of 159154.9 pF with exponent
// -12 becomes "1.591549e-07", with no digits that the stored value does not carry.
QString FormatScaled(float value, int exponent, QChar decimalMark = QLatin1Char('.'));
QString FormatScaled(double value, int exponent, QChar decimalMark = QLatin1Char('.'));

// A value computed from single-precision measurements, with the digits single precision carries
// (the shortest text that reads back to the same float); beyond the range of normal floats the
// double's own shortest text, so that nothing turns into 0 or inf. Empty for a value that is not
// finite: what is undefined is no number in a data file.
QString FormatMeasured(double value, QChar decimalMark = QLatin1Char('.'));

// field as it stands in a record: enclosed in double quotes, with inner quotes doubled, when it
// holds the separator, a double quote, CR or LF.
QString QuoteField(const QString &field, QChar separator);

// Collects the fields of one record and writes the record whole, so that a device never holds
// half a line from this writer.
class CsvWriter {
public:
    explicit CsvWriter(QIODevice *device, CsvDialect dialect = {});

    const CsvDialect &dialect() const { return m_dialect; }

    void addText(const QString &field);
    void addNumber(double value);
    void addScaled(float value, int exponent);
    void addScaled(double value, int exponent);
    void addMeasured(double value); // FormatMeasured: an empty field when not finite
    void addInteger(qint64 value);
    void addEmpty();

    // Writes the record with its CRLF and starts the next. False when the device took less
    // than the whole record; its errorString() says why.
    bool endRow();
    // The record built so far, without its line end (for tests and the clipboard).
    QString pendingRow() const { return m_row; }

private:
    void add(const QString &field);

    QIODevice *m_device;
    CsvDialect m_dialect;
    QString m_row;
    bool m_empty = true; // no field added to the current record yet
};

} // namespace Export
