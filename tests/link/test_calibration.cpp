// The D calibration: the averaging run, the table lookup with the corrected line, the table
// model, and the table's file.
#include "link/code_page_1251.h"
#include "link/device.h"
#include "tests/link/frame_builder.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Device;

namespace {

using Rows = QVector<CalibrationRow>;

// A frame whose D is the given value in the series circuit: |Z| = 1000 ohm, tan(angle) = -1/D.
TestFrames::Frame FrameWithD(float d) {
    const float angle = -std::atan2(1.0f, d);
    return TestFrames::MakeFrame(1000.0f, angle, 1000);
}

void Feed(float d) {
    AdvanceCalibrationRun(d);
}

void FeedAll(std::initializer_list<float> values) {
    for (float d : values)
        Feed(d);
}

QString Corrected(int index) {
    return QString::fromLatin1(CorrectedParameterText[index]);
}

float Lookup(const Rows &rows, float c) {
    ClbTable().Load(rows);
    LastCapacitance = c;
    return LookupDCorrection();
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

Q_DECLARE_METATYPE(Device::CalibrationRow)

class TestCalibration : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ResetState();
        ModelIndex = 1;
    }

    // ---- The averaging run ----

    void runEndsAtItsCountWithTheMean_data() {
        QTest::addColumn<QString>("count");
        QTest::addColumn<QVector<float>>("values");
        QTest::addColumn<float>("mean");
        QTest::newRow("N = 1 ends at the first value") << "1" << QVector<float>{0.25f} << 0.25f;
        QTest::newRow("N = 5 sums five values")
            << "5" << QVector<float>{0.001f, 0.002f, 0.003f, 0.004f, 0.005f} << 0.003f;
        QTest::newRow("blanks around the number") << " 2 " << QVector<float>{1.0f, 2.0f} << 1.5f;
    }
    void runEndsAtItsCountWithTheMean() {
        QFETCH(QString, count);
        QFETCH(QVector<float>, values);
        QFETCH(float, mean);
        QVERIFY(SetAveragingCount(count));
        QVERIFY(StartCalibrationRun());
        for (int i = 0; i < values.size(); ++i) {
            QCOMPARE(ClbStage, ClbRunning);
            Feed(values[i]);
        }
        QCOMPARE(ClbStage, ClbIdle);
        QVERIFY(!ClbArmed);
        QVERIFY(!ClbDone);
        QCOMPARE(ClbSampleCount, 0.0f);
        QVERIFY(ClbMeanReady);
        QVERIFY(qAbs(ClbSum - mean) < 1e-6f);
        // Further values leave the finished run alone.
        Feed(99.0f);
        QVERIFY(qAbs(ClbSum - mean) < 1e-6f);
        QCOMPARE(ClbStage, ClbIdle);
    }

    void countAtOrBelowZeroSumsNothingUntilRaised() {
        for (const char *count : {"0", "-3"}) {
            init();
            QVERIFY(SetAveragingCount(QString::fromLatin1(count)));
            QVERIFY(StartCalibrationRun());
            for (int i = 0; i < 10; ++i)
                Feed(1.0f);
            QCOMPARE(ClbStage, ClbRunning);
            QCOMPARE(ClbSum, 0.0f);
            QCOMPARE(ClbSampleCount, 10.0f);
            // Raised above the values seen: the run sums again and ends at the new count.
            SetAveragingCount(QStringLiteral("12"));
            FeedAll({3.0f, 9.0f});
            QCOMPARE(ClbStage, ClbIdle);
            QCOMPARE(ClbSum, 12.0f / 12.0f);
        }
    }

    void countLoweredMidRunAndRaisedAgain() {
        SetAveragingCount(QStringLiteral("5"));
        StartCalibrationRun();
        FeedAll({1.0f, 2.0f, 3.0f});
        SetAveragingCount(QStringLiteral("2")); // below the three seen: not summed, not ended
        FeedAll({100.0f, 200.0f});
        QCOMPARE(ClbStage, ClbRunning);
        QCOMPARE(ClbSampleCount, 5.0f);
        SetAveragingCount(QStringLiteral("7"));
        FeedAll({6.0f, 7.0f});
        QCOMPARE(ClbStage, ClbIdle);
        // The values summed while the count was above the number seen, over the new count.
        QCOMPARE(ClbSum, (1.0f + 2.0f + 3.0f + 6.0f + 7.0f) / 7.0f);
    }

