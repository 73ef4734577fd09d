// correct: the fixture measured open, shorted or with its load standard on the found meter, and
// kept in the fixture's file beside what it held of the other kinds.
#include "cli/commands.h"

#include "cli/fixture_use.h"
#include "cli/progress.h"
#include "cli/run_watch.h"
#include "compensation/compensation_file.h"
#include "core/main_state.h"
#include "core/session.h"
#include "launch/stop_signals.h"
#include "link/models.h"
#include "link/serial_link.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace Cli {

namespace {

const Comp::Trace &TraceOf(const Comp::Compensation &c, Comp::Kind kind) {
    return kind == Comp::OpenCorrection    ? c.open
           : kind == Comp::ShortCorrection ? c.shorted
                                           : c.load;
}

QString KindName(Comp::Kind kind) {
    return Comp::CorrectionName(kind);
}

// Whether the fixture's file holds the kind's frequencies as the session measured them.
bool Kept(const Core::Session &session, Comp::Kind kind, QString *path) {
    const Comp::Compensation &measured = session.Compensation();
    *path = Comp::CompensationPath(measured.model, measured.fixture);
    const Comp::ParsedCompensation kept = Comp::LoadCompensation(*path, measured.model);
    return kept.ok && TraceOf(kept.compensation, kind).hz == TraceOf(measured, kind).hz;
}

} // namespace

int RunCorrect(const Invocation &invocation) {
    const CorrectPlan &plan = invocation.correct;
    Core::Session session;
    StandardErrorSink sink;
    session.SetMessageSink(&sink);
    Core::SearchResult found;
    if (!Find(session, &found)) return ExitNoMeter;
    // A range the model cannot take, or a file that cannot be used, ends the run before
    // anything is sent.
    QString refusal;
    std::vector<double> frequencies;
    if (plan.span.form != FixtureSpan::Form::Spot)
        frequencies = SpanFrequencies(plan.span, found.model, 0, &refusal);
    if (refusal.isEmpty()) refusal = ReadFixtureFile(session, invocation.correction.fixture);
    if (refusal.isEmpty() && plan.standard && !session.SetLoadStandard(*plan.standard))
        refusal = QStringLiteral("--standard: no standard"); // the reader lets none through
    if (!refusal.isEmpty()) {
        Complain(refusal);
        Device::ClosePort();
        return ExitUsage;
    }
    session.SetFollowMeter(false);

    int code = ExitDone;
    bool over = false;
    bool started = false;
    int done = 0;
    Progress progress(QStringLiteral("correct ") + KindName(plan.kind), StandardErrorIsTerminal(),
                      WriteError);
    const auto end = [&](int result) {
        if (over) return;
        over = true;
        code = result;
        session.StopCompensationRun(); // the user's frequency goes back; nothing is saved
        session.PausePolling();
        QCoreApplication::exit(0);
    };
    RunWatch watch(session, end);
    // The run starts from the first frame, which gives the meter's present frequency (the one
    // put back at the end, and a spot's).
    const auto start = [&] {
        if (over || started) return;
        started = true;
        if (frequencies.empty())
            frequencies = SpanFrequencies(plan.span, found.model, Main::CurrentFrequency, &refusal);
        if (!refusal.isEmpty()) {
            Complain(refusal);
            end(ExitUsage);
        } else if (!session.StartCompensationRun(plan.kind, frequencies, plan.averaging)) {
            Complain(QStringLiteral("the fixture's run could not start"));
            end(ExitNoMeter);
        }
    };
    QObject::connect(&session, &Core::Session::ticked, &session,
                     [&](const Core::TickResult &result) {
                         watch.Observe(result);
                         if (GaveUp(result)) {
                             ComplainLineLost();
                             end(ExitNoMeter);
                         } else if (result.accepted && !started) {
                             // Outside the tick, which still has its own steps to take.
                             QMetaObject::invokeMethod(&session, start, Qt::QueuedConnection);
                         }
                     });
    QObject::connect(&session, &Core::Session::compensationProgress, &session,
                     [&](int taken, int total) {
                         done = taken;
                         progress.update(taken, total);
                     });
    QObject::connect(&session, &Core::Session::compensationRunEnded, &session, [&](bool complete) {
        if (over) return;
        if (complete) {
            end(ExitDone);
            return;
        }
        Complain(
            QStringLiteral("no usable reading at %1 Hz (frequency %2 of %3); nothing was "
                           "saved")
                .arg(frequencies[std::min<std::size_t>(done, frequencies.size() - 1)], 0, 'g', 10)
                .arg(done + 1)
                .arg(frequencies.size()));
        end(ExitNoMeter);
    });
    Launch::StopSignals stop([&] { end(SignalExit(stop)); });
    QCoreApplication::exec();
    session.PausePolling();
    progress.finish();
    if (code == ExitDone) {
        QString path;
        if (!Kept(session, plan.kind, &path)) {
            Complain(QStringLiteral("the fixture's data could not be kept in %1").arg(path));
            code = ExitWriteFailed;
        } else {
            const QString span =
                frequencies.size() == 1
                    ? QStringLiteral("1 frequency, %1 Hz").arg(frequencies.front(), 0, 'g', 10)
                    : QStringLiteral("%1 frequencies from %2 to %3 Hz")
                          .arg(frequencies.size())
                          .arg(frequencies.front(), 0, 'g', 10)
                          .arg(frequencies.back(), 0, 'g', 10);
            const QString text =
                QStringLiteral("%1: %2 kept in %3\n").arg(KindName(plan.kind), span, path);
            std::fputs(text.toLocal8Bit().constData(), stdout);
        }
    }
    // The run judged its frames itself (an open fixture's overload is its value): the tally of
    // frames left out of readings says nothing of it.
    session.ClearTally();
    code = watch.Conclude(code, false, false);
    Device::ClosePort();
    return code;
}

} // namespace Cli
