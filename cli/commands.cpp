// identify, measure and sweep on a Session.
#include "cli/commands.h"

#include "app/stop_signals.h"
#include "cli/data_output.h"
#include "cli/progress.h"
#include "cli/records.h"
#include "cli/session.h"
#include "export/recorder.h"
#include "export/sweep_csv.h"
#include "link/commands.h"
#include "link/models.h"
#include "link/serial_link.h"
#include "sweep/sweep_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QIODevice>

#include <csignal>
#include <cstdio>

namespace Cli {

namespace {

constexpr int ExitWriteFailed = 3;

void WriteError(const QByteArray &text) {
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
}

// Searches, or says on standard error that no meter answered.
std::optional<FoundMeter> Find() {
    QStringList notes;
    const std::optional<FoundMeter> found = SearchMeter(&notes);
    // The window's status text, with the ports that are there but would not open.
    if (!found)
        Complain(
            QStringLiteral("COM -  no meter answered on COM1 to COM15") +
            (notes.isEmpty() ? QString() : QLatin1String("; ") + notes.join(QLatin1String("; "))));
    return found;
}

// Local time with its offset and milliseconds, as the recording stamps its records.
QString Timestamp() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// The exit code after a stop signal: 128 + its number, as shells report it.
int SignalExit(const App::StopSignals &handler) {
    return 128 + (handler.lastSignal() != 0 ? handler.lastSignal() : SIGTERM);
}

// Ends a run: the data committed, the port released. code is what the run came to.
int Conclude(DataOutput &output, int code) {
    if (!output.commit()) {
        Complain(QStringLiteral("the data could not be written: %1").arg(output.errorString()));
        code = code == ExitDone ? ExitWriteFailed : code;
    }
    Device::ClosePort();
    return code;
}

} // namespace

void Complain(const QString &message) {
    WriteError(QStringLiteral("impedix-cli: %1\n").arg(message).toLocal8Bit());
}

int RunIdentify(const Invocation &) {
    const std::optional<FoundMeter> found = Find();
    if (!found) return ExitNoMeter;
    const QString text = QStringLiteral("port: COM%1 (%2)\nmodel: %3\nfrequency: %4 to %5 Hz\n")
                             .arg(found->port)
                             .arg(Device::PortPath, Device::ModelName(found->modelIndex))
                             .arg(Device::ModelLowestFrequency(found->modelIndex))
                             .arg(Device::ModelHighestFrequency(found->modelIndex));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    Device::ClosePort();
    return ExitDone;
}

int RunMeasure(const Invocation &invocation) {
    const std::optional<FoundMeter> found = Find();
    if (!found) return ExitNoMeter;
    const QString refusal = CheckConditions(invocation.conditions, found->modelIndex);
    if (!refusal.isEmpty()) {
        Complain(refusal);
        Device::ClosePort();
        return ExitUsage;
    }
    DataOutput output(invocation.outputPath);
    if (!output.open()) {
        Complain(
            QStringLiteral("cannot write %1: %2").arg(invocation.outputPath, output.errorString()));
        Device::ClosePort();
        return ExitWriteFailed;
    }
    Export::Recorder recorder;
    const bool csv = invocation.format == Format::Csv;
    if (csv && !recorder.start(output.device())) {
        Complain(QStringLiteral("the data could not be written: %1").arg(recorder.errorString()));
        output.discard();
        Device::ClosePort();
        return ExitWriteFailed;
    }

    Session session;
    int code = ExitDone;
    qint64 readings = 0;
    QElapsedTimer clock;
    Progress progress(QStringLiteral("measure"), StandardErrorIsTerminal(), WriteError);
    const Duration &duration = invocation.duration;
    const auto end = [&](int result) {
        session.stop();
        code = result;
        QCoreApplication::exit(0);
    };
    QObject::connect(&session, &Session::reading, &session, [&] {
        const QString range = RangeName(Device::DeviceRange);
        bool written = true;
        if (csv) {
            Export::FrameRecord frame = Export::LastFrame();
            frame.range = range;
            written = recorder.append(frame);
        } else {
            written = output.write(
                ReadingJson(LastReading(Timestamp(), clock.elapsed() / 1000.0, range)));
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
    });
    QObject::connect(&session, &Session::lineGaveUp, &session, [&] {
        Complain(QStringLiteral("no reading for %1 s: the line is lost").arg(LineGiveUpMs / 1000));
        end(ExitNoMeter);
    });
    App::StopSignals stop([&] { end(SignalExit(stop)); });
    QTimer deadline;
    if (duration.seconds) {
        deadline.setSingleShot(true);
        deadline.setInterval(static_cast<int>(*duration.seconds * 1000));
        QObject::connect(&deadline, &QTimer::timeout, &session, [&] { end(ExitDone); });
    }
    session.applyConditions(invocation.conditions);
    clock.start();
    if (duration.seconds) deadline.start();
    session.startPolling();
    QCoreApplication::exec();
    progress.finish();
    recorder.stop();
    return Conclude(output, code);
}

int RunSweep(const Invocation &invocation) {
    const std::optional<FoundMeter> found = Find();
    if (!found) return ExitNoMeter;
    const QString refusal = CheckSweep(invocation.sweep, found->modelIndex);
    if (!refusal.isEmpty()) {
        Complain(refusal);
        Device::ClosePort();
        return ExitUsage;
    }
    DataOutput output(invocation.outputPath);
    if (!output.open()) {
        Complain(
            QStringLiteral("cannot write %1: %2").arg(invocation.outputPath, output.errorString()));
        Device::ClosePort();
        return ExitWriteFailed;
    }
    Session session;
    int code = ExitDone;
    Progress progress(QStringLiteral("sweep"), StandardErrorIsTerminal(), WriteError);
    const auto end = [&](int result) {
        session.stop();
        code = result;
        QCoreApplication::exit(0);
    };
    QObject::connect(&session, &Session::sweepPoint, &session,
                     [&] { progress.update(Main::TakenSweepPoints(), Main::SweepPoints); });
    QObject::connect(&session, &Session::sweepFinished, &session, [&] { end(ExitDone); });
    QObject::connect(&session, &Session::lineGaveUp, &session, [&] {
        Complain(QStringLiteral("no reading for %1 s: the line is lost").arg(LineGiveUpMs / 1000));
        end(ExitNoMeter);
    });
    App::StopSignals stop([&] { end(SignalExit(stop)); });
    Conditions conditions;
    conditions.circuit = invocation.conditions.circuit;
    session.applyConditions(conditions);
    session.startSweep(invocation.sweep);
    QCoreApplication::exec();
    progress.finish();
    // The points taken so far, also after a stop or a lost line.
    const bool series = invocation.conditions.circuit == Circuit::Series;
    const bool written = invocation.format == Format::Csv
                             ? Export::WriteSweepCsv(output.device(), Main::SweepState)
                             : output.write(SweepJson(Main::SweepState, series));
    if (!written) {
        Complain(QStringLiteral("the data could not be written: %1")
                     .arg(output.device()->errorString()));
        output.discard();
        Device::ClosePort();
        return ExitWriteFailed;
    }
    return Conclude(output, code);
}

} // namespace Cli
