// The plain "frequency,Re Z,Im Z" table and the sweep as data.
#include "exchange/impedance_csv.h"
#include "exchange/text_input.h"
#include "fit/fit_data.h"
#include "sweep/sweep_store.h"

#include <QBuffer>
#include <QTest>

#include <cmath>
#include <complex>
#include <limits>

using namespace Exchange;

namespace {

Exchange::ReadResult ReadText(const QByteArray &text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return ReadImpedanceCsv(buffer);
}

} // namespace

class TestImpedanceCsv : public QObject {
    Q_OBJECT

private slots:
    void roundTripIsExact() {
        SweepData data;
        const double values[][3] = {{0.1, 1e-3, -2.5},
                                    {1000.5, 123456.789, 0.333333333333},
                                    {2e9, -7.5e-12, 4.1e15},
                                    {3e9, 1.0 / 3.0, -0.0}};
        for (const auto &v : values) {
            const std::complex<double> z(v[1], v[2]);
            data.points.push_back({v[0], v[0], std::abs(z), std::arg(z), 0.0, 0});
        }
        data.points.push_back({5e9, 5e9, 1.0, 0.5, 0.0, 3}); // not a measurement: left out
        QByteArray text;
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        QVERIFY(WriteImpedanceCsv(out, data).written);
        QCOMPARE(text.count('\n'), 4);
        const ReadResult back = ReadText(text);
        QVERIFY2(back.data, qPrintable(back.refusal.reason));
        QCOMPARE(back.data->points.size(), std::size_t(4));
        for (std::size_t i = 0; i < 4; ++i) {
            const SweepPoint &a = data.points[i];
            const SweepPoint &b = back.data->points[i];
            QCOMPARE(b.frequency, a.frequency);
            const std::complex<double> za = std::polar(a.magnitude, a.phase);
            const std::complex<double> zb = std::polar(b.magnitude, b.phase);
            QVERIFY(std::abs(za - zb) <= 1e-12 * std::abs(za));
        }
    }

    void readsExponentFormsAndSkipsEmptyLines() {
        const ReadResult r = ReadText("\n1E3, 3.0e+0 ,-4e0\r\n\n  \n2.5e-1,0,1E-2\n");
        QVERIFY2(r.data, qPrintable(r.refusal.reason));
        QCOMPARE(r.data->points.size(), std::size_t(2));
        QCOMPARE(r.data->points[0].frequency, 1000.0);
        QCOMPARE(r.data->points[0].magnitude, 5.0);
        QCOMPARE(r.data->points[0].phase, std::atan2(-4.0, 3.0));
        QCOMPARE(r.data->points[1].frequency, 0.25);
    }

    void refusesBadFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("blank lines only") << QByteArray("\n \r\n") << 0;
        QTest::newRow("two fields") << QByteArray("1,2,3\n\n4,5\n") << 3;
        QTest::newRow("four fields") << QByteArray("1,2,3,4\n") << 1;
        QTest::newRow("semicolons") << QByteArray("1;2;3\n") << 1;
        QTest::newRow("header") << QByteArray("f,re,im\n1,2,3\n") << 1;
        QTest::newRow("nan") << QByteArray("1,2,3\n2,nan,3\n") << 2;
        QTest::newRow("inf") << QByteArray("1,2,3\n2,3,-inf\n") << 2;
        QTest::newRow("overflow") << QByteArray("1e999,2,3\n") << 1;
        QTest::newRow("magnitude overflow") << QByteArray("1,1.7e308,1.7e308\n") << 1;
        QTest::newRow("NUL byte") << QByteArray("1,2,3\n", 6) + QByteArray(1, '\0') << 0;
    }
    void refusesBadFiles() {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        const ReadResult r = ReadText(text);
        QVERIFY(!r.data);
        QCOMPARE(r.refusal.line, line);
        QVERIFY(!r.refusal.reason.isEmpty());
    }

    void refusesFilesOver16MiB() {
        const QByteArray line("1,2,3\n");
        QByteArray text;
        while (text.size() <= MaxFileBytes)
            text += line.repeated(1 << 16);
        const ReadResult r = ReadText(text);
        QVERIFY(!r.data);
        QCOMPARE(r.refusal.line, 0);
    }

    void storeAndFitSweep() {
        Main::SweepVariables store;
        store.SweepPoints = 3;
        store.SweepIndex = 3;
        const float hz[] = {100.0f, 1000.0f, 10000.0f};
        for (int i = 0; i < 3; ++i) {
            store.SweepFrequencies[i] = hz[i];
            store.SweepReportedFrequencies[i] = static_cast<int>(hz[i]) + 1;
            store.SweepMagnitudes[i] = 10.0f * (i + 1);
            store.SweepPhases[i] = -0.5f;
            store.SweepReportedBiases[i] = 250;
        }
        store.SweepStatuses[1] = 2;
        const SweepData data = FromStore(store);
        QCOMPARE(data.points.size(), std::size_t(3));
        QCOMPARE(data.points[2].planned, 10000.0);
        QCOMPARE(data.points[2].frequency, 10001.0);
        QCOMPARE(data.points[2].magnitude, 30.0);
        QCOMPARE(data.points[0].bias, 0.25);
        QCOMPARE(data.points[1].status, 2);

        const Fit::Sweep fit = ToFitSweep(data);
        QCOMPARE(fit.frequency, (std::vector<double>{101.0, 10001.0}));
        QCOMPARE(fit.impedance[1], std::polar(30.0, double(-0.5f)));

        const std::optional<Main::SweepVariables> back = ToStore(data);
        QVERIFY(back);
        const SweepData again = FromStore(*back);
        QCOMPARE(again.points.size(), data.points.size());
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(again.points[i].planned, data.points[i].planned);
            QCOMPARE(again.points[i].frequency, data.points[i].frequency);
            QCOMPARE(again.points[i].magnitude, data.points[i].magnitude);
            QCOMPARE(again.points[i].status, data.points[i].status);
            QCOMPARE(again.points[i].bias, data.points[i].bias);
        }

        SweepData bias = data;
        bias.quantity = Sweep::Quantity::Bias;
        QVERIFY(ToFitSweep(bias).frequency.empty());
        QVERIFY(!ToStore(SweepData{}));
    }

    void writingRefusesWhatCannotBeReadBack() {
        SweepData data;
        data.points = {{1.0, 1.0, 2.0, 0.0, 0.0, 0},
                       {2.0, 2.0, std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0, 0}};
        QByteArray text;
        QBuffer out(&text);
        out.open(QIODevice::WriteOnly);
        const WriteResult w = WriteImpedanceCsv(out, data);
        QVERIFY(!w.written);
        QVERIFY(w.refusal.reason.contains(QLatin1String("Point 2")));
        QVERIFY(text.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestImpedanceCsv)
#include "test_impedance_csv.moc"