    void countThatIsNotANumberSkipsValuesAndKeepsTheRun() {
        SetAveragingCount(QStringLiteral("3"));
        StartCalibrationRun();
        Feed(1.0f);
        for (const char *text : {"abc", "", "2.5", "3 4", "99999999999"}) {
            QVERIFY2(!SetAveragingCount(QString::fromLatin1(text)), text);
            Feed(50.0f);
            QCOMPARE(ClbStage, ClbRunning);
            QCOMPARE(ClbSampleCount, 1.0f);
            QCOMPARE(ClbSum, 1.0f);
        }
        QVERIFY(SetAveragingCount(QStringLiteral("3")));
        FeedAll({2.0f, 3.0f});
        QCOMPARE(ClbStage, ClbIdle);
        QCOMPARE(ClbSum, 2.0f);
    }

    void startIsIgnoredDuringARun() {
        SetAveragingCount(QStringLiteral("4"));
        QVERIFY(StartCalibrationRun());
        FeedAll({1.0f, 2.0f});
        QVERIFY(!StartCalibrationRun());
        QCOMPARE(ClbSampleCount, 2.0f);
        QCOMPARE(ClbSum, 3.0f);
        FeedAll({3.0f, 4.0f});
        QCOMPARE(ClbSum, 2.5f);
        // Idle again: a new run starts from nothing.
        QVERIFY(StartCalibrationRun());
        QVERIFY(!ClbMeanReady);
        QCOMPARE(ClbSum, 0.0f);
    }

    void runAdvancesWithValidFramesOnly() {
        SetAveragingCount(QStringLiteral("2"));
        StartCalibrationRun();
        const auto frame = FrameWithD(0.01f);
        QVERIFY(AcceptMeasurement(frame.data(), 20));
        QVERIFY(!AcceptMeasurement(frame.data(), 19));
        auto invalid = frame;
        invalid[2] = 0x01; // status bit 7 clear
        QVERIFY(!AcceptMeasurement(invalid.data(), 20));
        QCOMPARE(ClbSampleCount, 1.0f);
        QVERIFY(AcceptMeasurement(frame.data(), 20));
        QCOMPARE(ClbStage, ClbIdle);
        QVERIFY(qAbs(ClbSum - ParameterValues[ParD]) < 1e-7f);
        QVERIFY(qAbs(ClbSum - 0.01f) < 1e-5f);
    }

    // Deriving D again (as a benchmark or a redraw would) is no frame: the run stays where it is.
    void derivingDAloneLeavesTheRunAlone() {
        SetAveragingCount(QStringLiteral("2"));
        StartCalibrationRun();
        QVERIFY(AcceptMeasurement(FrameWithD(0.01f).data(), 20));
        QCOMPARE(ClbSampleCount, 1.0f);
        ComputeParameter(ParD);
        ComputeParameter(ParD);
        QCOMPARE(ClbSampleCount, 1.0f);
        QCOMPARE(ClbStage, ClbRunning);
    }

    // ---- The lookup and the corrected line ----

