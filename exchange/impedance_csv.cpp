#include "exchange/impedance_csv.h"

#include "exchange/text_input.h"

#include <QIODevice>

#include <cmath>
#include <complex>

namespace Exchange {

ReadResult ReadImpedanceCsv(QIODevice &device) {
    ReadResult result;
    const std::optional<QByteArray> text = ReadBounded(device, &result.refusal);
    if (!text) return result;
    SweepData data;
    LineReader lines(*text);
    while (lines.next()) {
        const int number = lines.number();
        if (lines.line().trimmed().isEmpty()) continue;
        const QList<QByteArray> fields = lines.line().split(',');
        if (fields.size() != 3) {
            result.refusal = {
                number,
                QStringLiteral("Expected 3 comma-separated values, found %1.").arg(fields.size())};
            return result;
        }
        const std::optional<double> hz = ParseNumber(fields[0]);
        const std::optional<double> re = ParseNumber(fields[1]);
        const std::optional<double> im = ParseNumber(fields[2]);
        if (!hz || !re || !im) {
            result.refusal = {number, QStringLiteral("A value is not a finite number.")};
            return result;
        }
        const std::complex<double> z(*re, *im);
        const double magnitude = std::abs(z);
        if (!std::isfinite(magnitude)) {
            result.refusal = {number, QStringLiteral("The impedance is too large.")};
            return result;
        }
        SweepPoint p;
        p.planned = *hz;
        p.frequency = *hz;
        p.magnitude = magnitude;
        p.phase = std::arg(z);
        data.points.push_back(p);
    }
    if (data.points.empty()) {
        result.refusal = {0, QStringLiteral("The file holds no point.")};
        return result;
    }
    result.data = std::move(data);
    return result;
}

WriteResult WriteImpedanceCsv(QIODevice &device, const SweepData &data) {
    WriteResult result;
    QByteArray text;
    for (std::size_t i = 0; i < data.points.size(); ++i) {
        const SweepPoint &p = data.points[i];
        if (p.status != 0) continue;
        const std::complex<double> z = Impedance(p);
        if (!std::isfinite(p.frequency) || !std::isfinite(z.real()) || !std::isfinite(z.imag())) {
            result.refusal = {0, QStringLiteral("Point %1 is not finite.").arg(i + 1)};
            return result;
        }
        text += ExactNumber(p.frequency) + ',' + ExactNumber(z.real()) + ',' +
                ExactNumber(z.imag()) + '\n';
    }
    return WriteAll(device, text);
}

} // namespace Exchange
