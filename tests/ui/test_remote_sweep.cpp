// A client's sweep plan run through the window's session: the window's store takes the points,
// SWE:DATA? answers its table once the run is over and FIT? fits it.
#include "sweep/sweep_store.h"
#include "tests/ui/remote_client.h"
#include "tests/ui/window_fixture.h"
#include "ui/main_state.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QtTest>

#include <cmath>

namespace {

using TestWindow::Query;

QList<double> Numbers(const QByteArray &answer) {
    QList<double> values;
    for (const QByteArray &field : answer.split(','))
        values << field.toDouble();
    return values;
}

} // namespace

class RemoteSweepTest : public QObject {
    Q_OBJECT

private slots:
    void init() { TestWindow::ResetProgramState(); }

    void planRunsThroughTheWindowsStore() {
        TestWindow::Fixture f;
        f.AddMeter(1, 1);
        Main::Tb_tok &w = f.Start();
        TestWindow::Served remote(f.Session(), w);
        QVERIFY(remote.listening);
        const auto socket = remote.client();
        QVERIFY(socket);
        QTcpSocket &client = *socket;

        client.write("SWE:SPAC LOG;STAR 60000;STOP 90000;POIN 3;:DISP:PAGE LIST;:INIT\n");
        const QList<double> v = Numbers(Query(client, "SWE:DATA?"));
        QCOMPARE(Query(client, "SYST:ERR?"), QByteArray("0,\"No error\""));
        QCOMPARE(Main::TakenSweepPoints(), 3);
        QCOMPARE(v.size(), 3 * 15);
        const double planned[] = {60000, 73485, 90000};
        for (int i = 0; i < 3; ++i) {
            const double *p = &v[i * 15];
            QCOMPARE(p[0], planned[i]);
            QCOMPARE(p[0], static_cast<double>(Main::SweepFrequencies[i]));
            QCOMPARE(p[14], static_cast<double>(Main::SweepReportedFrequencies[i]));
            // Each textbook value is rebuilt from the point's own |Z| and angle: X = |Z| sin θ,
            // R = |Z| cos θ in the series circuit the window measures in.
            const double z = p[12], theta = p[13];
            QVERIFY(std::isfinite(z) && z > 0.0);
            QVERIFY(std::fabs(p[3] - z * std::cos(theta)) <= 1e-4 * z);
            QVERIFY(std::fabs(p[6] - z * std::sin(theta)) <= 1e-4 * z);
            QVERIFY(std::fabs(p[7] - 1.0 / z) <= 1e-4 / z);
        }
        const QJsonObject fit = QJsonDocument::fromJson(Query(client, "FIT? auto")).object();
        QCOMPARE(fit.value("points_used").toInt(), 3);
        QVERIFY(!fit.value("status").toString().isEmpty());
    }
};

QTEST_MAIN(RemoteSweepTest)
#include "test_remote_sweep.moc"