    void lookup_data() {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<float>("c");
        QTest::addColumn<float>("correction");
        const Rows two{{"1000", "1200", "0,0003"}, {"2000", "2500", "-0.0001"}};
        QTest::newRow("lower bound inclusive") << two << 1000.0f << 0.0003f;
        QTest::newRow("upper bound inclusive") << two << 1200.0f << 0.0003f;
        QTest::newRow("just above a row") << two << std::nextafter(1200.0f, 2000.0f) << 0.0f;
        QTest::newRow("second row") << two << 2500.0f << -0.0001f;
        QTest::newRow("no row matches") << two << 5000.0f << 0.0f;
        QTest::newRow("overlap: the earlier row wins")
            << Rows{{"100", "500", "1"}, {"200", "300", "2"}} << 250.0f << 1.0f;
        QTest::newRow("low above high never matches")
            << Rows{{"500", "100", "1"}, {"0", "1000", "2"}} << 300.0f << 2.0f;
        QTest::newRow("empty first cell ends the search")
            << Rows{{"0", "10", "1"}, {"", "x", "y"}, {"0", "1000", "2"}} << 300.0f << 0.0f;
        QTest::newRow("rows before an empty first cell still count")
            << Rows{{"0", "10", "1"}, {"", "", ""}, {"0", "1000", "2"}} << 5.0f << 1.0f;
        QTest::newRow("point and comma read alike")
            << Rows{{"0.5", "1,5", "0.0003"}, {"0", "9", "0,0007"}} << 1.0f << 0.0003f;
        QTest::newRow("comma mark") << Rows{{"0,5", "1.5", "0,0003"}} << 1.0f << 0.0003f;
        QTest::newRow("an unreadable row before the match gives 0")
            << Rows{{"0", "1 000", "1"}, {"0", "1000", "2"}} << 300.0f << 0.0f;
        QTest::newRow("an unreadable correction in the matching row gives 0")
            << Rows{{"0", "1000", "abc"}} << 300.0f << 0.0f;
        QTest::newRow("a number beyond single precision is unreadable")
            << Rows{{"0", "1e39", "1"}} << 300.0f << 0.0f;
        QTest::newRow("exponent and blanks around")
            << Rows{{" 1e2 ", "+2E2", "-3e-4"}} << 150.0f << -0.0003f;
        // 159154.93 rounds to 159154.9375 in single precision: the bound holds that value.
        QTest::newRow("bounds compared in single precision")
            << Rows{{"159154.93", "159154.93", "0.5"}} << 159154.9375f << 0.5f;
    }
    void lookup() {
        QFETCH(Rows, rows);
        QFETCH(float, c);
        QFETCH(float, correction);
        QCOMPARE(Lookup(rows, c), correction);
    }

