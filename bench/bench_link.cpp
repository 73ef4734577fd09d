// Figures for the instrument link: decode + format of one frame, the judgement of a frame
// against the conditions asked for, and one 20-byte exchange
// against the simulated meter paced at 9600 Bd compared with the wire's own bound.
#include "link/device.h"
#include "link/reading_status.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/link/frame_builder.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

void DecodeAndFormat() {
    const auto frame = TestFrames::MakeFrame(1591.55f, -1.5707f, 1000, 160);
    constexpr int rounds = 200000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        Device::SeriesCircuit = static_cast<std::uint8_t>(i & 1);
        Device::AcceptMeasurement(frame.data(), 20);
    }
    const double perFrameUs = clock.nsecsElapsed() / 1000.0 / rounds;
    std::printf("decode + format of one frame: %.2f us (goal under 10 us)\n", perFrameUs);
}

// The judgement every accepted frame now goes through before it counts as a reading.
void JudgeOneFrame() {
    const Device::Capabilities capabilities = Device::CapabilitiesOf(2);
    Device::RequestedConditions asked;
    asked.frequencyHz = 1000;
    asked.biasSent = true;
    asked.biasMillivolts = 1600;
    constexpr int rounds = 2000000;
    int normal = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        const Device::FrameFacts frame{1000 + (i & 1), 1600, 1591.55f, -1.5707f};
        normal += Device::Counts(Device::JudgeFrame(frame, asked, capabilities)) ? 1 : 0;
    }
    const double perFrameNs = static_cast<double>(clock.nsecsElapsed()) / rounds;
    std::printf("judgement of one frame (status, agreement): %.1f ns (%d of %d normal)\n",
                perFrameNs, normal, rounds);
}

void PacedExchange() {
    constexpr int thinkMs = 3;
    Sim::Component dut;
    dut.capacitance = 100e-9;
    Sim::Instrument meter(2, dut);
    Sim::HostOptions options;
    options.thinkMs = thinkMs;
    options.paced = true;
    Sim::PtyHost host(meter, options);
    if (!host.start()) {
        std::printf("paced exchange: no pseudo-terminal (%s)\n", qPrintable(host.errorString()));
        return;
    }
    Device::ClearPortMappings();
    Device::MapPort(1, host.slavePath());
    Device::InitLinkSettings();
    Device::ModelIndex = 2;
    if (!Device::OpenPort(1)) {
        std::printf("paced exchange: the port did not open\n");
        return;
    }
    constexpr int rounds = 100;
    int accepted = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        accepted += Device::ReadMeasurement() ? 1 : 0;
    const double perExchangeMs = clock.nsecsElapsed() / 1e6 / rounds;
    // 2 request + 20 reply bytes of 10 bits at 9600 Bd, plus the meter's think time.
    const double boundMs = 22 * 10 * 1000.0 / 9600.0 + thinkMs;
    // The pseudo-terminal delivers the request at once; only the reply is paced.
    const double replyBoundMs = 20 * 10 * 1000.0 / 9600.0 + thinkMs;
    std::printf("paced 20-byte exchange: %.2f ms; wire bound %.2f ms, ratio %.3f (goal 0.95 or "
                "better); reply-only bound %.2f ms, ratio %.3f; %d of %d frames accepted\n",
                perExchangeMs, boundMs, boundMs / perExchangeMs, replyBoundMs,
                replyBoundMs / perExchangeMs, accepted, rounds);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    DecodeAndFormat();
    JudgeOneFrame();
    PacedExchange();
    return 0;
}
