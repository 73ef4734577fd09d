// A line that fails: why a port cannot be opened, a device that vanishes while the event loop
// runs, the way back to it at the same path, and the silence rule the window shows.
#include "link/device.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Device;

namespace {

constexpr int Generous = 5000; // ms; a deadline for what must happen, never a measured time

Sim::HostOptions PeerTiming() {
    Sim::HostOptions options;
    options.thinkMs = 8; // well inside the shortest read time-out on a busy machine
    return options;
}

Sim::Component Capacitor() {
    Sim::Component dut;
    dut.capacitance = 100e-9;
    return dut;
}

struct HelperRun {
    int exitCode = -1;
    QStringList lines;
    QString failure; // why the helper did not run to its end; empty when it did
};

// Runs the port-user helper. unprivileged: it becomes the user nobody itself once started, so
// it starts wherever the build lies.
HelperRun RunPortUser(const QStringList &arguments, bool unprivileged) {
    QProcess helper;
    helper.start(QStringLiteral(IMPEDIX_PORT_USER),
                 unprivileged ? arguments + QStringList{QStringLiteral("nobody")} : arguments);
    HelperRun run;
    if (!helper.waitForFinished(Generous * 2)) {
        run.failure = QStringLiteral("the helper %1 did not finish: %2")
                          .arg(QStringLiteral(IMPEDIX_PORT_USER), helper.errorString());
        helper.kill();
        helper.waitForFinished();
        return run;
    }
    run.lines = QString::fromUtf8(helper.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (helper.exitStatus() != QProcess::NormalExit)
        run.failure = QStringLiteral("the helper crashed: %1").arg(helper.errorString());
    else
        run.exitCode = helper.exitCode();
    return run;
}

// Replaces the symbolic link at link with one to target in a single step, as a device node
// that comes back would appear.
bool PointLink(const QString &link, const QString &target) {
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::link(target, fresh) &&
           ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(link).constData()) == 0;
}

DeviceAccess Probed(int error, bool serial, bool groupMayUse, bool inGroupNow, bool inGroupListed) {
    DeviceAccess access;
    access.error = error;
    access.serial = serial;
    access.user = QStringLiteral("alice");
    access.group = QStringLiteral("dialout");
    access.groupMayUse = groupMayUse;
    access.inGroupNow = inGroupNow;
    access.inGroupListed = inGroupListed;
    return access;
}

} // namespace

Q_DECLARE_METATYPE(DeviceAccess)

class TestPortFaults : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    OpenFailure OpenFailureOf(const QString &path) {
        ClearPortMappings();
        MapPort(1, path);
        const bool opened = OpenPort(1);
        const OpenFailure failure = LastOpenFailure;
        ClosePort();
        if (opened) return {};
        return failure;
    }

