#include "sim/part_file.h"

#include "sim/component.h"
#include "sim/models.h"

#include <QSaveFile>

#include <cmath>
#include <complex>

namespace Sim {

QByteArray partTable(const Options &options) {
    const ModelInfo &info = model(options.modelRow);
    const double low = info.lowestHz;
    const double high = info.highestHz;
    const int points = 1 + static_cast<int>(std::floor(20.0 * std::log10(high / low) + 1e-9));
    QByteArray text;
    for (int i = 0; i < points; ++i) {
        const double hz = std::min(high, low * std::pow(10.0, i / 20.0));
        const Impedance z = impedanceAt(options.dut, hz);
        const std::complex<double> c = std::polar(z.magnitude, z.theta);
        text += QByteArray::number(hz, 'g', 17) + ',' + QByteArray::number(c.real(), 'g', 17) +
                ',' + QByteArray::number(c.imag(), 'g', 17) + '\n';
    }
    return text;
}

bool writePartFile(const Options &options, const QString &path, QString *why) {
    QSaveFile file(path);
    const QByteArray text = partTable(options);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    *why = QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString());
    return false;
}

} // namespace Sim
