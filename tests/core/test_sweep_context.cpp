// A sweep's side file (the meter, the run, its conditions and the fit beside a data file) and a
// port reached by its device path: the object's values, null for what is unknown, a written file
// that parses, a user's file at that name never replaced; the typed text taken as a path, the
// system's devices the search still has to try, and a simulated meter chosen by its path.
#include "core/search.h"
#include "core/sweep_context.h"
#include "fit/fit_report.h"
#include "link/port_names.h"
#include "link/serial_link.h"
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/core/session_fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace TestCore;

namespace {

Core::SweepContext Context() {
    Core::SweepContext context;
    context.taken = QDateTime(QDate(2026, 12, 10), QTime(14, 3, 5), QTimeZone::utc());
    context.model = QStringLiteral("KT-41");
    context.quantity = Sweep::Quantity::Bias;
    context.points = 37;
    context.interrupted = true;
    context.source = QStringLiteral("run");
    context.conditions.levelVolts = 0.5;
    context.conditions.biasVolts = std::nan(""); // the swept quantity
    context.conditions.range = QStringLiteral("auto");
    context.conditions.circuit = QStringLiteral("parallel");
    return context;
}

QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSweepContext : public QObject {
    Q_OBJECT

private slots:
    void sideFileObject() {
        const QJsonObject object =
            Core::SideFileJson(Context(), QStringLiteral("run.csv"), nullptr);
        QCOMPARE(object.value(QStringLiteral("format")).toString(),
                 QStringLiteral("impedix-sweep-context"));
        QCOMPARE(object.value(QStringLiteral("version")).toInt(), 1);
        QCOMPARE(object.value(QStringLiteral("data_file")).toString(), QStringLiteral("run.csv"));
        QCOMPARE(object.value(QStringLiteral("taken")).toString(),
                 QStringLiteral("2026-12-10T14:03:05Z"));
        QCOMPARE(object.value(QStringLiteral("model")).toString(), QStringLiteral("KT-41"));
        QCOMPARE(object.value(QStringLiteral("swept")).toString(), QStringLiteral("bias"));
        QCOMPARE(object.value(QStringLiteral("points")).toInt(), 37);
        QCOMPARE(object.value(QStringLiteral("interrupted")).toBool(), true);
        const QJsonObject c = object.value(QStringLiteral("conditions")).toObject();
        QCOMPARE(c.value(QStringLiteral("level_v")).toDouble(), 0.5);
        QVERIFY(c.value(QStringLiteral("bias_v")).isNull());
        QCOMPARE(c.value(QStringLiteral("bias_external")).toBool(), false);
        QCOMPARE(c.value(QStringLiteral("range")).toString(), QStringLiteral("auto"));
        QVERIFY(c.value(QStringLiteral("speed")).isNull());
        QCOMPARE(c.value(QStringLiteral("circuit")).toString(), QStringLiteral("parallel"));
        QVERIFY(c.value(QStringLiteral("compensation")).isNull());
        QVERIFY(!object.contains(QStringLiteral("fit")));

        Fit::FitResult fit;
        fit.model = Fit::Model::Capacitor;
        fit.pointsUsed = 12;
        const QJsonObject withFit = Core::SideFileJson(Context(), QStringLiteral("run.csv"), &fit);
        QCOMPARE(withFit.value(QStringLiteral("fit")).toObject(), Fit::FitToJson(fit));
    }

    // Written whole; replaced when it is a side file; a file of the user's is left alone.
    void sideFileWritten() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString csv = dir.filePath(QStringLiteral("замер.csv"));
        QCOMPARE(Core::SideFilePath(csv), csv + QStringLiteral(".impedix.json"));
        QString error;
        QVERIFY2(Core::WriteSideFile(csv, Context(), nullptr, &error), qPrintable(error));
        QJsonParseError parse;
        const QJsonDocument document =
            QJsonDocument::fromJson(Contents(Core::SideFilePath(csv)), &parse);
        QCOMPARE(parse.error, QJsonParseError::NoError);
        QCOMPARE(document.object(),
                 Core::SideFileJson(Context(), QStringLiteral("замер.csv"), nullptr));
        QVERIFY(!QFileInfo::exists(csv)); // the table is the caller's

        Core::SweepContext other = Context();
        other.points = 5;
        QVERIFY(Core::WriteSideFile(csv, other, nullptr, &error));
        QCOMPARE(QJsonDocument::fromJson(Contents(Core::SideFilePath(csv)))
                     .object()
                     .value(QStringLiteral("points"))
                     .toInt(),
                 5);

        for (const QByteArray &theirs :
             {QByteArray("{\"format\": \"mine\"}"), QByteArray("not json at all"), QByteArray()}) {
            const QString data = dir.filePath(QStringLiteral("theirs.csv"));
            QFile file(Core::SideFilePath(data));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(theirs);
            file.close();
            error.clear();
            QVERIFY(!Core::WriteSideFile(data, Context(), nullptr, &error));
            QVERIFY(error.contains(QStringLiteral("not a sweep's side file")));
            QCOMPARE(Contents(Core::SideFilePath(data)), theirs);
        }
        QVERIFY(QDir(dir.filePath(QStringLiteral("folder.csv.impedix.json")))
                    .mkpath(QStringLiteral(".")));
        QVERIFY(!Core::WriteSideFile(dir.filePath(QStringLiteral("folder.csv")), Context(), nullptr,
                                     &error));
        QVERIFY(!Core::WriteSideFile(dir.filePath(QStringLiteral("none/x.csv")), Context(), nullptr,
                                     &error));
    }

