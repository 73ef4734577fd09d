// Window test fixture: meters, port mappings, program state and the window's construction.
#include "tests/ui/window_fixture.h"

#include "link/device.h"
#include "ui/main_state.h"
#include "ui/message_box.h"

#include <QtTest>

namespace TestWindow {

namespace {

// The link discards its input right after each request, so an answer that comes back before the
// program reaches its read is lost. A busy test machine can stall the program for some
// milliseconds there; a think time well inside the shortest read time-out (30 ms) absorbs that.
Sim::HostOptions PeerTiming() {
    Sim::HostOptions options;
    options.thinkMs = 8;
    return options;
}

} // namespace

Fixture::Fixture() {
    ResetProgramState();
}

Fixture::~Fixture() {
    m_window.reset();
    ResetProgramState();
}

Sim::Component Fixture::Capacitor() {
    Sim::Component dut;
    dut.capacitance = 100e-9;
    dut.resistance = 3.0;
    return dut;
}

Meter &Fixture::AddMeter(unsigned port, int modelRow, const Sim::Component &dut) {
    Meter &meter = m_meters[port];
    meter.instrument = std::make_unique<Sim::Instrument>(modelRow, dut);
    meter.host = std::make_unique<Sim::PtyHost>(*meter.instrument, PeerTiming());
    if (!meter.host->start())
        qFatal("no pseudo-terminal: %s", qPrintable(meter.host->errorString()));
    return meter;
}

Sim::PtyHost &Fixture::AddPeer(unsigned port, Sim::Responder responder) {
    auto &peer = m_peers[port];
    peer = std::make_unique<Sim::PtyHost>(std::move(responder), PeerTiming());
    if (!peer->start()) qFatal("no pseudo-terminal: %s", qPrintable(peer->errorString()));
    return *peer;
}

void Fixture::AddMissingPort(unsigned port) {
    m_missing[port] = QStringLiteral("/nonexistent/impedix-com%1").arg(port);
}

Main::Tb_tok &Fixture::Start() {
    m_window.reset();
    ResetProgramState();
    Framework::SetMessageHandler([this](const QString &text) { messages << text; });
    // A mapping that opens nothing keeps the machine's own serial devices out of every test.
    Device::MapPort(99, QStringLiteral("/nonexistent/impedix-guard"));
    for (const auto &[port, meter] : m_meters)
        Device::MapPort(port, meter.host->slavePath());
    for (const auto &[port, peer] : m_peers)
        Device::MapPort(port, peer->slavePath());
    for (const auto &[port, path] : m_missing)
        Device::MapPort(port, path);
    messages.clear();
    m_window = std::make_unique<Main::Tb_tok>();
    return *m_window;
}

void ResetProgramState() {
    Main::ResetState();
    Device::ResetState();
    Framework::SetMessageHandler({});
}

} // namespace TestWindow
