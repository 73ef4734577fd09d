// Window test fixture: meters, port mappings, program state and the window's construction.
#include "tests/ui/window_fixture.h"

#include "link/device.h"
#include "link/port_names.h"
#include "tests/common/lost_answer.h"
#include "tests/common/peer.h"
#include "ui/main_state.h"
#include "ui/message_box.h"

#include <QAbstractButton>
#include <QLabel>
#include <QSerialPort>
#include <QStatusBar>
#include <QtTest>

#include <algorithm>

namespace TestWindow {

Fixture::Fixture() {
    ResetProgramState();
}

// The reset closes the program's port while the meters' terminals still exist (they go with the
// members, after this body). Closed the other way round, the system could hand a terminal's
// number to another test process before Qt drops the lock file named after it, and that process
// could not open its own port.
Fixture::~Fixture() {
    m_window.reset();
    m_core.reset();
    ResetProgramState();
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

Main::Tb_tok &Fixture::StartOnce() {
    m_window.reset();
    m_core.reset();
    ResetProgramState();
    Framework::SetMessageHandler([this](const QString &text) {
        messages << text;
        pollingDuringMessage << (m_window && m_window->tmr.isActive());
    });
    // A mapping that opens nothing keeps the machine's own serial devices out of every test.
    Device::MapPort(99, QStringLiteral("/nonexistent/impedix-guard"));
    for (const auto &[port, meter] : m_meters)
        Device::MapPort(port, meter.host->slavePath());
    for (const auto &[port, peer] : m_peers)
        Device::MapPort(port, peer->slavePath());
    for (const auto &[port, path] : m_missing)
        Device::MapPort(port, path);
    messages.clear();
    pollingDuringMessage.clear();
    m_core = std::make_unique<Core::Session>();
    m_window = std::make_unique<Main::Tb_tok>(*m_core);
    return *m_window;
}

// A busy machine (sanitizers, parallel tests) can keep a simulated meter's answer to the window's
// one identity question from arriving between the link's purge and its time-out: the protocol's
// own race, not a fault. Then the window is built once more, the meters forgetting what they were
// asked, so a test sees one start-up as it meant it; the restart is printed and counted, and a
// second loss in the test fails it.
Main::Tb_tok &Fixture::Start() {
    Main::Tb_tok *w = &StartOnce();
    while (SearchMissedAMeter() &&
           TestLostAnswer::MayStartAgain("window start-up",
                                         QStringLiteral("the search passed a meter by"))) {
        for (auto &entry : m_meters)
            entry.second.host->takeRequests();
        w = &StartOnce();
    }
    return *w;
}

// Only simulated meters are mapped, and one of them stands on a port the search tries before the
// one it chose (or it chose none): that meter's answer was lost.
bool Fixture::SearchMissedAMeter() const {
    if (!m_peers.empty() || !m_missing.empty()) return false;
    const unsigned chosen = static_cast<unsigned>(Device::PortNumber);
    return std::any_of(m_meters.begin(), m_meters.end(), [chosen](const auto &entry) {
        return entry.first >= 1 && entry.first <= Device::LastSearchedPort &&
               (chosen == 0 || entry.first < chosen);
    });
}

void ResetProgramState() {
    Main::ResetState();
    Device::ResetState();
    Framework::SetMessageHandler({});
    Framework::SetQuestionHandler({});
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
