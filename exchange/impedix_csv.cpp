#include "exchange/impedix_csv.h"

#include "exchange/text_input.h"
#include "export/sweep_csv.h"
#include "sweep/sweep_store.h"

#include <QIODevice>

#include <cmath>
#include <limits>

namespace Exchange {

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

// The fields of one record, quotes taken off; false for an unterminated quote.
bool SplitRecord(const QByteArray &line, char separator, QList<QByteArray> *fields) {
    fields->clear();
    QByteArray field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator) {
            fields->append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields->append(field);
    return !quoted;
}

struct Columns {
    int planned = -1;
    int reportedBias = -1;
    int magnitude = -1;
    int phase = -1;
    int frequency = -1;
    int status = -1;
    Sweep::Quantity quantity = Sweep::Quantity::Frequency;
};

Columns FindColumns(const QList<QByteArray> &header) {
    Columns c;
    c.planned = header.indexOf("planned frequency (Hz)");
    if (header.contains("planned bias (V)")) {
        c.quantity = Sweep::Quantity::Bias;
        c.planned = header.indexOf("planned bias (V)");
    } else if (header.contains("planned level (V)")) {
        c.quantity = Sweep::Quantity::Level;
        c.planned = header.indexOf("planned level (V)");
    }
    c.reportedBias = header.indexOf("reported bias (V)");
    c.magnitude = header.indexOf("raw |Z| (Ohm)");
    c.phase = header.indexOf("raw theta (rad)");
    c.frequency = header.indexOf("raw frequency (Hz)");
    c.status = header.indexOf("status");
    return c;
}

} // namespace

bool LooksLikeImpedixCsv(const QByteArray &text) {
    const QByteArray start = text.startsWith(Bom) ? text.mid(Bom.size(), 6) : text.left(6);
    return start == "point," || start == "point;";
}

ReadResult ReadImpedixCsv(QIODevice &device) {
    ReadResult result;
    std::optional<QByteArray> text = ReadBounded(device, &result.refusal);
    if (!text) return result;
    if (text->startsWith(Bom)) text->remove(0, Bom.size());
    if (!LooksLikeImpedixCsv(*text)) {
        result.refusal = {1, QStringLiteral("The header does not start with \"point\".")};
        return result;
    }
    const char separator = text->at(5);
    const char decimalMark = separator == ';' ? ',' : '.';
    LineReader lines(*text);
    lines.next();
    QList<QByteArray> header;
    SplitRecord(lines.line(), separator, &header);
    const Columns columns = FindColumns(header);
    if (columns.planned < 0 || columns.magnitude < 0 || columns.phase < 0 ||
        columns.frequency < 0) {
        result.refusal = {1, QStringLiteral("The header lacks a planned or a raw column.")};
        return result;
    }
    const auto number = [decimalMark](QByteArray field) {
        if (decimalMark != '.') field.replace(decimalMark, '.');
        return ParseNumber(field);
    };
    SweepData data;
    data.quantity = columns.quantity;
    QList<QByteArray> fields;
    while (lines.next()) {
        const int line = lines.number();
        if (lines.line().trimmed().isEmpty()) continue;
        if (!SplitRecord(lines.line(), separator, &fields) || fields.size() != header.size()) {
            result.refusal = {line, QStringLiteral("The record has %1 fields, the header %2.")
                                        .arg(fields.size())
                                        .arg(header.size())};
            return result;
        }
        SweepPoint p;
        if (columns.status >= 0) {
            bool ok = false;
            p.status = fields[columns.status].trimmed().toInt(&ok);
            if (!ok) {
                result.refusal = {line, QStringLiteral("The status is not a whole number.")};
                return result;
            }
        }
        const std::optional<double> planned = number(fields[columns.planned]);
        const std::optional<double> hz = number(fields[columns.frequency]);
        std::optional<double> magnitude = number(fields[columns.magnitude]);
        std::optional<double> phase = number(fields[columns.phase]);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        if (p.status != 0) {
            if (!magnitude && fields[columns.magnitude].trimmed().isEmpty()) magnitude = nan;
            if (!phase && fields[columns.phase].trimmed().isEmpty()) phase = nan;
        }
        if (!planned || !hz || !magnitude || !phase) {
            result.refusal = {line,
                              QStringLiteral("A planned or raw value is not a finite number.")};
            return result;
        }
        p.planned = *planned;
        p.frequency = *hz;
        p.magnitude = *magnitude;
        p.phase = *phase;
        if (columns.reportedBias >= 0) {
            const std::optional<double> bias = number(fields[columns.reportedBias]);
            if (!bias) {
                result.refusal = {line, QStringLiteral("The reported bias is not a number.")};
                return result;
            }
            p.bias = *bias;
        }
        data.points.push_back(p);
    }
    if (data.points.empty()) {
        result.refusal = {0, QStringLiteral("The table holds no point.")};
        return result;
    }
    result.data = std::move(data);
    return result;
}

WriteResult WriteImpedixCsv(QIODevice &device, const SweepData &data, Export::CsvDialect dialect) {
    WriteResult result;
    const std::optional<Main::SweepVariables> store = ToStore(data);
    if (!store) {
        result.refusal = {0, QStringLiteral("A sweep table holds 1 to %1 points, this sweep %2.")
                                 .arg(Main::SweepCapacity)
                                 .arg(data.points.size())};
        return result;
    }
    if (!Export::WriteSweepCsv(&device, *store, dialect)) return WriteFailed(device);
    result.written = true;
    return result;
}

} // namespace Exchange
