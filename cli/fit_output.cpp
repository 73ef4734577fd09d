// The fit of a sweep run for the command line.
#include "cli/fit_output.h"

#include "fit/fit_report.h"
#include "fit/sweep_points.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Cli {

Fit::FitResult FitTakenPoints(const QString &modelName, const Main::SweepVariables &store) {
    return Fit::FitByName(modelName, Fit::SweepFromStore(store));
}

QByteArray FitJsonLine(const Fit::FitResult &fit) {
    const QJsonObject line{{QStringLiteral("fit"), Fit::FitToJson(fit)}};
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray FitSummaryText(const Fit::FitResult &fit) {
    QString text = Fit::FitSummary(fit);
    if (!text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    return QStringLiteral("fit: ").toUtf8() + text.toUtf8();
}

} // namespace Cli
