// impedix-cli as a process against a meter whose line fails as a bench's does: unplugged and
// power-cycled in the middle of a run (behind a symbolic link, so it returns at the same path),
// slow to answer, or never at the frequency asked for. Every row must be a reading at the asked
// conditions, the return must be told, and the exit status must say what happened.
#include "sim/instrument.h"
#include "sim/pty_host.h"
#include "tests/common/peer.h"
#include "tests/common/process_outcome.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

namespace {

using TestProcess::Outcome;
using TestProcess::WithoutDisplay;

constexpr int Generous = 60000; // ms; a guard against hanging, never a measured time
constexpr std::uint8_t InitKey = 71;
const Sim::Component Capacitor = *Sim::parseComponent(QStringLiteral("C=100n,R=3"));

bool PointLink(const QString &link, const QString &target) {
    const QString fresh = link + QStringLiteral(".new");
    QFile::remove(fresh);
    return QFile::link(target, fresh) && std::rename(QFile::encodeName(fresh).constData(),
                                                     QFile::encodeName(link).constData()) == 0;
}

// A KT-44 behind a link that a test can unplug and bring back power-cycled.
struct LinkedMeter {
    LinkedMeter() : meter(2, Capacitor), host(meter, TestPeer::Timing()) {
        link = dir.filePath(QStringLiteral("meter"));
    }
    bool Start() { return dir.isValid() && host.start() && PointLink(link, host.slavePath()); }
    void Unplug() {
        PointLink(link, dir.filePath(QStringLiteral("gone")));
        host.setFault(Sim::Fault::HangUp, 1);
    }
    bool ComeBackPowerCycled() {
        meter.respond(TestPeer::Request(InitKey));
        host.clearFault();
        return host.start() && PointLink(link, host.slavePath());
    }
    QString Port() const { return QStringLiteral("COM1=") + link; }

    Sim::Instrument meter;
    Sim::PtyHost host;
    QTemporaryDir dir;
    QString link;
};

QList<QJsonObject> JsonLines(const QByteArray &text) {
    QList<QJsonObject> lines;
    for (const QByteArray &line : text.split('\n'))
        if (!line.isEmpty()) lines << QJsonDocument::fromJson(line).object();
    return lines;
}

// Reads the running program's output until `until` holds for what came so far.
template <class Until>
bool ReadUntil(QProcess &program, QByteArray &out, QByteArray &err, Until until) {
    const QDeadlineTimer deadline(Generous);
    if (!program.waitForStarted(Generous)) return false;
    while (!until()) {
        if (deadline.hasExpired() || program.state() != QProcess::Running) return false;
        program.waitForReadyRead(100);
        out += program.readAllStandardOutput();
        err += program.readAllStandardError();
    }
    return true;
}

// The meter unplugged; once the program says the line is lost, it comes back power-cycled and
// the program runs to its end. What it wrote is in out and err.
bool UnplugUntilDone(QProcess &program, LinkedMeter &m, QByteArray &out, QByteArray &err) {
    m.Unplug();
    if (!ReadUntil(program, out, err, [&] { return err.contains("is lost"); })) return false;
    if (!m.ComeBackPowerCycled() || !program.waitForFinished(Generous)) return false;
    out += program.readAllStandardOutput();
    err += program.readAllStandardError();
    return true;
}

Outcome RunToEnd(const QStringList &arguments) {
    QProcess program;
    program.setProcessEnvironment(WithoutDisplay());
    program.start(QStringLiteral(IMPEDIX_CLI_PATH), arguments);
    return TestProcess::Finish(program, Generous);
}

} // namespace

class TestCliLine : public QObject {
    Q_OBJECT

private slots:
    // Unplugged after some rows and back power-cycled at 1 kHz: every row is at the asked
    // 10 kHz, the rows after the return carry the next connection, standard error says where
    // the line went and came back, and the exit status is 4 unless reconnections are accepted.
    void measureAcrossAReturn_data() {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("code");
        QTest::newRow("told by the exit status") << false << 4;
        QTest::newRow("accepted") << true << 0;
    }
    void measureAcrossAReturn() {
        QFETCH(bool, accept);
        QFETCH(int, code);
        LinkedMeter m;
        QVERIFY(m.Start());
        QStringList arguments{"measure", "--port", m.Port(),   "--frequency", "10000",
                              "--count", "60",     "--format", "json"};
        if (accept) arguments << "--accept-reconnections";
        QProcess program;
        program.setProcessEnvironment(WithoutDisplay());
        program.start(QStringLiteral(IMPEDIX_CLI_PATH), arguments);
        QByteArray out;
        QByteArray err;
        QVERIFY2(ReadUntil(program, out, err, [&] { return out.count('\n') >= 10; }), err);
        QVERIFY2(UnplugUntilDone(program, m, out, err), err);
        QCOMPARE(program.exitCode(), code);
        QVERIFY2(err.contains("came back (connection 2)"), err);
        const QList<QJsonObject> rows = JsonLines(out);
        QCOMPARE(rows.size(), 60);
        int previous = 1;
        for (const QJsonObject &row : rows) {
            QCOMPARE(row.value("frequency_hz").toInt(), 10000);
            const int connection = row.value("connection").toInt();
            QVERIFY(connection == previous || connection == previous + 1);
            previous = connection;
        }
        QCOMPARE(previous, 2);
        QCOMPARE(m.meter.state().frequencyHz, 10000); // told again after its power-on 1 kHz
    }

