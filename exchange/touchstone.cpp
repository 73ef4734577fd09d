#include "exchange/touchstone.h"

#include "exchange/text_input.h"

#include <QIODevice>

#include <cmath>
#include <limits>

namespace Exchange {

namespace {

constexpr double WrittenReference = 50.0;
constexpr double Degree = 3.14159265358979323846 / 180.0;

// Applies the option line's fields to options; the refusal's reason when a field is unknown.
QString ApplyOptions(const QList<QByteArray> &fields, TouchstoneOptions *options) {
    for (int i = 1; i < fields.size(); ++i) {
        const QByteArray field = fields[i].toUpper();
        if (field == "HZ")
            options->hertzPerUnit = 1.0;
        else if (field == "KHZ")
            options->hertzPerUnit = 1e3;
        else if (field == "MHZ")
            options->hertzPerUnit = 1e6;
        else if (field == "GHZ")
            options->hertzPerUnit = 1e9;
        else if (field == "S")
            options->parameter = TouchstoneParameter::S;
        else if (field == "Y")
            options->parameter = TouchstoneParameter::Y;
        else if (field == "Z")
            options->parameter = TouchstoneParameter::Z;
        else if (field == "RI")
            options->format = TouchstoneFormat::RealImaginary;
        else if (field == "MA")
            options->format = TouchstoneFormat::MagnitudeAngle;
        else if (field == "DB")
            options->format = TouchstoneFormat::DecibelAngle;
        else if (field == "R") {
            const std::optional<double> ohms =
                i + 1 < fields.size() ? ParseNumber(fields[i + 1]) : std::nullopt;
            if (!ohms || *ohms <= 0.0)
                return QStringLiteral("The reference after R must be a positive number of ohms.");
            options->reference = *ohms;
            ++i;
        } else {
            return QStringLiteral("Unknown option \"%1\" (only S, Y and Z of a one-port are read).")
                .arg(QString::fromLatin1(fields[i].left(20)));
        }
    }
    return QString();
}

// Whitespace-separated fields of line, its comment cut off.
QList<QByteArray> Fields(const QByteArray &line) {
    const int bang = line.indexOf('!');
    const QByteArray text = (bang >= 0 ? line.left(bang) : line).simplified();
    return text.isEmpty() ? QList<QByteArray>() : text.split(' ');
}

void AddComment(QByteArray *text, const QString &label, const QString &value) {
    if (value.isEmpty()) return;
    for (const QString &line : value.split(QLatin1Char('\n')))
        *text += "! " + label.toUtf8() + ": " + line.trimmed().toUtf8() + '\n';
}

} // namespace

std::complex<double> TouchstoneImpedance(const TouchstoneOptions &options, double a, double b) {
    std::complex<double> value;
    switch (options.format) {
    case TouchstoneFormat::RealImaginary:
        value = {a, b};
        break;
    case TouchstoneFormat::MagnitudeAngle:
        value = Phasor(a, b * Degree);
        break;
    case TouchstoneFormat::DecibelAngle:
        value = Phasor(std::pow(10.0, a / 20.0), b * Degree);
        break;
    }
    const double r = options.reference;
    const double inf = std::numeric_limits<double>::infinity();
    switch (options.parameter) {
    case TouchstoneParameter::Z:
        return value * r;
    case TouchstoneParameter::Y:
        if (value == 0.0) return {inf, inf};
        return r / value;
    case TouchstoneParameter::S:
        if (value == 1.0) return {inf, inf};
        return r * (1.0 + value) / (1.0 - value);
    }
    return {inf, inf};
}

ReadResult ReadTouchstone(QIODevice &device) {
    ReadResult result;
    const std::optional<QByteArray> text = ReadBounded(device, &result.refusal);
    if (!text) return result;
    TouchstoneOptions options;
    bool optionsSeen = false;
    SweepData data;
    LineReader lines(*text);
    while (lines.next()) {
        const int number = lines.number();
        const QList<QByteArray> fields = Fields(lines.line());
        if (fields.isEmpty()) continue;
        if (fields[0].startsWith('#')) {
            if (optionsSeen || !data.points.empty()) {
                result.refusal = {number, optionsSeen
                                              ? QStringLiteral("A second option line.")
                                              : QStringLiteral("The option line follows data.")};
                return result;
            }
            optionsSeen = true;
            QList<QByteArray> optionFields = fields;
            if (fields[0].size() > 1) optionFields.insert(1, fields[0].mid(1));
            const QString unknown = ApplyOptions(optionFields, &options);
            if (!unknown.isEmpty()) {
                result.refusal = {number, unknown};
                return result;
            }
            continue;
        }
        if (fields.size() != 3) {
            result.refusal = {number,
                              QStringLiteral("A one-port data line holds 3 values, this one %1.")
                                  .arg(fields.size())};
            return result;
        }
        const std::optional<double> f = ParseNumber(fields[0]);
        const std::optional<double> a = ParseNumber(fields[1]);
        const std::optional<double> b = ParseNumber(fields[2]);
        if (!f || !a || !b) {
            result.refusal = {number, QStringLiteral("A value is not a finite number.")};
            return result;
        }
        const double hz = *f * options.hertzPerUnit;
        if (!std::isfinite(hz) || hz < 0.0) {
            result.refusal = {number, QStringLiteral("The frequency is out of range.")};
            return result;
        }
        if (!data.points.empty() && hz <= data.points.back().frequency) {
            result.refusal = {number, QStringLiteral("The frequency does not rise.")};
            return result;
        }
        const std::complex<double> z = TouchstoneImpedance(options, *a, *b);
        const double magnitude = std::abs(z);
        if (!std::isfinite(magnitude)) {
            result.refusal = {number,
                              QStringLiteral("No finite impedance follows from the values.")};
            return result;
        }
        SweepPoint p;
        p.planned = hz;
        p.frequency = hz;
        p.magnitude = magnitude;
        p.phase = std::arg(z);
        data.points.push_back(p);
    }
    if (data.points.empty()) {
        result.refusal = {0, QStringLiteral("The file holds no data line.")};
        return result;
    }
    result.data = std::move(data);
    return result;
}

WriteResult WriteTouchstone(QIODevice &device, const SweepData &data) {
    WriteResult result;
    if (data.quantity != Sweep::Quantity::Frequency) {
        result.refusal = {0, QStringLiteral("A bias or level run holds one frequency; Touchstone "
                                            "needs rising frequencies.")};
        return result;
    }
    QByteArray text;
    AddComment(&text, QStringLiteral("name"), data.name);
    AddComment(&text, QStringLiteral("model"), data.model);
    AddComment(&text, QStringLiteral("notes"), data.notes);
    text += "# Hz Z RI R 50\n";
    double last = -1.0;
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const SweepPoint &p = data.points[i];
        if (p.status != 0) continue;
        if (!std::isfinite(p.frequency) || p.frequency <= last) {
            result.refusal = {0, QStringLiteral("Point %1: the frequencies must rise.").arg(i + 1)};
            return result;
        }
        last = p.frequency;
        const std::complex<double> z = Impedance(p) / WrittenReference;
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) {
            result.refusal = {0,
                              QStringLiteral("Point %1: the impedance is not finite.").arg(i + 1)};
            return result;
        }
        text += ExactNumber(p.frequency) + ' ' + ExactNumber(z.real()) + ' ' +
                ExactNumber(z.imag()) + '\n';
    }
    return WriteAll(device, text);
}

} // namespace Exchange
