// Measurement-frame fields written over what the meter measured, and their text form.
#include "sim/frame_override.h"

#include "sim/protocol.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace Sim {

namespace {

void putFloat(QByteArray &frame, int at, float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToBigEndian(bits, frame.data() + at);
}

// A whole number, decimal or with a 0x prefix (hexadecimal), optionally negative.
std::optional<qint64> wholeNumber(const QString &text) {
    static const QRegularExpression form(QStringLiteral("^(-?)(?:0[xX]([0-9A-Fa-f]+)|([0-9]+))$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return std::nullopt;
    bool ok = false;
    const qint64 value = match.captured(2).isEmpty() ? match.captured(3).toLongLong(&ok, 10)
                                                     : match.captured(2).toLongLong(&ok, 16);
    if (!ok) return std::nullopt;
    return match.captured(1).isEmpty() ? value : -value;
}

bool readFrequency(const QString &value, FrameOverride &fields, QString *why) {
    const std::optional<qint64> hz = wholeNumber(value);
    if (!hz || *hz < std::numeric_limits<qint32>::min() ||
        *hz > std::numeric_limits<quint32>::max()) {
        *why = QStringLiteral("frequency needs a whole number of 32 bits, not '%1'").arg(value);
        return false;
    }
    fields.frequency = quint32(*hz);
    return true;
}

bool readBias(const QString &value, int stepMillivolts, FrameOverride &fields, QString *why) {
    const bool millivolts = value.endsWith(QLatin1String("mV"), Qt::CaseInsensitive);
    const std::optional<qint64> number = wholeNumber(millivolts ? value.chopped(2) : value);
    if (!number || *number < 0) {
        *why =
            QStringLiteral("bias needs 0 to 0xFFFF, or millivolts as 1500mV, not '%1'").arg(value);
        return false;
    }
    qint64 units = *number;
    if (millivolts) {
        if (stepMillivolts <= 0 || units % stepMillivolts != 0) {
            *why = QStringLiteral("bias %1 is no whole number of the model's %2 mV steps")
                       .arg(value)
                       .arg(stepMillivolts);
            return false;
        }
        units /= stepMillivolts;
    }
    if (units > 0xFFFF) {
        *why = QStringLiteral("bias %1 does not fit the 16-bit field").arg(value);
        return false;
    }
    fields.biasUnits = quint16(units);
    return true;
}

bool readFloat(const QString &name, const QString &value, std::optional<float> &into,
               QString *why) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    // A finite number beyond the float range has no float field; inf and nan are kept.
    const bool fits = ok && (!(std::abs(number) <= std::numeric_limits<double>::max()) ||
                             std::abs(number) <= std::numeric_limits<float>::max());
    if (!fits) {
        *why = QStringLiteral("%1 needs a single-precision number, not '%2'").arg(name, value);
        return false;
    }
    into = float(number);
    return true;
}

bool readField(const QString &name, const QString &value, int stepMillivolts, FrameOverride &fields,
               QString *why) {
    if (name == QLatin1String("frequency")) return readFrequency(value, fields, why);
    if (name == QLatin1String("bias")) return readBias(value, stepMillivolts, fields, why);
    if (name == QLatin1String("magnitude")) return readFloat(name, value, fields.magnitude, why);
    if (name == QLatin1String("phase")) return readFloat(name, value, fields.phase, why);
    *why =
        QStringLiteral("unknown frame field '%1' (frequency, bias, magnitude or phase)").arg(name);
    return false;
}

std::optional<FrameOption> parse(const QString &text, int stepMillivolts, QString *why) {
    FrameOption option;
    QString list = text;
    const int at = int(text.lastIndexOf(QLatin1Char('@')));
    if (at >= 0) {
        list = text.left(at);
        const QString count = text.mid(at + 1).trimmed();
        bool ok = false;
        option.replies = count.toInt(&ok);
        if (!ok || option.replies < 1) {
            *why = QStringLiteral("the count after @ needs a whole number from 1, not '%1'")
                       .arg(count);
            return std::nullopt;
        }
    }
    QStringList seen;
    for (const QString &item : list.split(QLatin1Char(','))) {
        const int equals = int(item.indexOf(QLatin1Char('=')));
        const QString name = item.left(equals).trimmed().toLower();
        if (equals < 0 || name.isEmpty()) {
            *why = QStringLiteral("frame field '%1' needs NAME=VALUE").arg(item.trimmed());
            return std::nullopt;
        }
        if (seen.contains(name)) {
            *why = QStringLiteral("frame field '%1' given twice").arg(name);
            return std::nullopt;
        }
        seen << name;
        if (!readField(name, item.mid(equals + 1).trimmed(), stepMillivolts, option.fields, why))
            return std::nullopt;
    }
    return option;
}

} // namespace

bool isMeasurementReply(const QByteArray &request, const QByteArray &reply) {
    return request.size() >= 2 && quint8(request[1]) == Command::ReadMeasurement &&
           reply.size() == MeasurementReplyLength;
}

QByteArray applyOverride(const FrameOverride &fields, QByteArray reply) {
    if (reply.size() != MeasurementReplyLength) return reply;
    if (fields.biasUnits) qToBigEndian(*fields.biasUnits, reply.data() + 6);
    if (fields.frequency) qToBigEndian(*fields.frequency, reply.data() + 8);
    if (fields.magnitude) putFloat(reply, 12, *fields.magnitude);
    if (fields.phase) putFloat(reply, 16, *fields.phase);
    return reply;
}

std::optional<FrameOption> parseFrameOption(const QString &text, int biasStepMillivolts,
                                            QString *error) {
    QString why;
    std::optional<FrameOption> option = parse(text, biasStepMillivolts, &why);
    if (!option && error) *error = why;
    return option;
}

} // namespace Sim