    void typedPath_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("path");
        QTest::newRow("device") << QStringLiteral("/dev/ttyUSB3") << QStringLiteral("/dev/ttyUSB3");
        QTest::newRow("spaces around")
            << QStringLiteral("  /dev/pts/7 ") << QStringLiteral("/dev/pts/7");
        QTest::newRow("windows device")
            << QStringLiteral("\\\\.\\COM23") << QStringLiteral("\\\\.\\COM23");
        QTest::newRow("a port name") << QStringLiteral("COM3") << QString();
        QTest::newRow("a root alone") << QStringLiteral("/") << QString();
        QTest::newRow("relative") << QStringLiteral("dev/ttyUSB0") << QString();
        QTest::newRow("empty") << QString() << QString();
    }
    void typedPath() {
        QFETCH(QString, typed);
        QFETCH(QString, path);
        QCOMPARE(Core::TypedDevicePath(typed), path);
    }

    void extraSearch_data() {
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QStringList>("designed");
        QTest::addColumn<QStringList>("extra");
        const QString usb0 = QStringLiteral("/dev/ttyUSB0"), usb1 = QStringLiteral("/dev/ttyUSB1"),
                      s0 = QStringLiteral("/dev/ttyS0");
        QTest::newRow("the designed names reach them all")
            << QStringList{usb0, s0} << QStringList{usb0, s0, QString()} << QStringList{};
        QTest::newRow("mapped elsewhere: all of the system's, in order")
            << QStringList{usb1, usb0, s0} << QStringList{QStringLiteral("/tmp/pty"), QString()}
            << QStringList{usb1, usb0, s0};
        QTest::newRow("the meter came back at another adapter")
            << QStringList{usb1, s0} << QStringList{usb0, s0} << QStringList{usb1};
        QTest::newRow("none listed") << QStringList{} << QStringList{usb0} << QStringList{};
        QTest::newRow("listed twice, or nameless")
            << QStringList{usb1, QString(), usb1} << QStringList{} << QStringList{usb1};
    }
    void extraSearch() {
        QFETCH(QStringList, system);
        QFETCH(QStringList, designed);
        QFETCH(QStringList, extra);
        QCOMPARE(Core::ExtraSearchPaths(system, designed), extra);
    }

    // A meter at a path no port number reaches is opened as COM16 standing for it; at a path a
    // number reaches, as that number.
    void portByPath() {
        CleanState clean;
        Sim::Instrument meter(2, *Sim::parseComponent(QStringLiteral("C=100n,R=3")));
        Sim::PtyHost host(meter, TestPeer::Timing());
        QVERIFY(host.start());
        Core::Session session;
        Core::PortChoice choice = session.ChoosePortPath(host.slavePath());
        QVERIFY(choice.opened);
        QVERIFY(choice.answered);
        QCOMPARE(choice.port, Device::HighestPort);
        QCOMPARE(Device::PortPath, host.slavePath());

        Device::ClosePort();
        Device::SetHandPath(QString());
        Device::MapPort(3, host.slavePath());
        choice = session.ChoosePortPath(host.slavePath());
        QVERIFY(choice.opened);
        QCOMPARE(choice.port, 3u);
        QVERIFY(Device::HandPath().isEmpty());
        Device::ClosePort();
        choice = session.ChoosePortPath(QStringLiteral("/nonexistent/impedix-device"));
        QVERIFY(!choice.opened);
        QVERIFY(!choice.reason.isEmpty());
        ResetProgramState();
    }
};

QTEST_GUILESS_MAIN(TestSweepContext)
#include "test_sweep_context.moc"
