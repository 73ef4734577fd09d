// The fit off the window's thread.
#include "ui/fit_runner.h"

#include "fit/kramers_kronig_report.h"
#include "ui/fit_text.h"

#include <QCursor>
#include <QGuiApplication>
#include <QtConcurrent/QtConcurrentRun>

namespace Main {

FitOutcome FitAndWord(const QString &name, const Fit::Sweep &sweep) {
    FitOutcome outcome;
    outcome.result = Fit::FitByName(name, sweep);
    outcome.residuals = FitResiduals(outcome.result, sweep);
    outcome.text = FitText(outcome.result) + QLatin1Char('\n') +
                   Fit::KramersKronigLineRu(Fit::CheckWithFit(sweep, outcome.result));
    return outcome;
}

FitRunner::FitRunner(QObject *parent) : QObject(parent) {
    connect(&m_watcher, &QFutureWatcher<FitOutcome>::finished, this, [this] { done(); });
}

FitRunner::~FitRunner() {
    // The pool's thread works on its own copies; its result goes nowhere.
    if (m_busy) QGuiApplication::restoreOverrideCursor();
}

bool FitRunner::start(const QString &name, const Fit::Sweep &sweep) {
    if (m_busy) return false;
    m_busy = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    const int generation = m_generation;
    m_watcher.setFuture(QtConcurrent::run([name, sweep, generation] {
        FitOutcome outcome = FitAndWord(name, sweep);
        outcome.generation = generation;
        return outcome;
    }));
    return true;
}

void FitRunner::done() {
    m_busy = false;
    QGuiApplication::restoreOverrideCursor();
    const FitOutcome outcome = m_watcher.result();
    if (outcome.generation == m_generation) emit finished(outcome);
}

} // namespace Main
