#include "exchange/text_input.h"

#include <QIODevice>
#include <QString>

#include <cmath>

namespace Exchange {

std::optional<QByteArray> ReadBounded(QIODevice &device, Refusal *refusal) {
    if (!device.isOpen() || !device.isReadable()) {
        *refusal = {0, QStringLiteral("The file cannot be read.")};
        return std::nullopt;
    }
    const QByteArray text = device.read(MaxFileBytes + 1);
    if (text.size() > MaxFileBytes) {
        *refusal = {0, QStringLiteral("The file is larger than 16 MiB.")};
        return std::nullopt;
    }
    if (text.contains('\0')) {
        *refusal = {0, QStringLiteral("The file is not text: it holds NUL bytes.")};
        return std::nullopt;
    }
    return text;
}

bool LineReader::next() {
    if (m_start >= m_text.size()) return false;
    qsizetype end = m_text.indexOf('\n', m_start);
    if (end < 0) end = m_text.size();
    m_line = m_text.mid(m_start, end - m_start);
    if (m_line.endsWith('\r')) m_line.chop(1);
    m_start = end + 1;
    ++m_number;
    return true;
}

std::optional<double> ParseNumber(QByteArrayView field) {
    const QByteArrayView trimmed = field.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool ok = false;
    const double value = QString::fromLatin1(trimmed).toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

QByteArray ExactNumber(double value) {
    return QByteArray::number(value, 'g', 17);
}

WriteResult WriteFailed(const QIODevice &device) {
    WriteResult result;
    result.refusal = {
        0, QStringLiteral("The file could not be written: %1").arg(device.errorString())};
    return result;
}

WriteResult WriteAll(QIODevice &device, const QByteArray &text) {
    if (device.write(text) != text.size()) return WriteFailed(device);
    WriteResult result;
    result.written = true;
    return result;
}

} // namespace Exchange
