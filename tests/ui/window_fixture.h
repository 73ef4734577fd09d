// Window tests: simulated meters on pseudo-terminals mapped to COM ports, the program's
// module-wide state back at its process-start values, a freshly constructed main window, and
// its controls found by object name.
#pragma once

#include "core/session.h"
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
#include <QTest>
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

    // Resets the program's state, maps the ports added so far and constructs a measuring
    // session and the window on it (which runs the start-up search).
    Main::Tb_tok &Start();
    // The session of the window Start() made, as the program hands it to other front ends.
    Core::Session &Session() { return *m_core; }

    // Texts given to the modal message facade since Start(), and for each whether the poll
    // timer was running while it was up (no tick may run inside a message's modal loop).
    QStringList messages;
    QList<bool> pollingDuringMessage;

    static Sim::Component Capacitor();

private:
    Main::Tb_tok &StartOnce();
    bool SearchMissedAMeter() const;

    std::map<unsigned, Meter> m_meters;
    std::map<unsigned, std::unique_ptr<Sim::PtyHost>> m_peers;
    std::map<unsigned, QString> m_missing;
    std::unique_ptr<Core::Session> m_core; // outlives m_window, as in the program
    std::unique_ptr<Main::Tb_tok> m_window;
};

// Puts units Main and Device back to their process-start state (port closed, no mappings) and
// restores the modal message dialog.
void ResetProgramState();

// The control of that object name and type inside w; a test without it cannot go on.
template <class T> T *Find(const QWidget &w, const char *name) {
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    if (!found) qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// What the label, field, box or button of that name shows; the status line's message.
QString TextOf(const QWidget &w, const char *name);
QString StatusText(const QWidget &w);

// Picks an entry of an editable box the way a user types it: select all, type, Return. Each
// character goes as text, so that Cyrillic entries type as well.
inline void TypeEntry(QComboBox *box, const QString &text) {
    box->lineEdit()->selectAll();
    for (QChar character : text)
        QTest::sendKeyEvent(QTest::Click, box->lineEdit(), Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
}

} // namespace TestWindow
