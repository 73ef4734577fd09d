// JSON and text forms of the Kramers–Kronig check.
#include "fit/kramers_kronig_report.h"

#include <cmath>

namespace Fit {

namespace {

QJsonValue Number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

QString Percent(double share) {
    return QString::number(100.0 * share, 'g', 2);
}

QString PercentRu(double share) {
    return Percent(share).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

KramersKronigCheck CheckWithFit(const Sweep &sweep, const FitResult &fit) {
    KramersKronigCheck check = CheckKramersKronig(sweep);
    if (check.checked && !check.consistent && fit.status == FitStatus::Ok && fit.describesData) {
        check.consistent = true;
        check.byCircuit = true;
    }
    return check;
}

QJsonObject KramersKronigToJson(const KramersKronigCheck &c) {
    const auto figure = [&c](double value) {
        return c.checked ? Number(value) : QJsonValue(QJsonValue::Null);
    };
    return QJsonObject{
        {QStringLiteral("checked"), c.checked},
        {QStringLiteral("consistent"), c.checked ? QJsonValue(c.consistent) : QJsonValue()},
        {QStringLiteral("by_circuit"), c.checked ? QJsonValue(c.byCircuit) : QJsonValue()},
        {QStringLiteral("elements"), c.checked ? QJsonValue(c.elements) : QJsonValue()},
        {QStringLiteral("mu"), figure(c.mu)},
        {QStringLiteral("rms_residual"), figure(c.rmsResidual)},
        {QStringLiteral("max_residual"), figure(c.maxResidual)},
        {QStringLiteral("rms_real"), figure(c.rmsReal)},
        {QStringLiteral("rms_imag"), figure(c.rmsImag)},
        {QStringLiteral("max_real"), figure(c.maxReal)},
        {QStringLiteral("max_imag"), figure(c.maxImag)},
        {QStringLiteral("noise_estimate"), figure(c.noiseEstimate)},
        {QStringLiteral("points_used"), c.pointsUsed},
    };
}

QString KramersKronigLine(const KramersKronigCheck &c) {
    if (!c.checked)
        return QStringLiteral("Kramers-Kronig: not checked (%1 usable points, at least %2 needed)")
            .arg(c.pointsUsed)
            .arg(KramersKronigLeastPoints);
    return QStringLiteral("Kramers-Kronig: %1 (M = %2, mu = %3; residual RMS %4 %, max %5 %)")
        .arg(c.byCircuit    ? QStringLiteral("consistent: the fitted circuit describes the data, a "
                                                "resonance sharper than the RC elements follow")
             : c.consistent ? QStringLiteral("consistent")
                            : QStringLiteral("NOT consistent: the part or the setup changed during "
                                             "the sweep, the part is not linear, or a resonance is "
                                             "sharper than the points resolve"))
        .arg(c.elements)
        .arg(c.mu, 0, 'f', 2)
        .arg(Percent(c.rmsResidual), Percent(c.maxResidual));
}

QString KramersKronigLineRu(const KramersKronigCheck &c) {
    if (!c.checked)
        return QStringLiteral("Крамерс–Крониг: не проверено (мало точек: %1).").arg(c.pointsUsed);
    return QStringLiteral("Крамерс–Крониг: %1 (M = %2, μ = %3; остаток %4 %, наибольший %5 %).")
        .arg(c.byCircuit    ? QStringLiteral("данные согласованы: их описывает подобранная схема, "
                                                "резонанс острее, чем следуют RC-элементы")
             : c.consistent ? QStringLiteral("данные согласованы")
                            : QStringLiteral("данные не согласованы — деталь или условия "
                                             "менялись во время развёртки, деталь нелинейна или "
                                             "резонанс острее шага точек"))
        .arg(c.elements)
        .arg(QString::number(c.mu, 'f', 2).replace(QLatin1Char('.'), QLatin1Char(',')))
        .arg(PercentRu(c.rmsResidual), PercentRu(c.maxResidual));
}

} // namespace Fit
