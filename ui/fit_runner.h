// Runs an equivalent-circuit fit off the window's thread: a fit of a flat sweep by "auto" or of a
// circuit string with many starts takes longer than a tick, and the window keeps polling and
// drawing meanwhile. One fit at a time, with the busy cursor while it runs; its wording and
// residuals are made on the same thread, so the window only shows them.
#pragma once

#include "fit/circuit_fit.h"
#include "fit/fit_data.h"
#include "ui/fit_residuals.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <vector>

namespace Main {

struct FitOutcome {
    Fit::FitResult result;
    std::vector<FitResidual> residuals; // at the points the fit used
    QString text;                       // the window's wording (fit_text.h)
    int generation = 0;                 // FitRunner's at the start
};

// Fits name ("auto", a model's name or a circuit string) to sweep and words the result: the work
// of one fit, on any thread.
FitOutcome FitAndWord(const QString &name, const Fit::Sweep &sweep);

class FitRunner : public QObject {
    Q_OBJECT

public:
    explicit FitRunner(QObject *parent = nullptr);
    ~FitRunner() override;

    bool busy() const { return m_busy; }
    // Starts the fit on a pool thread; false, and nothing started, while another runs.
    bool start(const QString &name, const Fit::Sweep &sweep);
    // The fit running, if any, is of data no longer shown: its result is not delivered (it still
    // runs to its end, and busy() stays true until then).
    void forget() { ++m_generation; }

signals:
    // On the runner's thread, for each fit started and not forgotten.
    void finished(const Main::FitOutcome &outcome);

private:
    void done();

    QFutureWatcher<FitOutcome> m_watcher;
    bool m_busy = false;
    int m_generation = 0;
};

} // namespace Main
