// A small RFC 4180 reader for tests: records from CSV text, fields unquoted, so that what a
// writer produced is checked by reading it, not by comparing it with its own output.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace CsvText {

struct Table {
    QList<QStringList> records;
    bool wellFormed = true; // every record ended by CRLF, every quote closed
};

inline Table Read(const QByteArray &bytes, QChar separator = QLatin1Char(',')) {
    const QString text = QString::fromUtf8(bytes);
    Table table;
    QStringList record;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            record << field;
            field.clear();
            fieldStarted = false;
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                   text.at(i + 1) == QLatin1Char('\n')) {
            record << field;
            table.records << record;
            record.clear();
            field.clear();
            fieldStarted = false;
            ++i;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('"')) {
            table.wellFormed = false; // bare line break or a quote inside an unquoted field
            field += c;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted || fieldStarted || !record.isEmpty()) {
        table.wellFormed = false;
        record << field;
        table.records << record;
    }
    return table;
}

// A number as written with decimalMark, read back.
inline double Number(const QString &field, QChar decimalMark = QLatin1Char('.'),
                     bool *ok = nullptr) {
    QString text = field;
    if (decimalMark != QLatin1Char('.')) text.replace(decimalMark, QLatin1Char('.'));
    return text.toDouble(ok);
}

} // namespace CsvText
