// sort: the core's comparator on, one row per part it sorts, the counts on standard error at the
// end; with --once the first part's verdict as the exit status.
#include "cli/commands.h"

#include "cli/data_output.h"
#include "cli/fixture_use.h"
#include "cli/progress.h"
#include "cli/records.h"
#include "cli/run_watch.h"
#include "core/main_state.h"
#include "core/session.h"
#include "launch/stop_signals.h"
#include "link/commands.h"
#include "link/serial_link.h"
#include "sorting/sort_log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

namespace Cli {

namespace {

// What --once tells a script about the part.
int OnceExit(const Sort::Verdict &verdict) {
    switch (verdict.outcome) {
    case Sort::Outcome::Out:
        return ExitSortOut;
    case Sort::Outcome::SecondaryFail:
        return ExitSortSecondaryFail;
    case Sort::Outcome::Bin:
    case Sort::Outcome::Pass:
    case Sort::Outcome::NoVerdict:
        break;
    }
    return ExitDone;
}

// "sorted 3 parts: bin 1: 1, bin 2: 1, out: 1, secondary fail: 0; yield 66.7 %"
QString SummaryText(const Sort::Plan &plan, const Sort::Counts &counts) {
    QStringList fields;
    const int bins = plan.binCount();
    for (int k = 0; k < bins && k < Sort::MaxBins; ++k)
        fields << QStringLiteral("bin %1: %2").arg(k + 1).arg(counts.bins[std::size_t(k)]);
    if (bins == 0) fields << QStringLiteral("pass: %1").arg(counts.pass);
    fields << QStringLiteral("out: %1").arg(counts.out)
           << QStringLiteral("secondary fail: %1").arg(counts.secondaryFail);
    return QStringLiteral("sorted %1 parts: %2; yield %3 %")
        .arg(counts.total())
        .arg(fields.join(QStringLiteral(", ")))
        .arg(counts.yield() * 100.0, 0, 'f', 1);
}

} // namespace

int RunSort(const Invocation &invocation) {
    const SortRequest &request = invocation.sort;
    const Sort::Plan &plan = request.plan;
    Core::Session session;
    StandardErrorSink sink;
    session.SetMessageSink(&sink);
    DataOutput output(invocation.outputPath);
    if (const int code = FindAndCheckConditions(session, invocation, output); code != ExitDone)
        return code;
    const bool csv = invocation.format == Format::Csv;
    if (csv && !output.write(Sort::LogCsvHeader(plan))) {
        Complain(QStringLiteral("the data could not be written: %1").arg(output.errorString()));
        return Conclude(output, ExitWriteFailed);
    }
    session.SetFollowMeter(!invocation.conditions.frequencyHz);
    session.SetSortPlan(plan, request.detector);
    Apply(session, invocation.conditions);
    // As measure: auto-ranging is toggled after the first frame, and parts count from the frame
    // after it. --now sorts on demand and leaves the part detector off.
    bool autoRangePending = invocation.conditions.range == AutoRangeChoice;
    const auto startSorting = [&] {
        if (!request.now) session.SetSorting(true);
    };
    if (!autoRangePending) startSorting();

    int code = ExitDone;
    bool ended = false;
    qint64 answers = 0; // frames at the conditions: readings and open contacts
    qint64 parts = 0;
    bool demanded = false;
    QElapsedTimer clock;
    Progress progress(QStringLiteral("sort"), StandardErrorIsTerminal(), WriteError);
    const Duration &duration = invocation.duration;
    const auto end = [&](int result) {
        if (ended) return;
        ended = true;
        session.PausePolling();
        code = result;
        QCoreApplication::exit(0);
    };
    RunWatch watch(session, end);
    QObject::connect(
        &session, &Core::Session::partSorted, &session, [&](const Sort::LogEntry &entry) {
            if (ended) return;
            const QByteArray row = csv ? Sort::LogCsvRow(plan, entry, parts + 1)
                                       : SortedPartJson(plan, entry, parts + 1);
            if (!output.write(row)) {
                Complain(
                    QStringLiteral("the data could not be written: %1").arg(output.errorString()));
                end(ExitWriteFailed);
                return;
            }
            ++parts;
            if (request.once) {
                end(OnceExit(entry.verdict));
            } else if (duration.count) {
                progress.update(parts, *duration.count);
                if (parts >= *duration.count) end(ExitDone);
            }
        });
    // Open contacts are the meter's answer too: a fixture may wait empty for long.
    QElapsedTimer sinceAnswer;
    QObject::connect(
        &session, &Core::Session::ticked, &session, [&](const Core::TickResult &result) {
            if (ended) return;
            watch.Observe(result);
            const bool answered =
                result.counts() ||
                (result.accepted && result.status == Device::ReadingStatus::Overload);
            if (answered) {
                sinceAnswer.start();
                ++answers;
            }
            if (GaveUp(result)) {
                ComplainLineLost();
                end(ExitNoMeter);
            } else if (sinceAnswer.hasExpired(LineGiveUpSeconds * 1000)) {
                Complain(QStringLiteral("no reading at the conditions set for %1 s")
                             .arg(LineGiveUpSeconds));
                end(ExitNoMeter);
            } else if (result.accepted && autoRangePending) {
                autoRangePending = false;
                if (!Main::AutoRange) session.SwitchAutoRange(Device::DeviceRange);
                startSorting();
            } else if (result.counts() && request.now && !demanded) {
                demanded = true;
                if (!session.SortNow().counts()) {
                    Complain(QStringLiteral("the reading gave no verdict"));
                    end(ExitNoMeter);
                }
            } else if (duration.seconds) {
                progress.update(clock.elapsed(), static_cast<qint64>(*duration.seconds * 1000));
            }
        });
    Launch::StopSignals stop([&] { end(SignalExit(stop)); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &session, [&] { end(ExitDone); });
    clock.start();
    sinceAnswer.start();
    if (duration.seconds) deadline.start(static_cast<int>(*duration.seconds * 1000));
    QCoreApplication::exec();
    session.PausePolling();
    progress.finish();
    Complain(SummaryText(plan, session.SortCounts()));
    code = watch.Conclude(code, invocation.acceptReconnections, answers == 0);
    return Conclude(output, code);
}

} // namespace Cli
