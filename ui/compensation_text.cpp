// Texts of the compensation panel and the status bar.
#include "ui/compensation_text.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace Main {

namespace {

// 1 точка, 2 точки, 5 точек, 11 точек, 21 точка.
QString Points(std::size_t count) {
    const std::size_t tens = count % 100;
    const std::size_t ones = count % 10;
    const char *word = "точек";
    if (tens < 11 || tens > 14) {
        if (ones == 1)
            word = "точка";
        else if (ones >= 2 && ones <= 4)
            word = "точки";
    }
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromUtf8(word));
}

std::optional<double> ReadNumber(QString text) {
    text = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

} // namespace

QString CompensationStatus(unsigned enabled, unsigned usable, bool outside) {
    if (enabled == Comp::NoCorrection) return QString();
    QStringList kinds;
    if (usable & Comp::OpenCorrection) kinds << QStringLiteral("ХХ");
    if (usable & Comp::ShortCorrection) kinds << QStringLiteral("КЗ");
    if (usable & Comp::LoadCorrection) kinds << QStringLiteral("Н");
    QString text = QStringLiteral("Компенсация: ") +
                   (kinds.isEmpty() ? QStringLiteral("нет данных") : kinds.join(QLatin1Char('+')));
    if (outside && !kinds.isEmpty()) text += QStringLiteral(", вне диапазона");
    return text;
}

QString NumberText(double value) {
    return QString::number(value, 'g', 7).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString FrequencyText(double hz) {
    static const char *const units[] = {"Гц", "кГц", "МГц", "ГГц"};
    int unit = 0;
    while (std::fabs(hz) >= 1000.0 && unit < 3) {
        hz /= 1000.0;
        ++unit;
    }
    return QString::number(hz, 'g', 4).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QLatin1Char(' ') + QString::fromUtf8(units[unit]);
}

QString TraceSummary(const Comp::Trace &trace) {
    if (trace.empty()) return QStringLiteral("нет данных");
    const QString first = FrequencyText(trace.hz.front());
    if (trace.hz.size() == 1) return Points(1) + QStringLiteral(": ") + first;
    return QStringLiteral("%1: %2 … %3")
        .arg(Points(trace.hz.size()), first, FrequencyText(trace.hz.back()));
}

std::optional<Comp::LoadStandard> ReadLoadStandard(const QString &resistance,
                                                   const QString &reactance) {
    const std::optional<double> r = ReadNumber(resistance);
    const std::optional<double> x = reactance.trimmed().isEmpty() ? 0.0 : ReadNumber(reactance);
    if (!r || !x) return std::nullopt;
    Comp::LoadStandard standard;
    standard.form = Comp::LoadStandard::Form::ResistanceReactance;
    standard.first = *r;
    standard.second = *x;
    if (!standard.valid()) return std::nullopt;
    return standard;
}

} // namespace Main