    // A sweep unplugged in the middle: the interrupted point is measured again, no point holds
    // a reading of another frequency, and the points after the return are marked.
    void sweepAcrossAReturn() {
        LinkedMeter m;
        QVERIFY(m.Start());
        QProcess program;
        program.setProcessEnvironment(WithoutDisplay());
        program.start(QStringLiteral(IMPEDIX_CLI_PATH),
                      {"sweep", "--port", m.Port(), "--from", "1000", "--to", "100000", "--points",
                       "40", "--format", "json"});
        QByteArray out;
        QByteArray err;
        QVERIFY2(ReadUntil(program, out, err, [&] { return m.meter.state().frequencyHz >= 30000; }),
                 err);
        QVERIFY2(UnplugUntilDone(program, m, out, err), err);
        QCOMPARE(program.exitCode(), 4);
        QVERIFY2(err.contains("is measured again"), err);
        const QList<QJsonObject> points = JsonLines(out);
        QCOMPARE(points.size(), 40);
        int marked = 0;
        for (const QJsonObject &point : points) {
            QCOMPARE(point.value("status").toInt(), 0);
            QCOMPARE(point.value("reported_frequency_hz").toDouble(),
                     point.value("frequency_hz").toDouble());
            marked += point.value("connection").toInt() == 2 ? 1 : 0;
        }
        QVERIFY(marked > 0 && marked < 40);
    }

    // A meter that answers after 75 ms: rows come, each at the asked frequency.
    void slowMeterGivesRows() {
        LinkedMeter m;
        QVERIFY(m.Start());
        QProcess program;
        program.setProcessEnvironment(WithoutDisplay());
        program.start(QStringLiteral(IMPEDIX_CLI_PATH),
                      {"measure", "--port", m.Port(), "--frequency", "5000", "--count", "15",
                       "--format", "json"});
        // Slow once found: the identity's own time-out is shorter than 75 ms.
        QVERIFY(m.host.waitForRequests(2, Generous));
        m.host.setThinkTime(75);
        const Outcome outcome = TestProcess::Finish(program, Generous);
        QCOMPARE(outcome.code, 0);
        const QList<QJsonObject> rows = JsonLines(outcome.out.toUtf8());
        QCOMPARE(rows.size(), 15);
        for (const QJsonObject &row : rows)
            QCOMPARE(row.value("frequency_hz").toInt(), 5000);
    }

    // A meter that never takes the frequency: no row at its own, a plain reason, exit 1.
    void noReadingAtTheAskedFrequency() {
        TestPeer::ScriptedMeter scripted;
        scripted.followsFrequency = false;
        Sim::PtyHost host(scripted.responder(), TestPeer::Timing());
        QVERIFY(host.start());
        const Outcome outcome =
            RunToEnd({"measure", "--port", "COM2=" + host.slavePath(), "--frequency", "10000",
                      "--seconds", "3", "--format", "json"});
        QCOMPARE(outcome.code, 1);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY2(outcome.err.contains("no reading came"), qPrintable(outcome.err));
        QVERIFY2(outcome.err.contains("another frequency than the one set (status 5)"),
                 qPrintable(outcome.err));
        // Without an end of its own the run ends as after a silent line.
        const Outcome counted = RunToEnd({"measure", "--port", "COM2=" + host.slavePath(),
                                          "--frequency", "10000", "--count", "5"});
        QCOMPARE(counted.code, 1);
        QVERIFY2(counted.err.contains("no reading at the conditions set for 10 s"),
                 qPrintable(counted.err));
    }
};

QTEST_GUILESS_MAIN(TestCliLine)
#include "test_cli_line.moc"
