// identify, measure and sweep on a Session.
#include "cli/commands.h"

#include "cli/data_output.h"
#include "cli/fit_output.h"
#include "cli/fixture_use.h"
#include "cli/progress.h"
#include "cli/quantity_run.h"
#include "cli/records.h"
#include "cli/run_keeping.h"
#include "cli/run_watch.h"
#include "core/main_state.h"
#include "core/session.h"
#include "core/sweep_context.h"
#include "export/recorder.h"
#include "export/sweep_csv.h"
#include "fit/sweep_points.h"
#include "launch/stop_signals.h"
#include "link/capabilities.h"
#include "link/commands.h"
#include "link/models.h"
#include "link/ranges.h"
#include "link/serial_link.h"
#include "link/silence.h"
#include "sweep/sweep_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QIODevice>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>

namespace Cli {

void WriteError(const QByteArray &text) {
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
}

bool GaveUp(const Core::TickResult &result) {
    return result.silence.silent && result.silence.seconds >= LineGiveUpSeconds;
}

void ComplainLineLost() {
    Complain(QStringLiteral("no reading for %1 s: the line is lost").arg(LineGiveUpSeconds));
}

int SignalExit(const Launch::StopSignals &handler) {
    return 128 + (handler.lastSignal() != 0 ? handler.lastSignal() : SIGTERM);
}

void Apply(Core::Session &session, const Conditions &conditions) {
    session.SetCircuit(conditions.circuit == Circuit::Series);
    if (conditions.frequencyHz) session.SetFrequency(*conditions.frequencyHz);
    if (conditions.biasMillivolts) session.SetBias(*conditions.biasMillivolts);
    if (conditions.range && *conditions.range != AutoRangeChoice)
        session.SelectRange(*conditions.range);
    if (conditions.levelMillivolts) {
        const auto &levels = Device::Levels; // the session takes the level's index
        const auto level = std::find(levels.begin(), levels.end(), *conditions.levelMillivolts);
        session.SetLevel(static_cast<int>(level - levels.begin()));
    }
    if (conditions.speed != Speed::Unchanged)
        session.SelectSpeed(conditions.speed == Speed::Normal);
}

QString Timestamp() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

int Conclude(DataOutput &output, int code) {
    if (code == ExitWriteFailed) {
        // FILE stays as it was; the rows that did get out are not lost.
        output.discard();
        if (!output.keptPath().isEmpty())
            Complain(QStringLiteral("the rows written before the failure are in %1")
                         .arg(output.keptPath()));
    } else if (!output.commit()) {
        Complain(QStringLiteral("the data could not be written: %1").arg(output.errorString()));
        code = code == ExitDone ? ExitWriteFailed : code;
    }
    Device::ClosePort();
    return code;
}

bool Find(Core::Session &session, Core::SearchResult *found) {
    *found = session.Search(Core::IdentityTries);
    if (found->found) return true;
    // The window's status text, with the first port that is there but would not open.
    Complain(
        QStringLiteral("COM -  no meter answered on COM1 to COM%1").arg(Core::LastSearchedPort) +
        (found->failure.isEmpty() ? QString() : QLatin1String("; ") + found->failure));
    Device::ClosePort();
    return false;
}

void Complain(const QString &message) {
    WriteError(QStringLiteral("impedix-cli: %1\n").arg(message).toLocal8Bit());
}

int RunIdentify(const Invocation &) {
    Core::Session session;
    StandardErrorSink sink;
    session.SetMessageSink(&sink);
    Core::SearchResult found;
    if (!Find(session, &found)) return ExitNoMeter;
    session.PausePolling();
    const QString text = QStringLiteral("port: COM%1 (%2)\nmodel: %3\nfrequency: %4 to %5 Hz\n")
                             .arg(found.port)
                             .arg(Device::PortPath, Device::ModelName(found.model))
                             .arg(Device::ModelLowestFrequency(found.model))
                             .arg(Device::ModelHighestFrequency(found.model));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    Device::ClosePort();
    return ExitDone;
}

int RefuseBeforeRun(const QString &refusal, const QString &outputPath, DataOutput &output) {
    if (refusal.isEmpty() && output.open()) return ExitDone;
    Complain(refusal.isEmpty()
                 ? QStringLiteral("cannot write %1: %2").arg(outputPath, output.errorString())
                 : refusal);
    Device::ClosePort();
    return refusal.isEmpty() ? ExitWriteFailed : ExitUsage;
}

int FindAndCheckConditions(Core::Session &session, const Invocation &invocation,
                           DataOutput &output) {
    Core::SearchResult found;
    if (!Find(session, &found)) return ExitNoMeter;
    // The search has started polling; no tick runs before the event loop does.
    QString refusal = CheckConditions(invocation.conditions, found.model);
    if (refusal.isEmpty()) refusal = UseCorrection(session, invocation.correction);
    return RefuseBeforeRun(refusal, invocation.outputPath, output);
}

int RunMeasure(const Invocation &invocation) {
    Core::Session session;
    StandardErrorSink sink;
    session.SetMessageSink(&sink);
    DataOutput output(invocation.outputPath);
    if (const int code = FindAndCheckConditions(session, invocation, output); code != ExitDone)
        return code;
    // A frequency asked for stays asked: frames at another one are left out. Without one the
    // meter's own is followed, as the window follows it.
    session.SetFollowMeter(!invocation.conditions.frequencyHz);
    Export::Recorder recorder;
    const bool csv = invocation.format == Format::Csv;
    if (csv && !recorder.start(output.device())) {
        Complain(QStringLiteral("the data could not be written: %1").arg(recorder.errorString()));
        return Conclude(output, ExitWriteFailed);
    }
    Apply(session, invocation.conditions);
    // Auto-ranging is a toggle on the wire: it is sent only once the first frame has said
    // whether the meter ranges already, and readings count from the frame after it.
    bool autoRangePending = invocation.conditions.range == AutoRangeChoice;

    int code = ExitDone;
    qint64 readings = 0;
    QElapsedTimer clock;
    Progress progress(QStringLiteral("measure"), StandardErrorIsTerminal(), WriteError);
    const Duration &duration = invocation.duration;
    const auto end = [&](int result) {
        session.PausePolling();
        code = result;
        QCoreApplication::exit(0);
    };
    RunWatch watch(session, end);
    // Frames that keep coming but never at the conditions asked for end the run as silence does.
    QElapsedTimer sinceReading;
    const auto take = [&] {
        const QString range = Device::RangeName(Device::DeviceRange);
        bool written = true;
        Reading reading = LastReading(Timestamp(), clock.elapsed() / 1000.0, range);
        reading.frame.connection = session.Connection();
        reading.frame.correction = CorrectionText(session.LastCorrection());
        if (csv) {
            written = recorder.append(reading.frame);
        } else {
            written = output.write(ReadingJson(reading));
        }
        if (!written) {
            Complain(QStringLiteral("the data could not be written: %1")
                         .arg(csv ? recorder.errorString() : output.errorString()));
            end(ExitWriteFailed);
            return;
        }
        ++readings;
        if (duration.count) {
            progress.update(readings, *duration.count);
            if (readings >= *duration.count) end(ExitDone);
        } else if (duration.seconds) {
            progress.update(clock.elapsed(), static_cast<qint64>(*duration.seconds * 1000));
        }
    };
    QObject::connect(&session, &Core::Session::ticked, &session,
                     [&](const Core::TickResult &result) {
                         watch.Observe(result);
                         if (result.counts()) sinceReading.start();
                         if (GaveUp(result)) {
                             ComplainLineLost();
                             end(ExitNoMeter);
                         } else if (sinceReading.hasExpired(LineGiveUpSeconds * 1000)) {
                             Complain(QStringLiteral("no reading at the conditions set for %1 s")
                                          .arg(LineGiveUpSeconds));
                             end(ExitNoMeter);
                         } else if (result.accepted && autoRangePending) {
                             autoRangePending = false;
                             if (!Main::AutoRange) session.SwitchAutoRange(Device::DeviceRange);
                         } else if (result.counts()) {
                             take();
                         }
                     });
    Launch::StopSignals stop([&] { end(SignalExit(stop)); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &session, [&] { end(ExitDone); });
    clock.start();
    sinceReading.start();
    if (duration.seconds) deadline.start(static_cast<int>(*duration.seconds * 1000));
    QCoreApplication::exec();
    session.PausePolling();
    progress.finish();
    recorder.stop();
    code = watch.Conclude(code, invocation.acceptReconnections, readings == 0);
    return Conclude(output, code);
}

int RunSweep(const Invocation &invocation) {
    // A list file is read before any port is opened: a bad one sends nothing.
    SweepPlan run = invocation.sweep;
    QString listProblem;
    if (!run.listFile.isEmpty() && !TakeListFile(&run, &listProblem)) {
        Complain(listProblem);
        return ExitUsage;
    }
    Core::Session session;
    StandardErrorSink sink;
    session.SetMessageSink(&sink);
    Core::SearchResult found;
    if (!Find(session, &found)) return ExitNoMeter;
    const QuantityRunPlan &quantity = invocation.quantityRun;
    QString refusal = quantity.asked() ? CheckConditions(invocation.conditions, found.model)
                                       : CheckSweep(run, found.model);
    if (refusal.isEmpty() && quantity.asked()) refusal = CheckQuantityRun(quantity, found.model);
    if (refusal.isEmpty()) refusal = UseCorrection(session, invocation.correction);
    DataOutput output(invocation.outputPath);
    if (const int code = RefuseBeforeRun(refusal, invocation.outputPath, output); code != ExitDone)
        return code;
    int code = ExitDone;
    const RunKeeping keeping(session, invocation.keep, invocation.demo);
    Progress progress(QStringLiteral("sweep"), StandardErrorIsTerminal(), WriteError);
    const auto end = [&](int result) {
        session.PausePolling();
        code = result;
        QCoreApplication::exit(0);
    };
    RunWatch watch(session, end);
    // A bias or level run starts at the meter's first frame, whose bias is the one to put back.
    bool waiting = quantity.asked();
    bool started = !waiting;
    bool biasLeft = false;
    QObject::connect(&session, &Core::Session::biasNotRestored, &session,
                     [&](std::int32_t leftMillivolts) {
                         biasLeft = true;
                         Complain(BiasLeftText(session.Requested().biasMillivolts, leftMillivolts,
                                               Device::PortNumber == 0));
                     });
    QObject::connect(
        &session, &Core::Session::ticked, &session, [&](const Core::TickResult &result) {
            watch.Observe(result);
            if (waiting && result.accepted) {
                waiting = false;
                const Core::Session::RunAnswer answer =
                    session.StartQuantityRun(QuantityRequest(quantity));
                started = answer.accepted();
                if (started) return;
                Complain(RunAnswerText(answer, quantity, found.model));
                end(answer.refused == Core::Session::RunRefusal::NoMeter ? ExitNoMeter : ExitUsage);
                return;
            }
            if (result.sweepPointStored)
                progress.update(Main::TakenSweepPoints(), Main::SweepPoints);
            if (result.sweepFinished) {
                end(ExitDone);
            } else if (GaveUp(result)) {
                ComplainLineLost();
                end(ExitNoMeter);
            }
        });
    Launch::StopSignals stop([&] { end(SignalExit(stop)); });
    session.SetFollowMeter(false);
    session.SetCircuit(invocation.conditions.circuit == Circuit::Series);
    if (quantity.asked()) {
        if (invocation.conditions.frequencyHz)
            session.SetFrequency(*invocation.conditions.frequencyHz);
    } else {
        Core::SweepPlan plan;
        plan.low = run.fromHz;
        plan.high = run.toHz;
        plan.points = run.points;
        plan.frequencySweep = run.frequencyMode;
        plan.spacing = run.spacing;
        plan.frequencies = QVector<std::int32_t>(run.frequencies.begin(), run.frequencies.end());
        if (!session.StartSweep(plan)) {
            Device::ClosePort();
            return ExitUsage;
        }
    }
    QCoreApplication::exec();
    session.PausePolling();
    progress.finish();
    // A run cut short (a signal, a lost line) ends here: kept as interrupted, and for a bias or
    // level run the bias and the level back before the data is written and the port let go.
    session.StopRun();
    if (quantity.asked()) {
        if (!started) { // refused, or stopped before the meter's first frame: no table
            output.discard();
            Device::ClosePort();
            return biasLeft ? ExitBiasLeft : code;
        }
    }
    // The points taken so far, also after a stop or a lost line.
    const bool series = invocation.conditions.circuit == Circuit::Series;
    bool written = invocation.format == Format::Csv
                       ? Export::WriteSweepCsv(output.device(), Main::SweepState)
                       : output.write(SweepJson(Main::SweepState, series));
    int fitCode = ExitDone;
    std::optional<Fit::FitResult> fit;
    if (!invocation.fitModel.isEmpty()) {
        const FitReport report = FitAndCheck(
            invocation.fitModel, Fit::SweepFromStore(Main::SweepState), invocation.fitOptions);
        fitCode = FitExitCode(report.fit);
        fit = report.fit;
        WriteError(FitSummaryText(report));
        if (written && invocation.format == Format::Json)
            written = output.write(FitJsonLine(report));
    }
    if (!written) {
        Complain(QStringLiteral("the data could not be written: %1")
                     .arg(output.device()->errorString()));
        const int failed = Conclude(output, ExitWriteFailed);
        return biasLeft ? ExitBiasLeft : failed;
    }
    // An overload or an impossible angle is the meter's answer at a point; a point given up
    // because the meter never reached its conditions is none.
    const bool nothingMeasured = [] {
        using S = Device::ReadingStatus;
        for (int i = 0; i < Main::TakenSweepPoints(); ++i) {
            const auto status = static_cast<S>(Main::SweepStatuses[i]);
            if (status == S::Normal || status == S::Overload || status == S::ImpossiblePhase)
                return false;
        }
        return true;
    }();
    code = watch.Conclude(code, invocation.acceptReconnections, nothingMeasured);
    if (code == ExitDone) code = fitCode;
    const Core::SweepContext context =
        Core::RunContext(session, Main::TakenSweepPoints() == Main::SweepPoints);
    const int concluded = Conclude(output, biasLeft ? ExitBiasLeft : code);
    // The side file goes with a table that was written, never alone.
    if (!invocation.sideFile || concluded == ExitWriteFailed) return concluded;
    QString error;
    if (Core::WriteSideFile(invocation.outputPath, context, fit ? &*fit : nullptr, &error))
        return concluded;
    Complain(QStringLiteral("the side file could not be written: %1").arg(error));
    return concluded == ExitDone ? ExitWriteFailed : concluded;
}

} // namespace Cli
