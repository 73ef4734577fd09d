// impedix --list-ports: why a device cannot be opened, the probe on real devices, the port
// numbers with and without mappings, and the program answering without a display.
#include "app/command_line.h"
#include "launch/port_listing.h"
#include "link/device_state.h"
#include "link/port_names.h"
#include "sim/pty_host.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <unistd.h>

using Launch::DeviceAccess;

Q_DECLARE_METATYPE(DeviceAccess)

namespace {

DeviceAccess Refused(int error, bool groupMayUse, bool inGroupNow, bool inGroupListed) {
    DeviceAccess access;
    access.error = error;
    access.user = QStringLiteral("alice");
    access.group = QStringLiteral("dialout");
    access.groupMayUse = groupMayUse;
    access.inGroupNow = inGroupNow;
    access.inGroupListed = inGroupListed;
    return access;
}

// A peer that never answers: the device only has to exist.
std::unique_ptr<Sim::PtyHost> Terminal() {
    auto host = std::make_unique<Sim::PtyHost>([](const QByteArray &) { return QByteArray(); });
    if (!host->start()) qFatal("no pseudo-terminal: %s", qPrintable(host->errorString()));
    return host;
}

} // namespace

class TestPortListing : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Device::ResetState(); }

    void reasonsForTheUser_data() {
        QTest::addColumn<DeviceAccess>("access");
        QTest::addColumn<QString>("text");
        QTest::newRow("opens") << Refused(0, true, false, false) << "yes";
        QTest::newRow("gone") << Refused(ENOENT, true, false, false) << "no: the device is gone";
        QTest::newRow("busy") << Refused(EBUSY, true, true, true)
                              << "no: busy, another program has it open";
        QTest::newRow("not fitted") << Refused(EIO, true, true, true)
                                    << "no: nothing answers behind it (a port that is not "
                                       "fitted, or a device unplugged)";
        QTest::newRow("not in the group")
            << Refused(EACCES, true, false, false)
            << "no: permission denied; the device belongs to group dialout: sudo usermod -aG "
               "dialout alice, then log out and in again";
        QTest::newRow("joined after logging in")
            << Refused(EACCES, true, false, true)
            << "no: permission denied; alice joined group dialout after this session began: log "
               "out and in again";
        QTest::newRow("group may not use it") << Refused(EACCES, false, false, false)
                                              << "no: permission denied; the device is open to "
                                                 "no group";
        QTest::newRow("in the group, still refused")
            << Refused(EPERM, true, true, true) << "no: permission denied";
    }
    void reasonsForTheUser() {
        QFETCH(DeviceAccess, access);
        QFETCH(QString, text);
        QCOMPARE(Launch::ExplainAccess(access), text);
    }

    void probeOnRealDevices() {
        const auto terminal = Terminal();
        QCOMPARE(Launch::ProbeAccess(terminal->slavePath()).error, 0);
        QCOMPARE(Launch::ProbeAccess(QStringLiteral("/nonexistent/ttyUSB0")).error, ENOENT);
        QTemporaryDir folder;
        QCOMPARE(Launch::ProbeAccess(folder.path()).error, EISDIR);

        // The program holds its port exclusively; only the superuser gets past that.
        QSerialPort port(terminal->slavePath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        if (geteuid() != 0) QCOMPARE(Launch::ProbeAccess(terminal->slavePath()).error, EBUSY);
    }

    // Mapped ports come first in port order, each with what a probe found.
    void mappedPortsFirst() {
        const auto terminal = Terminal();
        Device::MapPort(5, QStringLiteral("/nonexistent/ttyUSB9"));
        Device::MapPort(2, terminal->slavePath());
        const QList<Launch::PortRow> rows = Launch::ListedPorts();
        QVERIFY(rows.size() >= 2);
        QCOMPARE(rows.at(0).port, QStringLiteral("COM2"));
        QCOMPARE(rows.at(0).device, terminal->slavePath());
        QCOMPARE(rows.at(0).access, QStringLiteral("yes"));
        QCOMPARE(rows.at(1).port, QStringLiteral("COM5"));
        QCOMPARE(rows.at(1).access, QStringLiteral("no: the device is gone"));
        for (int i = 2; i < rows.size(); ++i)
            QCOMPARE(rows.at(i).port, QStringLiteral("-")); // present, but not used
    }

    // Without mappings the numbering is the one the program opens ports by.
    void systemNumbering() {
        const QList<Launch::PortRow> rows = Launch::ListedPorts();
        for (int i = 0; i < rows.size() && i < 16; ++i) {
            QCOMPARE(rows.at(i).port, QStringLiteral("COM%1").arg(i + 1));
            QCOMPARE(rows.at(i).device, Device::ResolvePortName(static_cast<unsigned>(i + 1)));
        }
    }

    void tableColumnsLineUp() {
        Launch::PortRow row{"COM12", "/dev/ttyUSB0", "0403:6001", "A50285BI", "FT232R", "yes"};
        Launch::PortRow other{"-", "/dev/ttyS0", "-", "-", "-", "no: the device is gone"};
        const QStringList lines = Launch::PortTable({row, other}).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4); // header, two rows, the final line end
        const int device = lines.at(0).indexOf(QLatin1String("DEVICE"));
        const int access = lines.at(0).indexOf(QLatin1String("CAN OPEN"));
        QCOMPARE(lines.at(1).indexOf(QLatin1String("/dev/ttyUSB0")), device);
        QCOMPARE(lines.at(2).indexOf(QLatin1String("/dev/ttyS0")), device);
        QCOMPARE(lines.at(1).indexOf(QLatin1String("yes")), access);
        QCOMPARE(lines.at(2).indexOf(QLatin1String("no: the device is gone")), access);
    }

    void commandLine() {
        QVERIFY(App::ParseCommandLine({QStringLiteral("--list-ports")}).listPorts);
        QVERIFY(!App::ParseCommandLine({}).listPorts);
    }

    // Runs as the user would, without any display.
    void printsWithoutDisplay() {
        const auto terminal = Terminal();
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(IMPEDIX_PATH),
                      {QStringLiteral("--port"), QStringLiteral("COM7=") + terminal->slavePath(),
                       QStringLiteral("--list-ports")});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QRegularExpression line(QStringLiteral("^COM7 +%1 +.* yes$")
                                          .arg(QRegularExpression::escape(terminal->slavePath())),
                                      QRegularExpression::MultilineOption);
        QVERIFY2(line.match(out).hasMatch(), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestPortListing)
#include "test_port_listing.moc"
