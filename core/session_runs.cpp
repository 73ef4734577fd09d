// The sweep run (START's checks, the point frequencies, one point per accepted frame), the D
// calibration run and the recording of accepted frames.
#include "core/session.h"

#include "core/main_state.h"
#include "export/frame_record.h"
#include "export/recorder.h"
#include "link/calibration.h"
#include "link/commands.h"
#include "link/measurement.h"
#include "sweep/sweep_store.h"

#include <QDir>

namespace Core {

namespace {

const QString InvalidValue = QStringLiteral("Неверное значение");

} // namespace

// START words every refusal of its fields the same way.
bool Session::AcceptSweepLow(std::int32_t low) {
    if (Sweep::CheckSweepStart(StartCapabilities(), low)) {
        Tell(InvalidValue);
        return false;
    }
    Main::FrequencyLow = low;
    return true;
}

bool Session::AcceptSweepHigh(std::int32_t high) {
    if (Sweep::CheckSweepStop(StartCapabilities(), Main::FrequencyLow, high)) {
        Tell(InvalidValue);
        return false;
    }
    Main::FrequencyHigh = high;
    return true;
}

void Session::SetSweepBounds(std::int32_t low, std::int32_t high) {
    Main::FrequencyLow = low;
    Main::FrequencyHigh = high;
    emit sweepSettingsChanged();
}

void Session::SetSweepPoints(int points) {
    Main::SweepPoints = Main::ClampSweepPoints(points);
    emit sweepSettingsChanged();
}

bool Session::StartSweep(int points, Sweep::Spacing spacing,
                         const QVector<std::int32_t> &frequencies) {
    if (m_compRun.running) return false; // the fixture is being measured
    Main::SweepPoints = Main::ClampSweepPoints(points);
    const Sweep::Plan plan = PlanStart(spacing, frequencies);
    if (!plan.ok()) return false;
    if (Main::SweepRunning) emit runEnded(false); // started over: the points so far end here
    tmr.stop();
    EndQuantityRun(); // START over a bias or level run: its conditions go back first
    Main::SweepQuantity = Sweep::Quantity::Frequency;
    Main::SweepRunning = true;
    Main::AutoParams = false; // the graphed pair must not change by itself during the run
    Device::SendKeyCode(Device::Command::KeyF1);
    for (int i = 0; i < Main::SweepPoints; ++i)
        Main::SweepFrequencies[i] = static_cast<float>(plan.points[static_cast<std::size_t>(i)]);
    Main::SweepIndex = 0;
    for (int i = 0; i < Main::SweepPoints; ++i) {
        Main::SweepStatuses[i] = 0;
        Main::SweepConnections[i] = m_connection;
    }
    m_pointMisses = 0;
    Main::CurrentFrequency = static_cast<std::int32_t>(Main::SweepFrequencies[0]);
    emit sweepStarted();
    SendSweepFrequency();
    Run(); // whether or not polling had been started
    return true;
}

bool Session::StartSweep(const SweepPlan &plan) {
    if (!AcceptSweepLow(plan.low)) return false;
    if (!AcceptSweepHigh(plan.frequencySweep ? plan.high : plan.low)) return false;
    SetFrequencySweep(plan.frequencySweep);
    return StartSweep(plan.points, plan.spacing, plan.frequencies);
}

// One point of a running sweep from the frame the tick has just read.
TickResult Session::StoreSweepPoint(TickResult result) {
    Main::StoreSweepSample(Device::ParameterValues, Device::FrequencyHz, Device::SeriesCircuit != 0,
                           Device::BiasMillivolts);
    Main::MarkSweepPoint(Device::StatusCode(result.status), m_connection);
    if (m_lastCorrection != 0)
        Main::MarkSweepCorrection(m_lastCorrection, Device::FrameMagnitude, Device::FramePhase);
    result.sweepPointStored = true;
    emit sweepPointStored();
    result.sweepFinished = !Main::AdvanceSweep();
    emit sweepAdvanced();
    if (m_quantityRun.going) { // the next point's setting, or the conditions from before
        if (result.sweepFinished)
            EndQuantityRun();
        else
            SendRunSetting();
    } else if (m_frequencySweep) { // the next point's frequency; after the last, the last again
        Main::CurrentFrequency =
            static_cast<std::int32_t>(Main::SweepFrequencies[Main::SweepIndex]);
        SendSweepFrequency();
    }
    if (result.sweepFinished) emit runEnded(true);
    return result;
}

bool Session::StartCalibrationRun() {
    return Device::StartCalibrationRun();
}

bool Session::StartRecording(const QString &path, Export::CsvDialect dialect) {
    const bool started = m_recorder->start(path, dialect);
    m_recordPath = started ? m_recorder->fileName() : path;
    emit recordingChanged();
    if (!started)
        Tell(QStringLiteral("Запись не начата: файл\n%1\nнельзя открыть для записи.\n\n%2")
                 .arg(QDir::toNativeSeparators(path), m_recorder->errorString()));
    else if (m_recorder->wroteBeside())
        Tell(QStringLiteral("В файле\n%1\nдругие столбцы, он не изменён. Запись идёт в файл\n%2")
                 .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(m_recordPath)));
    return started;
}

void Session::StopRecording() {
    m_recorder->stop();
    emit recordingChanged();
}

// A failed write ends the recording, never the polling: the tick goes on once the message has
// been seen.
bool Session::RecordFrame() {
    if (!m_recorder->isRecording()) return false;
    Export::FrameRecord frame = Export::LastFrame();
    frame.connection = m_connection;
    frame.correction = Comp::CorrectionName(m_lastCorrection & ~Main::CorrectionOutside,
                                            (m_lastCorrection & Main::CorrectionOutside) != 0);
    const bool written = m_recorder->append(frame);
    emit recordingChanged();
    if (!written)
        Tell(QStringLiteral("Запись остановлена: в файл\n%1\nбольше нельзя писать. Записано "
                            "строк: %2.\n\n%3")
                 .arg(QDir::toNativeSeparators(m_recordPath))
                 .arg(m_recorder->rowsWritten())
                 .arg(m_recorder->errorString()));
    return written;
}

} // namespace Core
