// The fit of a sweep run for the command line.
#include "cli/fit_output.h"

#include "cli/invocation.h"
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

int FitExitCode(const Fit::FitResult &fit) {
    switch (fit.verdict) {
    case Fit::Verdict::Good:
        return ExitDone;
    case Fit::Verdict::Poor:
        return ExitFitPoor;
    case Fit::Verdict::Refused:
        break;
    }
    return ExitFitRefused;
}

QString FitExitHelp() {
    return QStringLiteral(
        "A fit's verdict: good when the model describes the data (its RMS relative residual\n"
        "is within three times the noise the sweep shows point to point, or under 0.3 %),\n"
        "every element not held at a bound is at least three of its standard uncertainties,\n"
        "and the solver converged. Elements too small or too large to affect the data are\n"
        "shown as such; resonances outside the measured span are not given as numbers.\n"
        "Exit status of the fit, when the run itself ended 0: 0 a good fit; 12 a poor one\n"
        "(not to be trusted: see its verdict line); 13 no fit could be made (too few usable\n"
        "points at different frequencies).\n\n");
}

} // namespace Cli
