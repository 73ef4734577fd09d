// The fit of a sweep run for the command line.
#include "cli/fit_output.h"

#include "cli/invocation.h"
#include "fit/fit_report.h"
#include "fit/kramers_kronig_report.h"
#include "fit/sweep_points.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Cli {

Fit::FitResult FitTakenPoints(const QString &modelName, const Main::SweepVariables &store,
                              const Fit::FitOptions &options) {
    return Fit::FitByName(modelName, Fit::SweepFromStore(store), options);
}

FitReport FitAndCheck(const QString &modelName, const Fit::Sweep &sweep,
                      const Fit::FitOptions &options) {
    Fit::FitResult fit = Fit::FitByName(modelName, sweep, options);
    Fit::KramersKronigCheck check = Fit::CheckWithFit(sweep, fit);
    return {std::move(fit), check};
}

QByteArray FitJsonLine(const FitReport &report) {
    QJsonObject fit = Fit::FitToJson(report.fit);
    fit[QStringLiteral("kramers_kronig")] = Fit::KramersKronigToJson(report.kramersKronig);
    const QJsonObject line{{QStringLiteral("fit"), fit}};
    return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray FitSummaryText(const FitReport &report) {
    QString text = Fit::FitSummary(report.fit);
    if (!text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    text += Fit::KramersKronigLine(report.kramersKronig) + QLatin1Char('\n');
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
        "points at different frequencies, or a fixed or bounded element the model lacks).\n"
        "Each fit is followed by the Kramers-Kronig check of the same points (whether they can\n"
        "come from a linear part that did not change during the sweep); it does not change the\n"
        "exit status.\n\n");
}

} // namespace Cli
