// The fit's verdict in the window's words.
#include "ui/fit_verdict_text.h"

#include "fit/fit_report.h"

#include <QStringList>

#include <cmath>
#include <vector>

namespace Main {

namespace {

QString Percent(double share) {
    return QString::number(100.0 * share, 'g', 2).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

QString FitVerdictLine(const Fit::FitResult &fit) {
    if (fit.verdict == Fit::Verdict::Refused) return QStringLiteral("Вывод: подбор невозможен.");
    if (fit.verdict == Fit::Verdict::Good) return QStringLiteral("Вывод: подбор надёжен.");
    QStringList why;
    if (fit.status != Fit::FitStatus::Ok) why << QStringLiteral("не сошёлся");
    if (!fit.describesData)
        why << (std::isfinite(fit.noiseEstimate)
                    ? QStringLiteral("схема не описывает данные (остаток %1 %, шум %2 %)")
                          .arg(Percent(fit.rmsRelativeResidual), Percent(fit.noiseEstimate))
                    : QStringLiteral("схема не описывает данные (остаток %1 %)")
                          .arg(Percent(fit.rmsRelativeResidual)));
    QStringList loose;
    const std::vector<Fit::ElementLabel> labels = Fit::ElementLabels(fit);
    for (std::size_t i = 0; i < fit.elements.size() && i < labels.size(); ++i)
        if (fit.elements[i].state == Fit::ElementState::Undetermined) loose << labels[i].key;
    if (!loose.isEmpty())
        why << QStringLiteral("не определены: %1").arg(loose.join(QStringLiteral(", ")));
    return QStringLiteral("Вывод: подбор ненадёжен: %1.").arg(why.join(QStringLiteral("; ")));
}

} // namespace Main
