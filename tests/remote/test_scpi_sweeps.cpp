// Sweep plans, the last run's table and its fit through the command table against a fake meter.
#include "fake_instrument.h"

#include "link/decoding.h"
#include "remote/client.h"
#include "remote/function_types.h"

#include "tests/remote/client_exchange.h"
#include <QJsonDocument>
#include <QJsonObject>

#include <QtTest>

#include <cmath>
#include <memory>

using namespace Remote;

namespace {

using RemoteTest::Drain;
using RemoteTest::Errors;
using RemoteTest::Near;
using RemoteTest::Numbers;
using RemoteTest::Send;

} // namespace

class TestScpiSweeps : public QObject {
    Q_OBJECT
private slots:
    void sweepPlan_data();
    void sweepPlan();
    void sweepPlanConflicts();
    void sweepDataOfLastRun();
    void fitOfLastRun();
};

void TestScpiSweeps::sweepPlan_data() {
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QList<int>>("errors");
    const QList<int> none;
    // The linear fill is the window's: its step is held in single precision.
    QTest::newRow("linear") << QByteArray("SWE:STAR 100;STOP 1000;POIN 5")
                            << QByteArray("100,325,550,775,1000") << none;
    QTest::newRow("log") << QByteArray("SWE:SPAC LOG;STAR 100;STOP 1E5;POIN 4")
                         << QByteArray("100,1000,10000,100000") << none;
    QTest::newRow("suffixes and long forms")
        << QByteArray("SWEEP:SPACING LOGARITHMIC;START 1KHZ;STOP 1MAHZ;POINTS 3")
        << QByteArray("1000,31623,1000000") << none;
    QTest::newRow("bounds of the model")
        << QByteArray("SWE:STAR MIN;STOP MAX;POIN 2") << QByteArray("25,3000000") << none;
    QTest::newRow("below the model") << QByteArray("SWE:STAR 20;STOP 1000;POIN 2")
                                     << QByteArray("100,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("above the model") << QByteArray("SWE:STOP 4E6;POIN 2")
                                     << QByteArray("100,100000") << QList<int>{DataOutOfRange};
    QTest::newRow("too few points")
        << QByteArray("SWE:POIN 1;STOP 1000")
        << QByteArray("100,200,300,400,500,600,700,800,900,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("too many points")
        << QByteArray("SWE:STOP 1000;POIN 257")
        << QByteArray("100,200,300,400,500,600,700,800,900,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("points not whole")
        << QByteArray("SWE:STOP 1000;POIN 2.5")
        << QByteArray("100,200,300,400,500,600,700,800,900,1000") << QList<int>{DataOutOfRange};
    QTest::newRow("unknown spacing")
        << QByteArray("SWE:SPAC CUBIC") << QByteArray() << QList<int>{IllegalParameterValue};
    QTest::newRow("a list replaces the plan")
        << QByteArray("SWE:STAR 100;STOP 1000;POIN 5;:LIST:FREQ 50,60") << QByteArray("50,60")
        << none;
}

void TestScpiSweeps::sweepPlan() {
    QFETCH(QByteArray, commands);
    QFETCH(QByteArray, list);
    QFETCH(QList<int>, errors);
    Fake::Instrument meter;
    Client session(meter);
    Send(session, commands);
    QByteArray hertz;
    const QByteArray answer = Send(session, "LIST:FREQ?");
    for (double f : answer.trimmed().isEmpty() ? QList<double>{} : Numbers(answer)) {
        if (!hertz.isEmpty()) hertz += ',';
        hertz += QByteArray::number(static_cast<qint64>(std::llround(f)));
    }
    QCOMPARE(hertz, list);
    QCOMPARE(Errors(session), errors);
}

void TestScpiSweeps::sweepPlanConflicts() {
    Fake::Instrument meter;
    Client session(meter);
    QCOMPARE(Send(session, "SWE:SPAC?;STAR?;STOP?;POIN?"),
             QByteArray("LIN;+1.00000E+02;+1.00000E+05;+10\n"));
    // A start above the stop leaves the list as it was, and a run of it is refused, until the
    // stop is put above it.
    Send(session, "SWE:STAR 100;STOP 1000;POIN 2;STAR 5000");
    QCOMPARE(Send(session, "LIST:FREQ?"), QByteArray("+1.00000E+02,+1.00000E+03\n"));
    Send(session, "DISP:PAGE LIST;:TRIG:SOUR BUS;:TRIG");
    QCOMPARE(Errors(session), QList<int>{SettingsConflict});
    QVERIFY(!meter.listState().running);
    Send(session, "SWE:STOP 6000;:TRIG");
    QCOMPARE(Errors(session), QList<int>{});
    QVERIFY(meter.listState().running);
    // The plan belongs to the client.
    Client other(meter);
    QCOMPARE(Send(other, "SWE:STAR?"), QByteArray("+1.00000E+02\n"));
}

void TestScpiSweeps::sweepDataOfLastRun() {
    Fake::Instrument meter;
    Client session(meter);
    // No run yet: one empty line, and no data on the queue.
    QCOMPARE(Send(session, "SWE:DATA?"), QByteArray("\n"));
    QCOMPARE(Errors(session), QList<int>{DataStale});
    Send(session, "SWE:SPAC LOG;STAR 100;STOP 10000;POIN 3;:DISP:PAGE LIST;:TRIG:SOUR BUS");
    // The answer waits for the run's end, whoever asks.
    Client other(meter);
    QCOMPARE(Send(session, "TRIG;SWE:DATA?"), QByteArray());
    meter.deliver();
    meter.overload = true;
    meter.deliver();
    meter.overload = false;
    session.poll();
    QCOMPARE(Drain(session), QByteArray());
    QCOMPARE(Send(other, "SWE:DATA?"), QByteArray());
    meter.deliver();
    session.poll();
    other.poll();
    const QByteArray answer = Drain(session);
    QCOMPARE(Drain(other), answer);
    const QList<double> v = Numbers(answer);
    constexpr int Fields = 15; // planned f, the eleven, raw |Z|, theta, reported f
    QCOMPARE(v.size(), 3 * Fields);
    const double planned[] = {100, 1000, 10000};
    for (int i : {0, 2}) {
        const double *p = &v[i * Fields];
        const double f = planned[i];
        const double x = meter.part.reactance(f);
        const double z = meter.part.magnitude(f);
        QCOMPARE(p[0], f);
        QVERIFY(Near(p[1], meter.part.capacitance));          // C (F), series
        QVERIFY(Near(p[3], meter.part.resistance));           // R (Ohm)
        QVERIFY(Near(p[4], meter.part.resistance / (z * z))); // G = Re Y
        QVERIFY(Near(p[5], -x / (z * z)));                    // B = Im Y
        QVERIFY(Near(p[6], x));                               // X (Ohm)
        QVERIFY(Near(p[7], 1.0 / z));                         // |Y| (S)
        QVERIFY(Near(p[8], meter.part.resistance / std::fabs(x)));
        QVERIFY(Near(p[10], meter.part.phase(f) * 180.0 / M_PI));
        QVERIFY(Near(p[12], z));
        QVERIFY(Near(p[13], meter.part.phase(f)));
        QCOMPARE(p[14], f);
    }
    // An overloaded point: its values are the overload's, its frequencies stand.
    QCOMPARE(v[Fields], 1000.0);
    for (int c = 1; c <= 13; ++c)
        QCOMPARE(v[Fields + c], 9.9e37);
    QCOMPARE(v[Fields + 14], 1000.0);
    QCOMPARE(Errors(session), QList<int>{});
    // Frequencies and single-precision values come back whole.
    QVERIFY(answer.startsWith("+1.00000000E+02,"));
    QCOMPARE(Send(session, "SWE:DATA? 1"), QByteArray("\n"));
    QCOMPARE(Errors(session), QList<int>{ParameterNotAllowed});
}

void TestScpiSweeps::fitOfLastRun() {
    Fake::Instrument meter;
    Client session(meter);
    Send(session, "FIT? series-rc");
    QCOMPARE(Errors(session), QList<int>{DataStale});
    Send(session, "SWE:SPAC LOG;STAR 100;STOP 100000;POIN 12;:DISP:PAGE LIST;:INIT");
    QCOMPARE(Send(session, "FIT? \"Series-RC\""), QByteArray());
    for (int i = 0; i < 12; ++i)
        meter.deliver();
    session.poll();
    const QByteArray answer = Drain(session);
    QVERIFY2(answer.endsWith('\n') && answer.count('\n') == 1, answer.constData());
    const QJsonObject fit = QJsonDocument::fromJson(answer).object();
    QCOMPARE(fit.value("model").toString(), QString("series-rc"));
    QCOMPARE(fit.value("status").toString(), QString("ok"));
    QCOMPARE(fit.value("points_used").toInt(), 12);
    const QJsonObject elements = fit.value("elements").toObject();
    QVERIFY(Near(elements.value("R").toObject().value("value").toDouble(), 50.0));
    QVERIFY(Near(elements.value("C").toObject().value("value").toDouble(), 100e-9));
    // auto picks the series R-C of this part.
    const QJsonObject best = QJsonDocument::fromJson(Send(session, "FIT? AUTO")).object();
    QCOMPARE(best.value("model").toString(), QString("series-rc"));
    // A circuit string, which arrives in lower case: its own keys, the same values.
    const QJsonObject string = QJsonDocument::fromJson(Send(session, "FIT? \"R1-C1\"")).object();
    QCOMPARE(string.value("model").toString(), QString("R1-C1"));
    const QJsonObject values = string.value("elements").toObject();
    QVERIFY(Near(values.value("R1").toObject().value("value").toDouble(), 50.0));
    QVERIFY(Near(values.value("C1").toObject().value("value").toDouble(), 100e-9));
    QCOMPARE(Errors(session), QList<int>{});
    // An unknown model and a missing one are refused with one empty line each.
    QCOMPARE(Send(session, "FIT? cubic;FIT?"), QByteArray(";\n"));
    QCOMPARE(Errors(session), (QList<int>{IllegalParameterValue, MissingParameter}));
}

QTEST_GUILESS_MAIN(TestScpiSweeps)
#include "test_scpi_sweeps.moc"
