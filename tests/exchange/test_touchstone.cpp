// One-port Touchstone: conversions to ohms, a round trip and the files refused.
#include "exchange/touchstone.h"

#include <QBuffer>
#include <QTest>

#include <cmath>

using namespace Exchange;

namespace {

ReadResult ReadText(const QByteArray &text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return ReadTouchstone(buffer);
}

bool Near(std::complex<double> a, std::complex<double> b, double relative = 1e-12) {
    return std::abs(a - b) <= relative * std::max(1.0, std::abs(b));
}

} // namespace

class TestTouchstone : public QObject {
    Q_OBJECT

private slots:
    void convertsToOhms_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("re");
        QTest::addColumn<double>("im");
        // Defaults GHz S MA R 50: S = 0 is the reference itself.
        QTest::newRow("S = 0") << QByteArray("1 0 0\n") << 1e9 << 50.0 << 0.0;
        QTest::newRow("S = 1/3 RI, R 75")
            << QByteArray("# MHz S RI R 75\n2 0.3333333333333333 0\n") << 2e6 << 150.0 << 0.0;
        // |S| = 1 at 90 degrees: Z = R(1+j)/(1-j) = jR.
        QTest::newRow("S MA 90 deg") << QByteArray("# kHz S MA\n3 1 90\n") << 3e3 << 0.0 << 50.0;
        // -6.0206 dB is |S| = 1/2, at 180 degrees S = -1/2: Z = R/3.
        QTest::newRow("S DB") << QByteArray("#Hz S DB R 60\n10 -6.020599913279624 180\n") << 10.0
                              << 20.0 << 0.0;
        QTest::newRow("Z RI normalised")
            << QByteArray("# Hz Z RI R 50\n1 2 -0.5\n") << 1.0 << 100.0 << -25.0;
        QTest::newRow("Y RI normalised")
            << QByteArray("# hz y ri r 10\n1 0 1\n") << 1.0 << 0.0 << -10.0;
        QTest::newRow("comments") << QByteArray(
                                         "! a sweep\n  # Hz Z RI ! ohms/50\n! x\n5 1 0 ! dc\n")
                                  << 5.0 << 50.0 << 0.0;
    }
    void convertsToOhms() {
        QFETCH(QByteArray, text);
        QFETCH(double, hz);
        QFETCH(double, re);
        QFETCH(double, im);
        const ReadResult r = ReadText(text);
        QVERIFY2(r.data, qPrintable(r.refusal.reason));
        QCOMPARE(r.data->points.size(), std::size_t(1));
        QCOMPARE(r.data->points[0].frequency, hz);
        const std::complex<double> z = Impedance(r.data->points[0]);
        QVERIFY2(Near(z, {re, im}, 1e-9),
                 qPrintable(QStringLiteral("%1 %2").arg(z.real()).arg(z.imag())));
    }

    void roundTripWithinFullPrecision() {
        SweepData data;
        data.name = QStringLiteral("DUT 1");
        data.notes = QStringLiteral("two\nlines");
        const double points[][3] = {
            {20.0, 1e6, -1.5}, {1000.25, 0.0123, 0.7}, {1e5, 3.3e-3, 3.1}, {2e8, 47.0, 0.0}};
        for (const auto &p : points)
            data.points.push_back({p[0], p[0], p[1], p[2], 0.0, 0});
        data.points.insert(data.points.begin() + 1, {500.0, 10.0, 1.0, 0.0, 0.0, 4});
        QByteArray text;
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        const WriteResult w = WriteTouchstone(out, data);
        QVERIFY2(w.written, qPrintable(w.refusal.reason));
        QVERIFY(text.contains("\n# Hz Z RI R 50\n"));
        QVERIFY(text.contains("! notes: lines\n"));
        const ReadResult r = ReadText(text);
        QVERIFY2(r.data, qPrintable(r.refusal.reason));
        QCOMPARE(r.data->points.size(), std::size_t(4));
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(r.data->points[i].frequency, points[i][0]);
            QVERIFY(Near(Impedance(r.data->points[i]), Phasor(points[i][1], points[i][2])));
        }
    }

    void refusesWhatCannotBeWritten() {
        SweepData bias;
        bias.quantity = Sweep::Quantity::Bias;
        bias.points = {{0.0, 1e3, 1.0, 0.0, 0.0, 0}, {1.0, 1e3, 1.0, 0.0, 1.0, 0}};
        QByteArray text;
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        QVERIFY(!WriteTouchstone(out, bias).written);
        SweepData falling;
        falling.points = {{2e3, 2e3, 1.0, 0.0, 0.0, 0}, {1e3, 1e3, 1.0, 0.0, 0.0, 0}};
        const WriteResult w = WriteTouchstone(out, falling);
        QVERIFY(!w.written);
        QVERIFY(!w.refusal.reason.isEmpty());
        QVERIFY(text.isEmpty());
    }

    void refusesBadFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("comments only") << QByteArray("! nothing\n# Hz Z RI\n") << 0;
        QTest::newRow("second option line") << QByteArray("# Hz Z RI\n1 1 0\n# Hz S MA\n") << 3;
        QTest::newRow("two option lines") << QByteArray("!\n# Hz\n# Hz\n1 1 0\n") << 3;
        QTest::newRow("same frequency") << QByteArray("# Hz Z RI\n1 1 0\n2 1 0\n2 1 0\n") << 4;
        QTest::newRow("falling frequency") << QByteArray("# Hz Z RI\n2 1 0\n1 1 0\n") << 3;
        QTest::newRow("two-port line") << QByteArray("# Hz Z RI\n1 1 0 0 0 0 0 1 0\n") << 2;
        QTest::newRow("two values") << QByteArray("# Hz Z RI\n1 1 0\n\n2 1\n") << 4;
        QTest::newRow("unknown parameter") << QByteArray("# Hz H RI\n1 1 0\n") << 1;
        QTest::newRow("R without value") << QByteArray("# Hz S RI R\n1 1 0\n") << 1;
        QTest::newRow("negative R") << QByteArray("# Hz S RI R -5\n1 1 0\n") << 1;
        QTest::newRow("S = 1") << QByteArray("# Hz S RI\n1 0.5 0\n2 1 0\n") << 3;
        QTest::newRow("Y = 0") << QByteArray("# Hz Y RI\n1 0 0\n") << 2;
        QTest::newRow("nan") << QByteArray("# Hz Z RI\n1 nan 0\n") << 2;
        QTest::newRow("frequency overflow") << QByteArray("# GHz Z RI\n1e305 1 0\n") << 2;
        QTest::newRow("negative frequency") << QByteArray("# Hz Z RI\n-1 1 0\n") << 2;
    }
    void refusesBadFiles() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        const ReadResult r = ReadText(text);
        QVERIFY(!r.data);
        QCOMPARE(r.refusal.line, line);
        QVERIFY(!r.refusal.reason.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTouchstone)
#include "test_touchstone.moc"
