// The client's steering of its fits (FIT:WEIGht, FIT:FIX, FIT:BOUNd) and the Kramers-Kronig
// check of the last run (FIT:KK?), against the fake meter's series R-C (50 ohm, 100 nF).
#include "fake_instrument.h"

#include "remote/client.h"
#include "tests/remote/client_exchange.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>

using namespace Remote;

namespace {

using RemoteTest::Drain;
using RemoteTest::Errors;
using RemoteTest::Send;

// A 12-point log run of the part, taken.
void Run(Fake::Instrument &meter, Client &session) {
    Send(session, "SWE:SPAC LOG;STAR 100;STOP 100000;POIN 12;:DISP:PAGE LIST;:INIT");
    for (int i = 0; i < 12; ++i)
        meter.deliver();
    session.poll();
    Drain(session);
}

QJsonObject Element(Client &session, const QByteArray &model, const char *key) {
    const QJsonObject fit = QJsonDocument::fromJson(Send(session, "FIT? " + model)).object();
    return fit.value("elements").toObject().value(key).toObject();
}

} // namespace

class TestScpiFit : public QObject {
    Q_OBJECT
private slots:
    void settings_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QList<int>>("errors");
        const QList<int> none;
        QTest::newRow("defaults") << QByteArray("FIT:WEIG?;FIX?;BOUN?")
                                  << QByteArray("MOD;\"\";\"\"\n") << none;
        QTest::newRow("weighting") << QByteArray("FIT:WEIGHT proportional;WEIG?;WEIG UNIT;WEIG?")
                                   << QByteArray("PROP;UNIT\n") << none;
        QTest::newRow("fixed, replaced, listed")
            << QByteArray("FIT:FIX \"R\",40;FIX r,45;FIX C1,1e-9;FIX?")
            << QByteArray("\"r\",+4.50000E+01,\"C1\",+1.00000E-09\n") << none;
        QTest::newRow("bound replaces a fixed key")
            << QByteArray("FIT:FIX R,40;BOUN \"R\",MIN,60;FIX?;BOUN?")
            << QByteArray("\"\";\"R\",+0.00000E+00,+6.00000E+01\n") << none;
        QTest::newRow("cleared") << QByteArray("FIT:FIX R,40;BOUN C,1e-9,MAX;:FIT:FIX:CLE;"
                                               ":FIT:BOUN:CLE;:FIT:FIX?;BOUN?")
                                 << QByteArray("\"\";\"\"\n") << none;
        QTest::newRow("reset") << QByteArray("FIT:FIX R,40;WEIG UNIT;*RST;FIT:FIX?;WEIG?")
                               << QByteArray("\"\";MOD\n") << none;
        QTest::newRow("unknown weighting")
            << QByteArray("FIT:WEIG LOG") << QByteArray() << QList<int>{IllegalParameterValue};
        QTest::newRow("fix without value")
            << QByteArray("FIT:FIX R") << QByteArray() << QList<int>{MissingParameter};
        QTest::newRow("fix with three")
            << QByteArray("FIT:FIX R,1,2") << QByteArray() << QList<int>{ParameterNotAllowed};
        QTest::newRow("fix not positive")
            << QByteArray("FIT:FIX R,-1;FIX R,0;FIX?") << QByteArray("\"\"\n")
            << QList<int>{DataOutOfRange, DataOutOfRange};
        QTest::newRow("no key") << QByteArray("FIT:FIX \"1R\",1;FIX \"\",1") << QByteArray()
                                << QList<int>{IllegalParameterValue, IllegalParameterValue};
        QTest::newRow("bound the wrong way")
            << QByteArray("FIT:BOUN R,5,1;BOUN R,MAX,MAX;BOUN R,1;BOUN?") << QByteArray("\"\"\n")
            << QList<int>{DataOutOfRange, DataOutOfRange, MissingParameter};
        QTest::newRow("kk takes nothing")
            << QByteArray("FIT:KK? 1") << QByteArray("\n") << QList<int>{ParameterNotAllowed};
    }
    void settings() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, answer);
        QFETCH(QList<int>, errors);
        Fake::Instrument meter;
        Client session(meter);
        QCOMPARE(Send(session, line), answer);
        QCOMPARE(Errors(session), errors);
    }

    // At most MaxFitSteering keys; another key after them is refused, a known one replaced.
    void steeringIsBounded() {
        Fake::Instrument meter;
        Client session(meter);
        for (int i = 0; i < MaxFitSteering; ++i)
            Send(session, "FIT:FIX R" + QByteArray::number(i) + ",1");
        QCOMPARE(Errors(session), QList<int>{});
        Send(session, "FIT:FIX R0,2;FIX X,1");
        QCOMPARE(Errors(session), QList<int>{DataOutOfRange});
        QVERIFY(Send(session, "FIT:FIX?").contains("\"R0\",+2.00000E+00"));
    }

    // The steering reaches the client's own FIT? and no one else's.
    void steeredFit() {
        Fake::Instrument meter;
        Client session(meter);
        Client other(meter);
        Run(meter, session);
        Send(session, "FIT:FIX \"r\",40");
        const QJsonObject r = Element(session, "series-rc", "R");
        QCOMPARE(r.value("state").toString(), QString("fixed"));
        QCOMPARE(r.value("value").toDouble(), 40.0);
        QCOMPARE(Element(other, "series-rc", "R").value("state").toString(), QString("determined"));
        // A key the model lacks: the fit is refused and says which keys it has.
        const QJsonObject refused =
            QJsonDocument::fromJson(Send(session, "FIT? parallel-rc")).object();
        QCOMPARE(refused.value("verdict").toString(), QString("refused"));
        QVERIFY(refused.value("message").toString().contains("no element r"));
        Send(session, "FIT:FIX:CLE;:FIT:BOUN C,MIN,50e-9");
        const QJsonObject c = Element(session, "series-rc", "C");
        QCOMPARE(c.value("state").toString(), QString("at_given_bound"));
        QCOMPARE(c.value("value").toDouble(), 50e-9);
        // Each weighting fits the exact part.
        for (const QByteArray w : {"MOD", "PROP", "UNIT"}) {
            Send(session, "FIT:BOUN:CLE;:FIT:WEIG " + w);
            const double value = Element(session, "series-rc", "C").value("value").toDouble();
            QVERIFY2(std::fabs(value / 100e-9 - 1.0) < 1e-4, w.constData());
        }
        QCOMPARE(Errors(session), QList<int>{});
    }

    void kramersKronig() {
        Fake::Instrument meter;
        Client session(meter);
        QCOMPARE(Send(session, "FIT:KK?"), QByteArray("\n"));
        QCOMPARE(Errors(session), QList<int>{DataStale});
        Run(meter, session);
        const QList<QByteArray> fields = Send(session, "FIT:KK?").trimmed().split(',');
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields[0], QByteArray("+1"));
        QVERIFY(fields[1].toInt() >= 1);
        QVERIFY(fields[3].toDouble() < 1e-3 && fields[4].toDouble() < 3e-3);
        QCOMPARE(Errors(session), QList<int>{});
        // The FIT? answer is what it was: no Kramers-Kronig key in it.
        const QJsonObject fit = QJsonDocument::fromJson(Send(session, "FIT? AUTO")).object();
        QVERIFY(!fit.isEmpty() && !fit.contains("kramers_kronig"));
    }
};

QTEST_GUILESS_MAIN(TestScpiFit)
#include "test_scpi_fit.moc"
