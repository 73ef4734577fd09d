// Frame decoding, parameter formulas and display lines, without a port.
#include "link/device.h"
#include "tests/link/frame_builder.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace Device;
using TestFrames::MakeFrame;

namespace {

constexpr float HalfPi = 1.5707963f;

bool Accept(const TestFrames::Frame &f) {
    return AcceptMeasurement(f.data(), 20);
}

QString Text(int index) {
    return QString::fromLatin1(ParameterText[index]);
}
QString Corrected(int index) {
    return QString::fromLatin1(CorrectedParameterText[index]);
}

QString LineFor(int index, float value, bool series = true) {
    Line out;
    BuildLine(index, value, series, out);
    return QString::fromLatin1(out);
}

} // namespace

class TestDecoding : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ModelIndex = 1;
        SeriesCircuit = 1;
    }

    void capacitorInSeriesOnBothConventions_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<float>("wirePhase");
        QTest::newRow("row 1 sends the angle as is") << 1 << -HalfPi;
        QTest::newRow("row 0 sends it negated") << 0 << HalfPi;
    }
    void capacitorInSeriesOnBothConventions() {
        QFETCH(int, model);
        QFETCH(float, wirePhase);
        ModelIndex = model;
        QVERIFY(Accept(MakeFrame(1000.0f, wirePhase, 1000)));
        QVERIFY(std::fabs(ParameterValues[ValResistance]) < 1e-3f);
        QCOMPARE(ParameterValues[ValReactance], -1000.0f);
        QVERIFY(qAbs(ParameterValues[ParC] - 159154.9f) < 0.1f);
        QVERIFY(qAbs(ParameterValues[ParL] / -1.591549e8f - 1.0f) < 1e-6f);
        QVERIFY(std::fabs(ParameterValues[ParD]) < 1e-6f);
        QVERIFY(qAbs(ParameterValues[ParFiz] + 90.0f) < 1e-3f);
        QVERIFY(qAbs(ParameterValues[ParFiy] - 90.0f) < 1e-3f);
        QCOMPARE(LastCapacitance, ParameterValues[ParC]);
        QCOMPARE(Text(ParC), QStringLiteral("Cs  159.1549nF"));
        QCOMPARE(Text(ParX), QStringLiteral("Xs -1000.000OM"));
        QCOMPARE(Text(ParF), QStringLiteral("F   1000.000Hz"));
    }

    void zeroMagnitudeInParallel() {
        SeriesCircuit = 0;
        const float before = LastCapacitance;
        QVERIFY(Accept(MakeFrame(0.0f, 0.3f, 1000)));
        QCOMPARE(ParameterValues[ValResistance], 9.9e8f);
        QCOMPARE(ParameterValues[ValReactance], 0.0f);
        QCOMPARE(ParameterValues[ParC], 0.0f);
        QCOMPARE(LastCapacitance, before);
        QCOMPARE(ParameterValues[ParG], static_cast<float>(1e9 / 9.9e8f));
        QCOMPARE(ParameterValues[ParB], 1.6e9f);
        QCOMPARE(ParameterValues[ParD], 0.0f);
        QCOMPARE(ParameterValues[ParQ], 9.9e9f);
        QCOMPARE(ParameterValues[ParY], 1.6e9f);
        QVERIFY(Text(ParC).startsWith(QLatin1String("Cp ")));
        QVERIFY(Text(ParZ).startsWith(QLatin1String("Z   ")));
    }

    void parallelOfPureResistanceIsOpenForTheReactance() {
        // An angle of exactly 0 gives B = 0: the parallel reactance would be infinite.
        SeriesCircuit = 0;
        QVERIFY(Accept(MakeFrame(50.0f, 0.0f, 1000)));
        QCOMPARE(ParameterValues[ValResistance], 50.0f);
        QCOMPARE(ParameterValues[ValReactance], 9.9e8f);
        QVERIFY(std::isfinite(ParameterValues[ParC]));
    }

    void dTimesQIsOneInBothCircuits() {
        for (std::uint8_t series : {std::uint8_t(1), std::uint8_t(0)}) {
            SeriesCircuit = series;
            QVERIFY(Accept(MakeFrame(120.0f, -0.9f, 5000)));
            QVERIFY(qAbs(ParameterValues[ParD] * ParameterValues[ParQ] - 1.0f) < 1e-5f);
        }
        // D is the same loss in either circuit, while R is not.
        SeriesCircuit = 1;
        QVERIFY(Accept(MakeFrame(120.0f, -0.9f, 5000)));
        const float seriesD = ParameterValues[ParD];
        const float seriesR = ParameterValues[ParR];
        SeriesCircuit = 0;
        QVERIFY(Accept(MakeFrame(120.0f, -0.9f, 5000)));
        QVERIFY(qAbs(seriesD / ParameterValues[ParD] - 1.0f) < 1e-4f);
        QVERIFY(ParameterValues[ParR] > 2.0f * seriesR);
    }

    void resistanceBeyondCapIsFixed() {
        QVERIFY(Accept(MakeFrame(2e10f, 0.0f, 1000)));
        QCOMPARE(ParameterValues[ParR], 9.9e12f);
    }

    void rejectedFramesUpdateOnlyWhatTheyReached() {
        QVERIFY(Accept(MakeFrame(1000.0f, -HalfPi, 1000)));
        const QString cLine = Text(ParC);
        const float z = ParameterValues[ParZ];

        // Status bit 7 clear: only the status is taken.
        QVERIFY(!Accept(MakeFrame(5.0f, 0.1f, 2000, 7, 0x01, 9, 2)));
        QCOMPARE(DeviceStatus, std::uint8_t(0x01));
        QCOMPARE(DeviceMode, std::uint8_t(3));
        QCOMPARE(FrequencyHz, 1000);

        // Zero frequency: the header is taken, the values are not.
        QVERIFY(!Accept(MakeFrame(5.0f, 0.1f, 0, 300, 0x80, 9, 2)));
        QCOMPARE(DeviceStatus, std::uint8_t(0x80));
        QCOMPARE(DeviceMode, std::uint8_t(9));
        QCOMPARE(DeviceRange, std::uint8_t(2));
        QCOMPARE(BiasMillivolts, 3000);
        QCOMPARE(FrequencyHz, 0);
        QCOMPARE(ParameterValues[ParZ], z);
        QCOMPARE(Text(ParC), cLine);

        // Short: nothing at all.
        const auto frame = MakeFrame(5.0f, 0.1f, 2000, 7, 0x81, 1, 1);
        QVERIFY(!AcceptMeasurement(frame.data(), 19));
        QCOMPARE(DeviceMode, std::uint8_t(9));
    }

    void biasScaleDependsOnTheModel() {
        ModelIndex = 0;
        QVERIFY(Accept(MakeFrame(10.0f, 0.0f, 1000, 0x012C)));
        QCOMPARE(BiasMillivolts, 30000);
        ModelIndex = 3;
        QVERIFY(Accept(MakeFrame(10.0f, 0.0f, 1000, 0x012C)));
        QCOMPARE(BiasMillivolts, 3000);
        QCOMPARE(Text(ParUb), QStringLiteral("Ub   3.000000V"));
        // An unknown row (one past the table) follows the common rules.
        ModelIndex = ModelCount;
        QVERIFY(Accept(MakeFrame(10.0f, -0.5f, 1000, 0x012C)));
        QCOMPARE(BiasMillivolts, 3000);
        QCOMPARE(ParameterValues[ValPhase], -0.5f);
    }

    // Values no measurement can have are rejected like a frame without status bit 7; each bound
    // alone, and a frame just inside it still taken.
    void impossibleFrames_data() {
        QTest::addColumn<float>("magnitude");
        QTest::addColumn<float>("phase");
        QTest::addColumn<int>("hz");
        QTest::addColumn<bool>("accepted");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        const float pi = static_cast<float>(M_PI); // as the instrument's float holds it
        QTest::newRow("negative |Z|") << -1.0f << 0.2f << 1000 << false;
        QTest::newRow("slightly negative |Z|") << -1e-30f << 0.2f << 1000 << false;
        QTest::newRow("zero |Z|") << 0.0f << 0.2f << 1000 << true;
        QTest::newRow("NaN |Z|") << nan << 0.2f << 1000 << false;
        QTest::newRow("infinite |Z|") << inf << 0.2f << 1000 << false;
        QTest::newRow("negative infinite |Z|") << -inf << 0.2f << 1000 << false;
        QTest::newRow("large |Z| still finite throughout") << 1e30f << 0.7f << 1000 << true;
        QTest::newRow("|Z| 1e37 overflows Z") << 1e37f << 0.7f << 1000 << false;
        QTest::newRow("largest float |Z|") << 3e38f << 0.7f << 1000 << false;
        QTest::newRow("|Z| 1e-40 overflows Y") << 1e-40f << 0.2f << 1000 << false;
        QTest::newRow("|Z| 1e-25 still finite") << 1e-25f << 0.2f << 1000 << true;
        QTest::newRow("angle 0: the zero-divisor values") << 100.0f << 0.0f << 1000 << true;
        QTest::newRow("resistance beyond the cap") << 2e10f << 0.0f << 1000 << true;
        QTest::newRow("NaN phase") << 100.0f << nan << 1000 << false;
        QTest::newRow("infinite phase") << 100.0f << -inf << 1000 << false;
        QTest::newRow("phase pi") << 100.0f << pi << 1000 << true;
        QTest::newRow("phase -pi") << 100.0f << -pi << 1000 << true;
        QTest::newRow("phase one step beyond pi")
            << 100.0f << std::nextafter(pi, 4.0f) << 1000 << false;
        QTest::newRow("phase one step beyond -pi")
            << 100.0f << std::nextafter(-pi, -4.0f) << 1000 << false;
        QTest::newRow("phase 3.15") << 100.0f << 3.15f << 1000 << false;
        QTest::newRow("phase of degrees") << 100.0f << 90.0f << 1000 << false;
        QTest::newRow("frequency 1 Hz") << 100.0f << 0.2f << 1 << false;
        QTest::newRow("frequency 10 Hz") << 100.0f << 0.2f << 10 << false;
        QTest::newRow("frequency 24 Hz") << 100.0f << 0.2f << 24 << false;
        QTest::newRow("lowest frequency of any model") << 100.0f << 0.2f << 25 << true;
        QTest::newRow("negative frequency") << 100.0f << 0.2f << -1 << false;
        QTest::newRow("frequency -1.5 GHz") << 100.0f << 0.2f << -1500000000 << false;
        QTest::newRow("highest frequency of any model") << 100.0f << 0.2f << 30000000 << true;
        QTest::newRow("above every model") << 100.0f << 0.2f << 30000001 << false;
    }
    void impossibleFrames() {
        QFETCH(float, magnitude);
        QFETCH(float, phase);
        QFETCH(int, hz);
        QFETCH(bool, accepted);
        QCOMPARE(LowestFrequencyOfAnyModel(), 25);
        QCOMPARE(HighestFrequencyOfAnyModel(), 30000000);
        for (int model : {0, 1}) {
            ModelIndex = model;
            for (std::uint8_t series : {std::uint8_t(1), std::uint8_t(0)}) {
                SeriesCircuit = series;
                QVERIFY(Accept(MakeFrame(1000.0f, -HalfPi, 1000, 0, 0x81, 3, 4)));
                const QString zLine = Text(ParZ);
                const float values[] = {ParameterValues[ParZ], ParameterValues[ValMagnitude],
                                        ParameterValues[ValPhase], ParameterValues[ParF]};

                QCOMPARE(Accept(MakeFrame(magnitude, phase, hz, 7, 0x83, 9, 2)), accepted);
                QCOMPARE(DeviceStatus, std::uint8_t(0x83)); // the status is taken either way
                if (accepted) {
                    QCOMPARE(FrequencyHz, hz);
                    QCOMPARE(ParameterValues[ValMagnitude], magnitude);
                    for (int i = 0; i < ParameterValueCount; ++i)
                        QVERIFY2(std::isfinite(ParameterValues[i]), qPrintable(QString::number(i)));
                    for (int i = 0; i < ParameterCount; ++i)
                        QVERIFY(std::strlen(ParameterText[i]) <= 31);
                    continue;
                }
                // Nothing else of it: header, values and lines as before.
                QCOMPARE(DeviceMode, std::uint8_t(3));
                QCOMPARE(DeviceRange, std::uint8_t(4));
                QCOMPARE(BiasMillivolts, 0);
                QCOMPARE(FrequencyHz, 1000);
                QCOMPARE(ParameterValues[ParZ], values[0]);
                QCOMPARE(ParameterValues[ValMagnitude], values[1]);
                QCOMPARE(ParameterValues[ValPhase], values[2]);
                QCOMPARE(ParameterValues[ParF], values[3]);
                QCOMPARE(Text(ParZ), zLine);
            }
        }
    }

    void garbageFramesNeverBreakTheLines() {
        std::uint32_t seed = 12345;
        std::uint8_t bytes[20];
        for (int round = 0; round < 5000; ++round) {
            for (auto &b : bytes) {
                seed = seed * 1664525u + 1013904223u;
                b = static_cast<std::uint8_t>(seed >> 24);
            }
            bytes[0] = 0xAA;
            SeriesCircuit = round & 1;
            AcceptMeasurement(bytes, 20);
            for (int i = 0; i < ParameterCount; ++i)
                QVERIFY(std::memchr(ParameterText[i], '\0', LineLength) != nullptr);
        }
    }

    void displayLines_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<float>("value");
        QTest::addColumn<bool>("series");
        QTest::addColumn<QString>("line");
        QTest::newRow("C in nF") << int(ParC) << 159154.9f << true << "Cs  159.1549nF";
        QTest::newRow("D small") << int(ParD) << 0.001234f << true << "D   0.001234";
        QTest::newRow("X negative 1000") << int(ParX) << -1e6f << true << "Xs -1000.000OM";
        QTest::newRow("F 50 kHz") << int(ParF) << 50000.0f << true << "F   50.00000kHz";
        QTest::newRow("F 1000 not scaled, cut") << int(ParF) << 1000.0f << true << "F   1000.000Hz";
        QTest::newRow("G prefix index 8") << int(ParG) << 1e21f << true << "Gs  1.000000 S";
        QTest::newRow("five decimals") << int(ParD) << 12.5f << true << "D   12.50000";
        QTest::newRow("four decimals") << int(ParD) << 123.25f << true << "D   123.2500";
        QTest::newRow("parallel letter") << int(ParR) << 1500.0f << false << "Rp  1.500000Om";
        QTest::newRow("three-letter name") << int(ParFiz) << -45.5f << true << "Fiz  -45.50000deg";
        QTest::newRow("micro prefix") << int(ParC) << 2.2e6f << true << "Cs  2.200000mkF";
        QTest::newRow("Y has no letter") << int(ParY) << 5.0f << true << "Y   5.000000nS";
        QTest::newRow("bias in volts") << int(ParUb) << 1600.0f << true << "Ub   1.600000V";
    }
    void displayLines() {
        QFETCH(int, index);
        QFETCH(float, value);
        QFETCH(bool, series);
        QFETCH(QString, line);
        QCOMPARE(LineFor(index, value, series), line);
    }

    void nonFiniteValuesFormatAsPrinted() {
        // Infinity keeps scaling until the last prefix, which is a blank.
        QCOMPARE(LineFor(ParD, std::numeric_limits<float>::infinity()),
                 QStringLiteral("D   inf  "));
        QVERIFY(LineFor(ParZ, std::numeric_limits<float>::quiet_NaN()).contains("nan"));
    }

    void appendToLineNeverOverruns() {
        Line line;
        ClearLine(line);
        QCOMPARE(AppendToLine(line, 31, 0, "x"), std::uint8_t(31));
        QCOMPARE(AppendToLine(line, 200, 0, "x"), std::uint8_t(31));
        QCOMPARE(AppendToLine(line, 28, 0, "abcdef"), std::uint8_t(31));
        QCOMPARE(line[LineLength - 1], '\0');
        QCOMPARE(QByteArray(line + 28, 3), QByteArray("abc"));
        QCOMPARE(AppendToLine(line, 0, 2, "wxyz"), std::uint8_t(2));
        QCOMPARE(QByteArray(line, 3), QByteArray("wx "));
    }

    void correctedLineDiffersOnlyInD() {
        QVERIFY(Accept(MakeFrame(1000.0f, -1.569f, 1000)));
        for (int i = 0; i < ParameterCount; ++i)
            QCOMPARE(Corrected(i), Text(i));
    }

    void polarHelpers() {
        FloatPair polar;
        ToPolar(polar, {0.0f, -3.0f});
        QCOMPARE(polar.first, 3.0f);
        QCOMPARE(polar.second, 1.570796f); // a zero real part gives +90 degrees whatever the sign
        ToPolar(polar, {-1.0f, 0.0f});
        QVERIFY(qAbs(polar.second - 3.1415927f) < 1e-6f);
        FloatPair z{1.0f, -1.0f}; // series R = 1, X = -1: parallel R = 2, X = -2
        ToParallel(z);
        QVERIFY(qAbs(z.first - 2.0f) < 1e-5f);
        QVERIFY(qAbs(z.second + 2.0f) < 1e-5f);
    }

    // What programs read: Y = 1/Z in both circuits, elements of the chosen circuit, and no
    // number where the quantity is undefined (the readouts show guard values there instead).
    void textbookValues_data() {
        QTest::addColumn<double>("magnitude");
        QTest::addColumn<double>("phase");
        QTest::addColumn<double>("frequency");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("series");
        QTest::addColumn<double>("expected"); // NaN: undefined
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // 1 uF with 1 ohm in series at 1 kHz: Xs = -159.155 ohms.
        const double xs = -1.0 / (2 * M_PI * 1000 * 1e-6);
        const double z = std::hypot(1.0, xs);
        const double th = std::atan2(xs, 1.0);
        QTest::newRow("Cs") << z << th << 1000.0 << int(ParC) << true << 1e-6;
        QTest::newRow("Rs") << z << th << 1000.0 << int(ParR) << true << 1.0;
        QTest::newRow("G is Re Y, not 1/Rs")
            << z << th << 1000.0 << int(ParG) << true << 1 / (z * z);
        QTest::newRow("B is Im Y, positive for C")
            << z << th << 1000.0 << int(ParB) << true << -xs / (z * z);
        QTest::newRow("G in parallel too")
            << z << th << 1000.0 << int(ParG) << false << 1 / (z * z);
        QTest::newRow("B in parallel same sign")
            << z << th << 1000.0 << int(ParB) << false << -xs / (z * z);
        QTest::newRow("Cp") << z << th << 1000.0 << int(ParC) << false
                            << (-xs / (z * z)) / (2 * M_PI * 1000);
        QTest::newRow("Rp") << z << th << 1000.0 << int(ParR) << false << z * z;
        QTest::newRow("D") << z << th << 1000.0 << int(ParD) << true << 1 / -xs;
        QTest::newRow("D parallel equal") << z << th << 1000.0 << int(ParD) << false << 1 / -xs;
        QTest::newRow("Fiz degrees") << z << th << 1000.0 << int(ParFiz) << true << th * 180 / M_PI;
        QTest::newRow("Fiy") << z << th << 1000.0 << int(ParFiy) << true << -th * 180 / M_PI;
        // 1 mH with 2 ohms at 10 kHz.
        const double xl = 2 * M_PI * 1e4 * 1e-3;
        const double zl = std::hypot(2.0, xl);
        const double tl = std::atan2(xl, 2.0);
        QTest::newRow("Ls") << zl << tl << 1e4 << int(ParL) << true << 1e-3;
        QTest::newRow("Lp") << zl << tl << 1e4 << int(ParL) << false
                            << zl * zl / (2 * M_PI * 1e4 * xl);
        QTest::newRow("B negative for L")
            << zl << tl << 1e4 << int(ParB) << true << -xl / (zl * zl);
        QTest::newRow("Q") << zl << tl << 1e4 << int(ParQ) << true << xl / 2;
        // A pure 1 Mohm resistor: no reactance, so D, C of the series circuit and Xp are undefined.
        QTest::newRow("resistor D") << 1e6 << 0.0 << 1000.0 << int(ParD) << true << nan;
        QTest::newRow("resistor Q") << 1e6 << 0.0 << 1000.0 << int(ParQ) << true << 0.0;
        QTest::newRow("resistor Cs") << 1e6 << 0.0 << 1000.0 << int(ParC) << true << nan;
        QTest::newRow("resistor Xp") << 1e6 << 0.0 << 1000.0 << int(ParX) << false << nan;
        QTest::newRow("resistor Rp") << 1e6 << 0.0 << 1000.0 << int(ParR) << false << 1e6;
        QTest::newRow("resistor B") << 1e6 << 0.0 << 1000.0 << int(ParB) << true << 0.0;
        // A short: no admittance.
        QTest::newRow("short Y") << 0.0 << 0.0 << 1000.0 << int(ParY) << true << nan;
        QTest::newRow("short G") << 0.0 << 0.0 << 1000.0 << int(ParG) << false << nan;
        QTest::newRow("bias is not an impedance")
            << 1.0 << 0.0 << 1000.0 << int(ParUb) << true << nan;
    }
    void textbookValues() {
        QFETCH(double, magnitude);
        QFETCH(double, phase);
        QFETCH(double, frequency);
        QFETCH(int, index);
        QFETCH(bool, series);
        QFETCH(double, expected);
        const double value =
            TextbookParameter(Textbook(magnitude, phase, frequency), index, series);
        if (std::isnan(expected)) {
            QVERIFY2(!std::isfinite(value), qPrintable(QString::number(value)));
        } else {
            QVERIFY2(
                std::fabs(value - expected) <= 1e-12 * std::fabs(expected) + 1e-300,
                qPrintable(
                    QStringLiteral("%1 != %2").arg(value, 0, 'g', 17).arg(expected, 0, 'g', 17)));
        }
    }

    void computeParameterIgnoresUnknownIndex() {
        const float before = ParameterValues[0];
        QCOMPARE(ComputeParameter(14), 0.0f);
        QCOMPARE(ComputeParameter(-1), 0.0f);
        QCOMPARE(ParameterValues[0], before);
    }
};

QTEST_GUILESS_MAIN(TestDecoding)
#include "test_decoding.moc"