    void readNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<float>("value");
        QTest::newRow("comma") << "0,0003" << true << 0.0003f;
        QTest::newRow("point") << "0.0003" << true << 0.0003f;
        QTest::newRow("leading mark") << ",5" << true << 0.5f;
        QTest::newRow("trailing mark") << "5." << true << 5.0f;
        QTest::newRow("signs") << "-12" << true << -12.0f;
        QTest::newRow("empty") << "" << false << 0.0f;
        QTest::newRow("blank") << " " << false << 0.0f;
        QTest::newRow("two marks") << "1.000,5" << false << 0.0f;
        QTest::newRow("inner blank") << "1 000" << false << 0.0f;
        QTest::newRow("bare exponent") << "1e" << false << 0.0f;
        QTest::newRow("no mantissa") << "e5" << false << 0.0f;
        QTest::newRow("double sign") << "+-5" << false << 0.0f;
        QTest::newRow("infinity") << "inf" << false << 0.0f;
        QTest::newRow("not a number") << "nan" << false << 0.0f;
        QTest::newRow("wide digits") << QStringLiteral("１２") << false << 0.0f;
        QTest::newRow("trailing text") << "5 pF" << false << 0.0f;
    }
    void readNumber() {
        QFETCH(QString, text);
        QFETCH(bool, readable);
        QFETCH(float, value);
        float read = -1.0f;
        QCOMPARE(ReadCalibrationNumber(text, &read), readable);
        if (readable) QCOMPARE(read, value);
    }

    void correctedLineCarriesTheCorrectionOnly() {
        ClbTable().Load({{"0", "1e12", "0,0005"}});
        QVERIFY(AcceptMeasurement(FrameWithD(0.001234f).data(), 20));
        QVERIFY(qAbs(ParameterValues[ParD] - 0.001234f) < 1e-7f);
        QCOMPARE(DCorrection, 0.0005f);
        QCOMPARE(QString::fromLatin1(ParameterText[ParD]), QStringLiteral("D   0.001234"));
        QCOMPARE(Corrected(ParD), QStringLiteral("D   0.001734"));
        QCOMPARE(Corrected(ParC), QString::fromLatin1(ParameterText[ParC]));
    }

    void tableEditedBetweenTwoFramesAppliesAtTheNext() {
        ClbTable().Load({{"0", "1e12", "0,0005"}});
        const auto frame = FrameWithD(0.001f);
        QVERIFY(AcceptMeasurement(frame.data(), 20));
        QCOMPARE(Corrected(ParD), QStringLiteral("D   0.001500"));
        QVERIFY(ClbTable().SetCell(0, 3, QStringLiteral("0.002")));
        QVERIFY(AcceptMeasurement(frame.data(), 20));
        QCOMPARE(Corrected(ParD), QStringLiteral("D   0.003000"));
        // The capacitance moves out of the row's bounds.
        QVERIFY(ClbTable().SetCell(0, 2, QStringLiteral("1")));
        QVERIFY(AcceptMeasurement(frame.data(), 20));
        QCOMPARE(DCorrection, 0.0f);
        QCOMPARE(Corrected(ParD), QStringLiteral("D   0.001000"));
        // A new row typed into the empty last row applies too.
        QVERIFY(ClbTable().SetCell(1, 1, QStringLiteral("0")));
        QVERIFY(ClbTable().SetCell(1, 2, QStringLiteral("1e12")));
        QVERIFY(ClbTable().SetCell(1, 3, QStringLiteral("-0,0004")));
        QVERIFY(AcceptMeasurement(frame.data(), 20));
        QCOMPARE(Corrected(ParD), QStringLiteral("D   0.000600"));
    }

    // ---- The table model ----

    void modelFollowsTheGridRules() {
        CalibrationTableModel &table = ClbTable();
        QAbstractItemModelTester tester(&table,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.columnCount(), 4);
        QCOMPARE(table.MarkerRow(), -1);
        QVERIFY(!table.setData(table.index(0, 0), QStringLiteral("x")));
        QVERIFY(!(table.flags(table.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(table.flags(table.index(0, 2)) & Qt::ItemIsEditable);
        QVERIFY(table.setData(table.index(0, 1), QStringLiteral(" 1,5 ")));
        QCOMPARE(table.data(table.index(0, 1)).toString(), QStringLiteral(" 1,5 ")); // as typed

        table.SelectCell(2, 0); // the last row: one empty row is added below it
        QCOMPARE(table.rowCount(), 2);
        QCOMPARE(table.Cell(0, 0), QStringLiteral("   *****"));
        QCOMPARE(table.Cell(1, 2), QString());
        table.SelectCell(1, 1);
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(table.Cell(0, 0), QString());
        QCOMPARE(table.Cell(1, 0), QStringLiteral("   *****"));
        table.SelectCell(3, 0); // not the last row: the marker moves only
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(table.MarkerRow(), 0);
        QCOMPARE(table.Cell(1, 0), QString());
    }

    void loadingLeavesAnEmptyLastRowAndTheMarkerOnTheFirst() {
        CalibrationTableModel &table = ClbTable();
        table.Load({{"1", "2", "3"}, {"4", "5", "6"}});
        QCOMPARE(table.rowCount(), 3);
        QCOMPARE(table.MarkerRow(), 0);
        QCOMPARE(table.Rows().last(), CalibrationRow{});
        // A file without a whole row leaves only the first row, texts and all.
        table.Load({});
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.Rows().first(), (CalibrationRow{"1", "2", "3"}));
        QCOMPARE(table.MarkerRow(), 0);
    }

    // ---- The file ----

    void writesTheExactBytes() {
        const Rows rows{{"1000", "1200", "0,0003"},
                        {"", "1 500", "0.1"},
                        {QStringLiteral("Ёмкость"), "a\tb", "c\r\nd"},
                        {QStringLiteral("€"), QStringLiteral("中"), QStringLiteral("😀")},
                        {"", "", ""}};
        const QByteArray expected("1000\t1200\t0,0003\r\r\n"
                                  "\t1 500\t0.1\r\r\n"
                                  "\xA8\xEC\xEA\xEE\xF1\xF2\xFC\ta b\tc  d\r\r\n"
                                  "\x88\t?\t?\r\r\n"
                                  "\t\t\r\r\n");
        QCOMPARE(WriteCalibrationRows(rows), expected);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ClbTable().Load(rows.mid(0, 2));
        const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
        QCOMPARE(SaveCalibrationTable(path), QString());
        QCOMPARE(ReadAll(path), expected.left(32) + QByteArray("\t\t\r\r\n"));
    }

    void reads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("as written, empty last row")
            << QByteArray("1000\t1200\t0,0003\r\r\n2000\t2500\t0,0005\r\r\n\t\t\r\r\n")
            << Rows{{"1000", "1200", "0,0003"}, {"2000", "2500", "0,0005"}};
        QTest::newRow("empty middle cell stays in its column")
            << QByteArray("1000\t\t0,0003\r\r\n2000\t2500\t1\r\r\n")
            << Rows{{"1000", "", "0,0003"}, {"2000", "2500", "1"}};
        QTest::newRow("inner blanks survive, outer ones go")
            << QByteArray(" 1 000 \t 1 200\t0,0003 \r\r\n") << Rows{{"1 000", "1 200", "0,0003"}};
        QTest::newRow("missing fields are empty, extra fields ignored")
            << QByteArray("1\t2\r\n1\t2\t3\t4\n") << Rows{{"1", "2", ""}, {"1", "2", "3"}};
        QTest::newRow("lines that hold nothing add no row")
            << QByteArray("\r\r\n  \r\n\t \t\r\r\n\v\f\n") << Rows{};
        QTest::newRow("seven tokens give two rows")
            << QByteArray("1 2 3 4 5 6 7") << Rows{{"1", "2", "3"}, {"4", "5", "6"}};
        QTest::newRow("tokens run across lines")
            << QByteArray("1\r\n2\n3 4\r5\v6\f") << Rows{{"1", "2", "3"}, {"4", "5", "6"}};
        QTest::newRow("an incomplete triple ends at a TAB line")
            << QByteArray("1 2\n7\t8\t9\n3 4 5\n") << Rows{{"7", "8", "9"}, {"3", "4", "5"}};
        QTest::newRow("long tokens are kept whole")
            << QByteArray(QByteArray(100, 'x') + " b c") << Rows{{QString(100, 'x'), "b", "c"}};
        QTest::newRow("code page")
            << QByteArray("\xC0\xFF\t\xA8\xB8\t\xB9\r\r\n")
            << Rows{{QStringLiteral("Ая"), QStringLiteral("Ёё"), QStringLiteral("№")}};
        QTest::newRow("empty file") << QByteArray() << Rows{};
    }
    void reads() {
        QFETCH(QByteArray, bytes);
        QFETCH(Rows, rows);
        QCOMPARE(ReadCalibrationRows(bytes), rows);
    }

    void codePageAgreesWithTheSystemConverter() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString ours = DecodeCp1251(all);
        QCOMPARE(EncodeCp1251(ours), all); // every byte survives a load and a save
        QStringDecoder system("windows-1251");
        if (!system.isValid()) QSKIP("this Qt has no windows-1251 converter to compare with");
        const QString theirs = system(all);
        QCOMPARE(theirs.size(), 256);
        for (int b = 0; b < 256; ++b)
            if (b != 0x98) // unassigned in the code page
                QVERIFY2(ours[b] == theirs[b], qPrintable(QString::number(b, 16)));
    }

    void randomTablesSurviveSaveAndLoad() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
        const QString alphabet = QStringLiteral("0123456789.,-e Ёяж");
        QRandomGenerator random(20240611);
        auto cell = [&] {
            QString text;
            const int length = static_cast<int>(random.bounded(8));
            for (int i = 0; i < length; ++i)
                text += alphabet[static_cast<int>(random.bounded(alphabet.size()))];
            return text.trimmed(); // blanks around a field are not kept
        };
        for (int round = 0; round < 300; ++round) {
            Rows rows;
            const int count = static_cast<int>(random.bounded(6));
            while (rows.size() < count) {
                const CalibrationRow row{cell(), cell(), cell()};
                if (!(row[0] + row[1] + row[2]).isEmpty()) rows.append(row);
            }
            ClbTable().Clear();
            ClbTable().Load(rows);
            const Rows saved = ClbTable().Rows();
            QCOMPARE(SaveCalibrationTable(path), QString());
            ClbTable().Clear();
            QVERIFY(LoadCalibrationTable(path));
            QCOMPARE(ClbTable().Rows(), saved);
        }
    }

    void loadingKeepsTheTableWhenTheFileCannotBeRead() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ClbTable().Load({{"1", "2", "3"}});
        const Rows before = ClbTable().Rows();
        QVERIFY(!LoadCalibrationTable(dir.filePath(QStringLiteral("missing.txt"))));
        QVERIFY(!LoadCalibrationTable(dir.path())); // a directory
        const QString big = dir.filePath(QStringLiteral("big.txt"));
        QVERIFY(WriteAll(big, QByteArray(MaxCalibrationFileSize + 1, '1')));
        QVERIFY(!LoadCalibrationTable(big));
        QCOMPARE(ClbTable().Rows(), before);
        // The default name, relative to the current directory.
        QCOMPARE(CalibrationFilePath, QStringLiteral("DataBase.txt"));
        const QString here = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(WriteAll(QStringLiteral("DataBase.txt"), "7\t8\t9\r\r\n"));
        const bool loaded = LoadCalibrationTable();
        QDir::setCurrent(here);
        QVERIFY(loaded);
        QCOMPARE(ClbTable().Rows(), (Rows{{"7", "8", "9"}, {}}));
    }

    // What a save would destroy: a file that was not read, or one that changed since it was
    // read (or appeared where there was none); a file as it was read, or as the table last
    // saved it, is safe to replace, even when only its time stamp changed.
    void saveRiskOfTheTableFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
        QVERIFY(WriteAll(path, "1\t2\t3\r\r\n"));
        QVERIFY(LoadCalibrationTable(path));
        QCOMPARE(TableFileAtLoad.found, TableFileFound::Read);
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::None);
        QFile touched(path);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                    QFileDevice::FileModificationTime));
        touched.close();
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::None);
        QVERIFY(WriteAll(path, "1\t2\t4\r\r\n")); // same size, other contents
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::ChangedOnDisk);
        QVERIFY(WriteAll(path, "1\t2\t3\r\r\n9\t9\t9\r\r\n"));
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::ChangedOnDisk);
        QCOMPARE(CalibrationSaveRisk(dir.filePath(QStringLiteral("elsewhere.txt"))),
                 SaveRisk::None); // nothing there to lose
        QCOMPARE(SaveCalibrationTable(path), QString());
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::None); // what the table holds now

        // A file that is there but too large to read.
        const QString big = dir.filePath(QStringLiteral("big.txt"));
        QVERIFY(WriteAll(big, QByteArray(MaxCalibrationFileSize + 1, '1')));
        QVERIFY(!LoadCalibrationTable(big));
        QCOMPARE(TableFileAtLoad.found, TableFileFound::NotRead);
        QVERIFY2(TableFileAtLoad.reason.contains(QStringLiteral("больше 4 МБ")),
                 qPrintable(TableFileAtLoad.reason));
        QCOMPARE(CalibrationSaveRisk(big), SaveRisk::NotRead);
        // Saving elsewhere is as safe as ever; a file that was never loaded is not read.
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::NotRead);

        // A pipe is no regular file: not read, and a save would replace it with one.
        const QString pipe = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(!LoadCalibrationTable(pipe));
        QCOMPARE(TableFileAtLoad.found, TableFileFound::NotRead);
        QCOMPARE(TableFileAtLoad.reason, QStringLiteral("не обычный файл"));
        QCOMPARE(CalibrationSaveRisk(pipe), SaveRisk::NotRead);

        // No file at the load: a new table, until a file appears there.
        const QString fresh = dir.filePath(QStringLiteral("new.txt"));
        QVERIFY(!LoadCalibrationTable(fresh));
        QCOMPARE(TableFileAtLoad.found, TableFileFound::Nothing);
        QCOMPARE(CalibrationSaveRisk(fresh), SaveRisk::None);
        QVERIFY(WriteAll(fresh, "5\t6\t7\r\r\n"));
        QCOMPARE(CalibrationSaveRisk(fresh), SaveRisk::ChangedOnDisk);
    }

    // A save writes back only the rows: a file holding more words than they give back is not
    // replaced unasked. Blanks, TABs and line ends may change; words may not.
    void wordsAFileHoldsBeyondItsRows_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("kept");
        QTest::newRow("as written") << QByteArray("1\t2\t3\r\r\n") << true;
        QTest::newRow("blank separated") << QByteArray("1 2 3\n4   5 6\n") << true;
        QTest::newRow("triple across lines") << QByteArray("1 2\n3\n") << true;
        QTest::newRow("empty cells") << QByteArray("\t\t5\r\n\t\t\r\n") << true;
        QTest::newRow("inner blanks") << QByteArray("a b\tc\td\n") << true;
        QTest::newRow("nothing") << QByteArray() << true;
        QTest::newRow("a fourth field") << QByteArray("1\t2\t3\tnote\r\r\n") << false;
        QTest::newRow("incomplete triple") << QByteArray("1 2 3 4\n") << false;
        QTest::newRow("words before a TAB line") << QByteArray("1 2\n5\t6\t7\n") << false;
    }
    void wordsAFileHoldsBeyondItsRows() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, kept);
        QCOMPARE(RowsKeepEveryWord(bytes), kept);
    }

    void fileHoldingMoreThanItsRowsIsNotReplacedUnasked() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
        QVERIFY(WriteAll(path, "1000\t1200\t0,0003\tmeasured 12.03\r\r\n"));
        QVERIFY(LoadCalibrationTable(path));
        QVERIFY(TableFileAtLoad.holdsMore);
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::HoldsMore);
        // Once the user chose to replace it, the file is what the table holds.
        QCOMPARE(SaveCalibrationTable(path), QString());
        QCOMPARE(CalibrationSaveRisk(path), SaveRisk::None);
    }

    // No write bit for anyone: the file stays, even for root, who could write it.
    void writeProtectedFileIsKept() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
        const QByteArray old("1\t2\t3\r\r\n");
        QVERIFY(WriteAll(path, old));
        QVERIFY(LoadCalibrationTable(path));
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        ClbTable().Load({{"5", "6", "7"}});
        QCOMPARE(SaveCalibrationTable(path), QStringLiteral("файл защищён от записи"));
        QCOMPARE(ReadAll(path), old);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(SaveCalibrationTable(path), QString());
    }

    void failedSaveReportsAndKeepsTheOldFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ClbTable().Load({{"1000", "1200", "0,0003"}});
        // A parent that is a regular file stops everyone, root included.
        const QString blocker = dir.filePath(QStringLiteral("plain"));
        QVERIFY(WriteAll(blocker, "x"));
        QVERIFY(!SaveCalibrationTable(blocker + QStringLiteral("/DataBase.txt")).isEmpty());
        QCOMPARE(ReadAll(blocker), QByteArray("x"));

        // A file size limit stops root too: the new contents cannot be written.
        const QString path = dir.filePath(QStringLiteral("DataBase.txt"));
        const QByteArray old("1\t2\t3\r\r\n\t\t\r\r\n");
        QVERIFY(WriteAll(path, old));
        Rows many;
        for (int i = 0; i < 200; ++i)
            many.append({QString::number(i), QString::number(i + 1), QStringLiteral("0,0001")});
        ClbTable().Load(many);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit low = saved;
        low.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &low), 0);
        const QString reason = SaveCalibrationTable(path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!reason.isEmpty());
        QCOMPARE(ReadAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCalibration)
#include "test_calibration.moc"
