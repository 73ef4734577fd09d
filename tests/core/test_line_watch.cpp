// A lost port that comes back, without a window: the meter behind a symbolic link hangs up, and
// what then appears at the same path is asked who it is before it is polled. Another model is
// taken with its own row of the model table; a terminal that gives no identity is never polled.
#include "link/decoding.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/core/session_fixture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestCore;
using TestPeer::Request;

namespace {

constexpr int Generous = 8000; // ms; a deadline for what must happen, never a measured time

const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

// A KT-44 on COM1 behind a link, found and polled, then gone: the port is lost.
struct LostMeter : CleanState {
    LostMeter() : meter(2, Capacitor), host(meter, TestPeer::Timing()) {
        link = dir.filePath(QStringLiteral("meter"));
    }
    // The port closes while the terminals still exist (they go with the members).
    ~LostMeter() { ResetProgramState(); }

    bool FindThenLose() {
        if (!dir.isValid() || !host.start() || !PointLink(link, host.slavePath())) return false;
        Device::MapPort(1, link);
        if (!SearchUntilFound(session).found) return false;
        session.tmr.stop();
        if (!TickWithFrame(session).accepted) return false;
        PointLink(link, dir.filePath(QStringLiteral("gone")));
        host.setFault(Sim::Fault::HangUp, 1);
        const QDeadlineTimer deadline(TickDeadlineMs);
        while (Device::PortNumber != 0 && !deadline.hasExpired())
            session.Tick();
        session.tmr.stop();
        return Device::PortNumber == 0 && Device::LostPortNumber == 1;
    }

    QTemporaryDir dir;
    QString link;
    Sim::Instrument meter;
    Sim::PtyHost host;
    Core::Session session;
};

// Tries the lost port as the reopen timer does until done() holds, for at most 8 s. The first
// attempts may find the device still locked by the port object the loss let go of.
template <class Done> bool ReopenUntil(Core::Session &session, Done done) {
    QDeadlineTimer deadline(Generous);
    for (;;) {
        session.TryReopenPort();
        if (done()) return true;
        if (deadline.hasExpired()) return false;
        QTest::qWait(50);
    }
}

} // namespace

class TestLineWatch : public QObject {
    Q_OBJECT

private slots:
    // The same path, another model with other wire rules (KT-41: bias in 100 mV, phase negated).
    void anotherModelComesBack() {
        LostMeter m;
        QVERIFY(m.FindThenLose());
        QCOMPARE(Device::ModelIndex, 2);
        Sim::Instrument other(0, Capacitor);
        Sim::PtyHost otherHost(other, TestPeer::Timing());
        QVERIFY(otherHost.start());
        QVERIFY(PointLink(m.link, otherHost.slavePath()));
        QSignalSpy found(&m.session, &Core::Session::meterFound);

        QVERIFY(ReopenUntil(m.session, [] { return Device::PortNumber == 1; }));
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.first().first().value<Core::SearchResult>().model, 0);
        QCOMPARE(Device::ModelIndex, 0);
        QCOMPARE(Main::FrequencyLow, 25);
        QCOMPARE(Main::FrequencyHigh, 1000000);
        QVERIFY(Main::SyncPending);
        QCOMPARE(TestPeer::TakeRequests(otherHost, 1).first(), Request(0x40)); // asked first

        QVERIFY(TickWithFrame(m.session).accepted);
        // Read with the KT-41's phase sign, the capacitor is a capacitor: about 100 nF in pF.
        const float c = Device::ParameterValues[Device::ParC];
        QVERIFY2(c > 9.0e4f && c < 1.1e5f, qPrintable(QString::number(double(c))));
    }

    // Another program's terminal took the freed path: asked, refused, never polled, kept lost.
    void terminalWithoutIdentityIsNeverPolled() {
        LostMeter m;
        QVERIFY(m.FindThenLose());
        Sim::PtyHost stranger([](const QByteArray &) { return QByteArray(); }, TestPeer::Timing());
        QVERIFY(stranger.start());
        QVERIFY(PointLink(m.link, stranger.slavePath()));
        QSignalSpy refused(&m.session, &Core::Session::portRefused);
        QSignalSpy found(&m.session, &Core::Session::meterFound);

        QVERIFY(ReopenUntil(m.session, [&refused] { return refused.count() == 1; }));
        QCOMPARE(refused.first().first().toUInt(), 1u);
        QCOMPARE(Device::PortNumber, 0);
        QCOMPARE(Device::LostPortNumber, 1u); // tried again later, at the same path
        QCOMPARE(Device::ModelIndex, 2);
        for (int tick = 0; tick < 3; ++tick)
            m.session.Tick();
        m.session.tmr.stop();
        m.session.TryReopenPort(); // asked again, and only asked
        QCOMPARE(refused.count(), 2);
        QCOMPARE(found.count(), 0);
        QCOMPARE(TestPeer::TakeRequests(stranger, 2),
                 (QList<QByteArray>{Request(0x40), Request(0x40)}));
    }

    // The same model back: the program's frequency window (a run's bounds) stays as it was.
    void sameModelKeepsTheWindow() {
        LostMeter m;
        QVERIFY(m.FindThenLose());
        Main::FrequencyLow = 1000;
        Main::FrequencyHigh = 1000; // as after a series of samples at 1 kHz
        QVERIFY(m.host.start());
        QVERIFY(PointLink(m.link, m.host.slavePath()));
        QVERIFY(ReopenUntil(m.session, [] { return Device::PortNumber == 1; }));
        QCOMPARE(Device::ModelIndex, 2);
        QCOMPARE(Main::FrequencyLow, 1000);
        QCOMPARE(Main::FrequencyHigh, 1000);
        QVERIFY(!Main::SyncPending); // the program does not take the returning meter's values
    }
};

QTEST_GUILESS_MAIN(TestLineWatch)
#include "test_line_watch.moc"
