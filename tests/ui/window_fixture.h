// Window tests: simulated meters on pseudo-terminals mapped to COM ports, the program's
// module-wide state back at its process-start values, and a freshly constructed main window.
#pragma once

#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "ui/main_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStringList>
#include <QToolButton>

#include <map>
#include <memory>

namespace TestWindow {

// A meter the tests can talk to and inspect.
struct Meter {
    std::unique_ptr<Sim::Instrument> instrument;
    std::unique_ptr<Sim::PtyHost> host;
};

class Fixture {
public:
    Fixture();
    ~Fixture();

    // A simulated meter of modelRow (0..4) on port n; dut defaults to a 100 nF capacitor.
    Meter &AddMeter(unsigned port, int modelRow, const Sim::Component &dut = Capacitor());
    // A scripted peer on port n.
    Sim::PtyHost &AddPeer(unsigned port, Sim::Responder responder);
    // Port n maps to a device that cannot be opened.
    void AddMissingPort(unsigned port);

    // Resets the program's state, maps the ports added so far and constructs the window (which
    // runs the start-up search).
    Main::Tb_tok &Start();
    Main::Tb_tok &window() { return *m_window; }

    // Texts given to the modal message facade since Start().
    QStringList messages;

    static Sim::Component Capacitor();

private:
    std::map<unsigned, Meter> m_meters;
    std::map<unsigned, std::unique_ptr<Sim::PtyHost>> m_peers;
    std::map<unsigned, QString> m_missing;
    std::unique_ptr<Main::Tb_tok> m_window;
};

// The control called name inside parent (the window, a panel); a missing one ends the test run,
// since every later step would only fail for the same reason.
template <class T> T *Find(const QObject &parent, const char *name) {
    T *control = parent.findChild<T *>(QLatin1String(name));
    if (!control) qFatal("no control \"%s\" of the expected kind", name);
    return control;
}

// Puts units Main and Device back to their process-start state (port closed, no mappings) and
// restores the modal message dialog.
void ResetProgramState();

} // namespace TestWindow
