// JSON and text forms of a fit.
#include "fit/fit_report.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Fit {

namespace {

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString Symbol(const char *unit) {
    const QString u = QString::fromLatin1(unit);
    return u == QLatin1String("ohm") ? QStringLiteral("\u03a9") : u;
}

QString Uncertainty(const ElementValue &e, const char *unit) {
    if (!std::isfinite(e.uncertainty)) return QStringLiteral("(not determined by the data)");
    return QStringLiteral("\u00b1 %1 (%2 %)")
        .arg(Engineering(e.uncertainty, Symbol(unit), 2))
        .arg(100.0 * e.uncertainty / e.value, 0, 'g', 2);
}

} // namespace

QString StatusName(FitStatus status) {
    switch (status) {
    case FitStatus::Ok:
        return QStringLiteral("ok");
    case FitStatus::NotConverged:
        return QStringLiteral("not_converged");
    case FitStatus::TooFewPoints:
        return QStringLiteral("too_few_points");
    case FitStatus::UnknownModel:
        return QStringLiteral("unknown_model");
    }
    return {};
}

QString Engineering(double value, const QString &unit, int significant) {
    if (!std::isfinite(value)) return QStringLiteral("%1 %2").arg(value).arg(unit);
    static const char *const Prefixes[] = {"f", "p", "n", "\u00b5", "m", "", "k", "M", "G", "T"};
    constexpr int Unprefixed = 5;
    int step = value == 0.0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value)) / 3.0));
    step = std::clamp(step, -Unprefixed, 9 - Unprefixed);
    const double scaled = value / std::pow(1000.0, step);
    const int whole = std::fabs(scaled) < 10.0 ? 1 : std::fabs(scaled) < 100.0 ? 2 : 3;
    return QStringLiteral("%1 %2%3")
        .arg(scaled, 0, 'f', std::max(0, significant - whole))
        .arg(QString::fromUtf8(Prefixes[step + Unprefixed]), unit);
}

QJsonObject FitToJson(const FitResult &fit) {
    QJsonObject o;
    const bool known = fit.status != FitStatus::UnknownModel;
    const ModelInfo &info = Info(fit.model);
    o[QStringLiteral("model")] = known ? QString::fromLatin1(info.name) : QString();
    o[QStringLiteral("circuit")] = known ? QString::fromLatin1(info.circuit) : QString();
    o[QStringLiteral("status")] = StatusName(fit.status);
    o[QStringLiteral("message")] = fit.message;
    o[QStringLiteral("points_used")] = fit.pointsUsed;
    o[QStringLiteral("points_left_out")] = fit.pointsLeftOut;
    QJsonObject elements;
    for (std::size_t i = 0; i < fit.elements.size(); ++i) {
        const ElementInfo &e = info.elements[i];
        elements[QString::fromLatin1(e.key)] =
            QJsonObject{{QStringLiteral("value"), Number(fit.elements[i].value)},
                        {QStringLiteral("uncertainty"), Number(fit.elements[i].uncertainty)},
                        {QStringLiteral("unit"), QString::fromLatin1(e.unit)}};
    }
    o[QStringLiteral("elements")] = elements;
    const bool fitted = !fit.elements.empty();
    o[QStringLiteral("rms_relative_residual")] =
        fitted ? Number(fit.rmsRelativeResidual) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("bic")] = fitted ? Number(fit.bic) : QJsonValue(QJsonValue::Null);
    QJsonObject derived;
    for (const DerivedFigure &d : fit.derived)
        derived[QString::fromLatin1(d.key)] =
            QJsonObject{{QStringLiteral("value"), Number(d.value)},
                        {QStringLiteral("unit"), QString::fromLatin1(d.unit)}};
    o[QStringLiteral("derived")] = derived;
    if (fit.automatic) {
        QJsonArray alternatives;
        for (const Alternative &a : fit.alternatives) {
            const bool scored = a.status == FitStatus::Ok || a.status == FitStatus::NotConverged;
            alternatives.append(QJsonObject{
                {QStringLiteral("model"), QString::fromLatin1(Info(a.model).name)},
                {QStringLiteral("status"), StatusName(a.status)},
                {QStringLiteral("bic"), scored ? Number(a.bic) : QJsonValue(QJsonValue::Null)},
                {QStringLiteral("rms"),
                 scored ? Number(a.rmsRelativeResidual) : QJsonValue(QJsonValue::Null)}});
        }
        o[QStringLiteral("alternatives")] = alternatives;
    }
    return o;
}

QString FitSummary(const FitResult &fit) {
    QStringList lines;
    if (fit.status == FitStatus::UnknownModel || fit.elements.empty()) return fit.message + '\n';
    const ModelInfo &info = Info(fit.model);
    lines << QStringLiteral("%1 (%2), %3 points, %4 left out%5")
                 .arg(QString::fromLatin1(info.name), QString::fromLatin1(info.circuit))
                 .arg(fit.pointsUsed)
                 .arg(fit.pointsLeftOut)
                 .arg(fit.status == FitStatus::Ok ? QString() : QStringLiteral(": NOT CONVERGED"));
    for (std::size_t i = 0; i < fit.elements.size(); ++i) {
        const ElementInfo &e = info.elements[i];
        lines << QStringLiteral("  %1 = %2 %3   %4")
                     .arg(QString::fromLatin1(e.key), -4)
                     .arg(Engineering(fit.elements[i].value, Symbol(e.unit)),
                          Uncertainty(fit.elements[i], e.unit), QString::fromLatin1(e.role));
    }
    for (const DerivedFigure &d : fit.derived)
        lines << QStringLiteral("  %1 = %2")
                     .arg(QString::fromLatin1(d.key), -4)
                     .arg(*d.unit ? Engineering(d.value, Symbol(d.unit))
                                  : QString::number(d.value, 'g', 5));
    lines << QStringLiteral("  RMS relative residual %1").arg(fit.rmsRelativeResidual, 0, 'g', 3);
    if (fit.automatic && !fit.alternatives.empty()) {
        QStringList others;
        for (const Alternative &a : fit.alternatives)
            others << (a.status == FitStatus::TooFewPoints
                           ? QStringLiteral("%1 (too few points)")
                                 .arg(QString::fromLatin1(Info(a.model).name))
                           : QStringLiteral("%1 BIC %2 rms %3")
                                 .arg(QString::fromLatin1(Info(a.model).name))
                                 .arg(a.bic, 0, 'f', 1)
                                 .arg(a.rmsRelativeResidual, 0, 'g', 2));
        lines << QStringLiteral("  chosen by the lowest BIC (%1); others: %2")
                     .arg(fit.bic, 0, 'f', 1)
                     .arg(others.join(QStringLiteral(", ")));
    }
    return lines.join('\n') + '\n';
}

} // namespace Fit