private slots:
    void init() {
        ResetState();
        InitLinkSettings();
    }
    void cleanup() { ResetState(); }

    void openingReasons() {
        QVERIFY(m_dir.isValid());
        const QString missing = m_dir.filePath(QStringLiteral("no-such-device"));
        OpenFailure failure = OpenFailureOf(missing);
        QCOMPARE(failure.reason, OpenFailureReason::NoDevice);
        QVERIFY2(failure.text.contains(missing), qPrintable(failure.text));
        QCOMPARE(PortNumber, 0);

        const QString dangling = m_dir.filePath(QStringLiteral("dangling"));
        QVERIFY(QFile::link(missing, dangling));
        QCOMPARE(OpenFailureOf(dangling).reason, OpenFailureReason::NoDevice);

        QFile regular(m_dir.filePath(QStringLiteral("plain-file")));
        QVERIFY(regular.open(QIODevice::WriteOnly));
        regular.close();
        failure = OpenFailureOf(regular.fileName());
        QCOMPARE(failure.reason, OpenFailureReason::NotSerial);
        QVERIFY(failure.text.contains(regular.fileName()));
        QCOMPARE(OpenFailureOf(m_dir.path()).reason, OpenFailureReason::NotSerial);
        // A character device that is no terminal.
        QCOMPARE(OpenFailureOf(QStringLiteral("/dev/null")).reason, OpenFailureReason::NotSerial);

        // An unmapped port while mappings exist has no device at all.
        ClearPortMappings();
        MapPort(2, missing);
        QVERIFY(!OpenPort(1));
        QCOMPARE(LastOpenFailure.reason, OpenFailureReason::NoDevice);

        // A port that opens leaves no reason behind.
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        QCOMPARE(OpenFailureOf(host.slavePath()).reason, OpenFailureReason::None);
    }

    void busyPortHeldByAnotherProgram() {
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        QProcess holder;
        holder.start(QStringLiteral(IMPEDIX_PORT_USER), {QStringLiteral("hold"), host.slavePath()});
        QVERIFY(holder.waitForReadyRead(Generous * 2));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        const OpenFailure failure = OpenFailureOf(host.slavePath());
        QCOMPARE(failure.reason, OpenFailureReason::Busy);
        QVERIFY2(failure.text.contains(host.slavePath()), qPrintable(failure.text));

        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(Generous * 2));
        // Released by the other program: ours now.
        QCOMPARE(OpenFailureOf(host.slavePath()).reason, OpenFailureReason::None);
    }

    // A second copy of the program is refused the meter whoever runs it (the superuser too) and
    // however it names the device: by a symbolic link while the first used the device's own
    // path, or the other way round. The refusal is the busy one; closing the port lets go.
    void secondCopyIsRefusedWhateverTheName() {
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        const QString real = host.slavePath();
        const QString link = m_dir.filePath(QStringLiteral("meter-link"));
        QFile::remove(link);
        QVERIFY(QFile::link(real, link));
        const QString busy = QString::number(static_cast<int>(OpenFailureReason::Busy));

        const struct {
            QString ours;
            QString theirs;
        } cases[] = {{link, real}, {real, link}, {real, real}};
        for (const auto &names : cases) {
            ClearPortMappings();
            MapPort(1, names.ours);
            QVERIFY(OpenPort(1));
            HelperRun run = RunPortUser({QStringLiteral("open"), names.theirs}, false);
            QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
            QCOMPARE(run.exitCode, 0);
            QStringList lines = run.lines;
            QVERIFY(lines.size() >= 2);
            QVERIFY2(lines.at(1).startsWith(busy + QLatin1Char('\t')), qPrintable(lines.join('|')));
            QVERIFY2(lines.at(1).endsWith(OpenFailureText(OpenFailureReason::Busy, names.theirs)),
                     qPrintable(lines.at(1)));

            ClosePort();
            run = RunPortUser({QStringLiteral("open"), names.theirs}, false);
            QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
            lines = run.lines;
            QVERIFY(lines.size() >= 2);
            QVERIFY2(lines.at(1).startsWith(QLatin1String("0\t")), qPrintable(lines.join('|')));
        }
    }

    void noPermissionNamesTheGroup() {
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        const QByteArray path = QFile::encodeName(host.slavePath());
        HelperRun run;
        QString group;
        if (geteuid() == 0) {
            // As a serial device is set up: owned by root, read and write for one group. The open
            // runs as an unprivileged user who is not in it.
            const struct group *dialout = getgrnam("dialout");
            const gid_t gid = dialout ? dialout->gr_gid : 0;
            group = QString::fromLocal8Bit(dialout ? dialout->gr_name : "root");
            QVERIFY(::chown(path.constData(), 0, gid) == 0);
            QVERIFY(::chmod(path.constData(), 0660) == 0);
            run = RunPortUser({QStringLiteral("open"), host.slavePath()}, true);
            if (run.exitCode == 77)
                QSKIP(qPrintable(QStringLiteral("cannot run a process as an unprivileged user "
                                                "here: ") +
                                 run.lines.value(0)));
            QVERIFY2(run.lines.value(0) != QLatin1String("euid 0"), "the open still ran as root");
        } else {
            // Our own pseudo-terminal, with every right taken away.
            QVERIFY(::chmod(path.constData(), 0) == 0);
            run = RunPortUser({QStringLiteral("open"), host.slavePath()}, false);
        }
        QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
        QCOMPARE(run.exitCode, 0);
        const QStringList &lines = run.lines;
        const QStringList answer = lines.value(1).split(QLatin1Char('\t'));
        QCOMPARE(answer.value(0).toInt(), static_cast<int>(OpenFailureReason::NoPermission));
        QVERIFY2(answer.value(1).contains(host.slavePath()), qPrintable(lines.join('|')));
        if (!group.isEmpty())
            QVERIFY2(answer.value(1).contains(QStringLiteral("группу ") + group),
                     qPrintable(answer.value(1)));
    }

    // The rules the window and --list-ports share.
    void reasonRules_data() {
        QTest::addColumn<DeviceAccess>("access");
        QTest::addColumn<OpenFailureReason>("reason");
        QTest::addColumn<GroupRemedy>("remedy");
        const auto None = OpenFailureReason::None;
        QTest::newRow("opens") << Probed(0, true, true, true, true) << None << GroupRemedy::InGroup;
        QTest::newRow("nothing at the path") << Probed(ENOENT, true, false, false, false)
                                             << OpenFailureReason::NoDevice << GroupRemedy::None;
        QTest::newRow("a file on the way") << Probed(ENOTDIR, true, false, false, false)
                                           << OpenFailureReason::NoDevice << GroupRemedy::None;
        for (const int error : {ENXIO, ENODEV, EIO})
            QTest::addRow("nothing behind the node, errno %d", error)
                << Probed(error, true, true, true, true) << OpenFailureReason::NoHardware
                << GroupRemedy::InGroup;
        QTest::newRow("held exclusively") << Probed(EBUSY, true, true, true, true)
                                          << OpenFailureReason::Busy << GroupRemedy::InGroup;
        QTest::newRow("a directory") << Probed(EISDIR, false, true, false, false)
                                     << OpenFailureReason::NotSerial << GroupRemedy::JoinGroup;
        QTest::newRow("opens, but no terminal")
            << Probed(0, false, true, true, false) << OpenFailureReason::NotSerial
            << GroupRemedy::InGroup;
        // A file is no port, whatever its rights.
        QTest::newRow("unreadable file") << Probed(EACCES, false, false, false, false)
                                         << OpenFailureReason::NotSerial << GroupRemedy::None;
        QTest::newRow("not in the group")
            << Probed(EACCES, true, true, false, false) << OpenFailureReason::NoPermission
            << GroupRemedy::JoinGroup;
        QTest::newRow("joined after logging in")
            << Probed(EACCES, true, true, false, true) << OpenFailureReason::NoPermission
            << GroupRemedy::LogInAgain;
        QTest::newRow("in the group, still refused")
            << Probed(EPERM, true, true, true, true) << OpenFailureReason::NoPermission
            << GroupRemedy::InGroup;
        QTest::newRow("group may not use it")
            << Probed(EACCES, true, false, false, true) << OpenFailureReason::NoPermission
            << GroupRemedy::None;
        QTest::newRow("a loop of links") << Probed(ELOOP, true, false, false, false)
                                         << OpenFailureReason::Other << GroupRemedy::None;
    }
    void reasonRules() {
        QFETCH(DeviceAccess, access);
        QFETCH(OpenFailureReason, reason);
        QFETCH(GroupRemedy, remedy);
        QCOMPARE(ReasonFor(access), reason);
        QCOMPARE(RemedyFor(access), remedy);
    }

    // Opened by the system but refused by the serial port: another program's lock. The probe
    // and the reason on a real device.
    void probeOfRealDevices() {
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        const DeviceAccess terminal = ProbeDevice(host.slavePath());
        QCOMPARE(terminal.error, 0);
        QVERIFY(terminal.serial);
        QCOMPARE(ReasonFor(terminal), OpenFailureReason::None);
        QCOMPARE(ClassifyOpenFailure(host.slavePath()).reason, OpenFailureReason::Busy);
        QCOMPARE(ReasonFor(ProbeDevice(QStringLiteral("/dev/null"))), OpenFailureReason::NotSerial);
        QCOMPARE(ReasonFor(ProbeDevice(m_dir.filePath(QStringLiteral("absent")))),
                 OpenFailureReason::NoDevice);
    }

    void failureTexts() {
        const QString path = QStringLiteral("/dev/ttyUSB0");
        QCOMPARE(OpenFailureText(OpenFailureReason::None, path), QString());
        QCOMPARE(OpenFailureText(OpenFailureReason::NoDevice, QString()),
                 QStringLiteral("нет устройства"));
        QCOMPARE(OpenFailureText(OpenFailureReason::NoPermission, path, QStringLiteral("dialout")),
                 QStringLiteral("нет доступа к /dev/ttyUSB0, войдите в группу dialout"));
        QCOMPARE(OpenFailureText(OpenFailureReason::NoPermission, path),
                 QStringLiteral("нет доступа к /dev/ttyUSB0"));
        // Each reason says something of its own.
        QStringList texts;
        for (OpenFailureReason reason :
             {OpenFailureReason::NoDevice, OpenFailureReason::NoPermission, OpenFailureReason::Busy,
              OpenFailureReason::NotSerial, OpenFailureReason::Other})
            texts << OpenFailureText(reason, path);
        texts.removeDuplicates();
        QCOMPARE(texts.size(), 5);
        // The window does not tell a missing device from a node with nothing behind it.
        QCOMPARE(OpenFailureText(OpenFailureReason::NoHardware, path),
                 OpenFailureText(OpenFailureReason::NoDevice, path));
    }

    // The meter hangs up while the program polls it from the event loop, as the window does.
    void hangUpClosesThePortAndItComesBackAtTheSamePath() {
        QVERIFY(m_dir.isValid());
        Sim::Instrument meter(2, Capacitor());
        Sim::PtyHost host(meter, PeerTiming());
        QVERIFY(host.start());
        const QString link = m_dir.filePath(QStringLiteral("meter"));
        QVERIFY(PointLink(link, host.slavePath()));
        MapPort(1, link);
        QVERIFY(OpenPort(1));

        int accepted = 0;
        QTimer tick;
        tick.setInterval(40);
        QObject::connect(&tick, &QTimer::timeout, [&accepted] {
            if (ReadMeasurement()) ++accepted;
        });
        tick.start();
        QTRY_VERIFY_WITH_TIMEOUT(accepted >= 3, Generous);

        // The device node goes with the meter: the link shows nothing while it is away (the open
        // port is not affected), so reopening can reach nothing but the meter's return, whatever
        // terminal numbers others take.
        QVERIFY(PointLink(link, m_dir.filePath(QStringLiteral("gone"))));
        host.setFault(Sim::Fault::HangUp, 1);
        QTRY_VERIFY_WITH_TIMEOUT(PortNumber == 0, Generous);
        QCOMPARE(PortHandle, nullptr); // nothing left to retry from the event loop
        QCOMPARE(LostPortNumber, 1u);
        QCOMPARE(LostPortPath, link);
        QVERIFY(!ReopenLostPort());
        QCOMPARE(LostPortNumber, 1u);

        // The device returns at the same path (a new pseudo-terminal behind the same link).
        QVERIFY(host.start());
        QVERIFY(PointLink(link, host.slavePath()));
        const int before = accepted;
        QVERIFY(ReopenLostPort());
        QCOMPARE(PortNumber, 1);
        QCOMPARE(LostPortNumber, 0u);
        QTRY_VERIFY_WITH_TIMEOUT(accepted > before, Generous);
    }

    // An open port that nobody polls must not be left failing in the event loop either.
    void hangUpOfAnIdlePortClosesIt() {
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        MapPort(4, host.slavePath());
        QVERIFY(OpenPort(4));
        host.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(PortNumber == 0, Generous);
        QCOMPARE(LostPortNumber, 4u);
    }

    void choosingAnotherPortForgetsTheLostOne() {
        Sim::PtyHost host([](const QByteArray &) { return QByteArray(); });
        QVERIFY(host.start());
        MapPort(1, host.slavePath());
        QVERIFY(OpenPort(1));
        host.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(LostPortNumber == 1u, Generous);
        QVERIFY(!OpenPort(2));
        QCOMPARE(LostPortNumber, 0u);
        QVERIFY(host.start());
        MapPort(1, host.slavePath());
        QVERIFY(!ReopenLostPort());
        QCOMPARE(PortNumber, 0);
    }

    void silenceRule_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<qint64>("seconds");
        QTest::newRow("polling not begun") << qint64(-1) << false << qint64(0);
        QTest::newRow("just now") << qint64(0) << false << qint64(0);
        QTest::newRow("just under a second") << qint64(999) << false << qint64(0);
        QTest::newRow("one second") << qint64(1000) << true << qint64(1);
        QTest::newRow("2.9 s") << qint64(2999) << true << qint64(2);
        QTest::newRow("an hour") << qint64(3600000) << true << qint64(3600);
    }
    void silenceRule() {
        QFETCH(qint64, ms);
        QFETCH(bool, silent);
        QFETCH(qint64, seconds);
        const Silence verdict = JudgeSilence(ms);
        QCOMPARE(verdict.silent, silent);
        QCOMPARE(verdict.seconds, seconds);
    }

    void silenceText() { QCOMPARE(SilenceText(3), QStringLiteral("Нет ответа 3 с")); }
};

QTEST_GUILESS_MAIN(TestPortFaults)
#include "test_port_faults.moc"
