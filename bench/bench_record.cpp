// Figures for recording: the CPU one recorded frame costs (the record from the link's results,
// its CSV line, the write and the disk sync), the same without the disk, and a whole tick of the
// window against the simulated meter with and without recording.
#include "bench/bench_support.h"
#include "core/session.h"
#include "export/frame_record.h"
#include "export/recorder.h"
#include "link/device.h"
#include "tests/link/frame_builder.h"
#include "ui/main_state.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <ctime>

using namespace Bench;

namespace {

void Figure(const char *what, double cpuMs, double wallMs, int count) {
    std::printf("%s: %.4f ms of CPU, %.3f ms of wall time per frame (goal under 0.1 ms of CPU)\n",
                what, cpuMs / count, wallMs / count);
}

template <typename Append> void MeasureRecords(const char *what, Append append) {
    constexpr int frames = 3000;
    QElapsedTimer clock;
    clock.start();
    const double before = ThreadCpuMs();
    for (int i = 0; i < frames; ++i)
        append(i);
    Figure(what, ThreadCpuMs() - before, clock.nsecsElapsed() / 1e6, frames);
}

void Records(const QTemporaryDir &folder) {
    const TestFrames::Frame bytes = TestFrames::MakeFrame(1591.4f, -1.5702f, 1000, 160);
    Device::ModelIndex = 2;
    Device::AcceptMeasurement(bytes.data(), 20);

    Export::Recorder recorder;
    if (!recorder.start(folder.filePath(QStringLiteral("bench.csv")))) {
        std::printf("recording: %s\n", qPrintable(recorder.errorString()));
        return;
    }
    MeasureRecords("one recorded frame, to a file with fdatasync", [&](int) {
        Export::FrameRecord frame = Export::LastFrame();
        frame.range = QStringLiteral("1 kOm");
        recorder.append(frame);
    });
    // At the pace of the measurement cycle every record gets a sync of its own; the process
    // CPU includes the recorder's sync thread.
    constexpr int paced = 75;
    double processBefore = ProcessCpuMs();
    for (int i = 0; i < paced; ++i) {
        Export::FrameRecord frame = Export::LastFrame();
        recorder.append(frame);
        QThread::msleep(40);
    }
    std::printf("one recorded frame every 40 ms: %.4f ms of CPU of the whole process per frame, "
                "the disk sync included\n",
                (ProcessCpuMs() - processBefore) / paced);
    QBuffer memory;
    memory.open(QIODevice::WriteOnly);
    recorder.start(&memory);
    MeasureRecords("one recorded frame, into memory", [&](int) {
        Export::FrameRecord frame = Export::LastFrame();
        frame.range = QStringLiteral("1 kOm");
        recorder.append(frame);
    });
}

// The window's tick on the simulated meter (its own process), first without, then with
// recording; the difference is what recording adds to a tick.
void Ticks(const QString &simulator, const QTemporaryDir &folder) {
    QProcess meter;
    meter.start(simulator, {QStringLiteral("--model"), QStringLiteral("KT-44")});
    if (!meter.waitForReadyRead(5000)) {
        std::printf("ticks: the simulated meter did not start\n");
        return;
    }
    const QString path = QString::fromLocal8Bit(meter.readLine()).trimmed();
    Device::ResetState();
    Main::ResetState();
    Device::MapPort(1, path);
    {
        Core::Session core;
        Main::Tb_tok window(core);
        window.show();
        if (!Main::CycleStarted) {
            std::printf("ticks: the search did not find the simulated meter\n");
        } else {
            constexpr int ticks = 400;
            double cpu[2] = {0, 0};
            for (int recording = 0; recording < 2; ++recording) {
                if (recording == 1)
                    window.StartRecording(folder.filePath(QStringLiteral("ticks.csv")));
                for (int i = 0; i < ticks; ++i) {
                    const double before = ThreadCpuMs();
                    window.tmrTimer();
                    cpu[recording] += ThreadCpuMs() - before;
                    window.tmr.stop();
                }
            }
            std::printf("one tick: %.3f ms of CPU without recording, %.3f ms with it: recording "
                        "adds %.3f ms (goal under 0.1 ms)\n",
                        cpu[0] / ticks, cpu[1] / ticks, (cpu[1] - cpu[0]) / ticks);
        }
    }
    meter.terminate();
    meter.waitForFinished(2000);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    Records(folder);
    Ticks(QStringLiteral(IMPEDIX_SIM_PATH), folder);
    return 0;
}
