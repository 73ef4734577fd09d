#include "exchange/any_file.h"

#include "exchange/impedance_csv.h"
#include "exchange/impedix_csv.h"
#include "exchange/text_input.h"
#include "exchange/touchstone.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

namespace Exchange {

SweepFileFormat DetectFormat(const QString &fileName, const QByteArray &text) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("s1p") || suffix == QLatin1String("ts"))
        return SweepFileFormat::Touchstone;
    if (LooksLikeImpedixCsv(text)) return SweepFileFormat::ImpedixCsv;
    LineReader lines(text);
    while (lines.next()) {
        const QByteArray trimmed = lines.line().trimmed();
        if (trimmed.isEmpty()) continue;
        if (trimmed.startsWith('#') || trimmed.startsWith('!')) return SweepFileFormat::Touchstone;
        break;
    }
    return SweepFileFormat::ImpedanceCsv;
}

QString FormatName(SweepFileFormat format) {
    switch (format) {
    case SweepFileFormat::ImpedixCsv:
        return QStringLiteral("Impedix sweep CSV");
    case SweepFileFormat::ImpedanceCsv:
        return QStringLiteral("frequency,Re Z,Im Z CSV");
    case SweepFileFormat::Touchstone:
        return QStringLiteral("Touchstone");
    }
    return QString();
}

ReadResult ReadAnySweepFile(const QString &path) {
    ReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.refusal = {0,
                          QStringLiteral("%1 cannot be opened: %2").arg(path, file.errorString())};
        return result;
    }
    std::optional<QByteArray> text = ReadBounded(file, &result.refusal);
    if (!text) return result;
    const SweepFileFormat format = DetectFormat(path, *text);
    QBuffer buffer(&*text);
    buffer.open(QIODevice::ReadOnly);
    switch (format) {
    case SweepFileFormat::ImpedixCsv:
        result = ReadImpedixCsv(buffer);
        break;
    case SweepFileFormat::ImpedanceCsv:
        result = ReadImpedanceCsv(buffer);
        break;
    case SweepFileFormat::Touchstone:
        result = ReadTouchstone(buffer);
        break;
    }
    if (!result.data)
        result.refusal.reason =
            QStringLiteral("Read as %1: %2").arg(FormatName(format), result.refusal.reason);
    return result;
}

} // namespace Exchange
