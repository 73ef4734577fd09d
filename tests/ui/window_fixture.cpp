// Window test fixture: meters, port mappings, program state and the window's construction.
#include "tests/ui/window_fixture.h"

#include "link/device.h"
#include "tests/common/peer.h"
#include "ui/main_state.h"
#include "ui/message_box.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSerialPort>
#include <QStatusBar>
#include <QtTest>

#include <cstring>

namespace TestWindow {

Fixture::Fixture() {
    Framework::SetMessageHandler([this](const QString &text) { messages << text; });
}

Fixture::~Fixture() {
    m_window.reset();
    Framework::SetMessageHandler({});
    Device::ClearPortMappings();
    // The program's port closes while its terminal still exists. Closed the other way round, the
    // system could hand the terminal's number to another test process before Qt drops the lock
    // file named after it, and that process could not open its own port.
    if (Device::PortHandle) Device::PortHandle->close();
    Device::PortNumber = 0;
}

Sim::Component Fixture::Capacitor() {
    return *Sim::parseComponent(QStringLiteral("C=100n,R=3"));
}

Meter &Fixture::AddMeter(unsigned port, int modelRow, const Sim::Component &dut) {
    Meter &meter = m_meters[port];
    meter.instrument = std::make_unique<Sim::Instrument>(modelRow, dut);
    meter.host = std::make_unique<Sim::PtyHost>(*meter.instrument, TestPeer::Timing());
    if (!meter.host->start())
        qFatal("no pseudo-terminal: %s", qPrintable(meter.host->errorString()));
    return meter;
}

Sim::PtyHost &Fixture::AddPeer(unsigned port, Sim::Responder responder) {
    auto &peer = m_peers[port];
    peer = std::make_unique<Sim::PtyHost>(std::move(responder), TestPeer::Timing());
    if (!peer->start()) qFatal("no pseudo-terminal: %s", qPrintable(peer->errorString()));
    return *peer;
}

void Fixture::AddMissingPort(unsigned port) {
    m_missing[port] = QStringLiteral("/nonexistent/impedix-com%1").arg(port);
}

Main::Tb_tok &Fixture::Start() {
    m_window.reset();
    ResetProgramState();
    Device::ClearPortMappings();
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
    using namespace Main;
    CurrentFrequency = 0;
    FrequencyLow = 50000;
    FrequencyHigh = 100000;
    BiasSetting = 0;
    BiasStep = 0;
    Param1Index = 2;
    Param2Index = 9;
    AutoParams = true;
    AutoRange = true;
    SyncPending = true;
    CycleStarted = false;
    SweepRunning = false;
    SweepPoints = 10;

    Device::ModelIndex = 0;
    Device::SeriesCircuit = 1;
    Device::LastCapacitance = 1053.0f;
    Device::DeviceStatus = 0;
    Device::DeviceMode = 0;
    Device::DeviceRange = 0;
    Device::BiasMillivolts = 0;
    Device::FrequencyHz = 0;
    Device::AngularFrequency = 0.0f;
    std::memset(Device::ParameterValues, 0, sizeof Device::ParameterValues);
    std::memset(Device::ParameterText, 0, sizeof Device::ParameterText);
    std::memset(Device::CorrectedParameterText, 0, sizeof Device::CorrectedParameterText);
}

QString TextOf(const QWidget &w, const char *name) {
    QWidget *control = Find<QWidget>(w, name);
    if (auto *label = qobject_cast<QLabel *>(control)) return label->text();
    if (auto *field = qobject_cast<QLineEdit *>(control)) return field->text();
    if (auto *box = qobject_cast<QComboBox *>(control)) return box->currentText();
    return Find<QAbstractButton>(w, name)->text();
}

QString StatusText(const QWidget &w) {
    return Find<QStatusBar>(w, "status")->currentMessage();
}

} // namespace TestWindow
