// sweep --fit: the taken points fitted to an equivalent circuit, as a JSON line for the data and
// a readable summary for standard error.
#pragma once

#include "fit/circuit_fit.h"
#include "fit/kramers_kronig.h"
#include "sweep/sweep_store.h"

#include <QByteArray>
#include <QString>

namespace Cli {

// The store's taken points fitted to the named model or "auto".
Fit::FitResult FitTakenPoints(const QString &modelName, const Main::SweepVariables &store,
                              const Fit::FitOptions &options = {});

// A fit and the Kramers-Kronig check of the same points, as reported together.
struct FitReport {
    Fit::FitResult fit;
    Fit::KramersKronigCheck kramersKronig;
};

FitReport FitAndCheck(const QString &modelName, const Fit::Sweep &sweep,
                      const Fit::FitOptions &options);

// {"fit": {..., "kramers_kronig": {...}}} and a line end, to follow the sweep's JSON lines.
QByteArray FitJsonLine(const FitReport &report);

// "fit: " and the summary's lines, then the Kramers-Kronig line, each ended.
QByteArray FitSummaryText(const FitReport &report);

// The exit status of a fit's verdict: ExitDone, ExitFitPoor or ExitFitRefused (invocation.h).
int FitExitCode(const Fit::FitResult &fit);

// The lines of the help texts of sweep --fit and fit on the exit status of a fit.
QString FitExitHelp();

} // namespace Cli
