// Recording to CSV: the records read back to the frames in both dialects, an existing file keeps
// its rows, a file with other columns is left alone for one beside it, a file that cannot be
// opened or written ends the recording with a reason.
#include "export/frame_record.h"
#include "export/recorder.h"
#include "link/device.h"
#include "tests/export/csv_reader.h"
#include "tests/export/file_size_limit.h"
#include "tests/link/frame_builder.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

using Export::FrameRecord;
using Export::Recorder;

namespace {

const QStringList ExpectedHeader{"time",
                                 "elapsed (s)",
                                 "model",
                                 "range",
                                 "circuit",
                                 "bias (V)",
                                 "C (F)",
                                 "L (H)",
                                 "R (Ohm)",
                                 "G (S)",
                                 "B (S)",
                                 "X (Ohm)",
                                 "|Y| (S)",
                                 "D",
                                 "Q",
                                 "phase of Z (deg)",
                                 "phase of Y (deg)",
                                 "raw |Z| (Ohm)",
                                 "raw theta (rad)",
                                 "raw frequency (Hz)",
                                 "connection",
                                 "correction"};
const int GColumn = ExpectedHeader.indexOf("G (S)");

// A capacitor's impedance, scaled; the parallel circuit.
FrameRecord Frame(float scale) {
    FrameRecord frame;
    frame.model = QStringLiteral("KT-44");
    frame.frequencyHz = 100000;
    frame.biasMillivolts = 1600;
    frame.range = QStringLiteral("1 kOm");
    frame.seriesCircuit = false;
    frame.magnitude = 1591.565f * scale;
    frame.phase = -1.5701f;
    frame.connection = 3;
    return frame;
}

QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    // Every data record against the frame it came from: the raw values exactly, G and B as the
    // real and imaginary part of Y.
    static void CompareRecord(const QStringList &record, const FrameRecord &frame,
                              QChar decimalMark = QLatin1Char('.')) {
        QCOMPARE(record.size(), ExpectedHeader.size());
        static const QRegularExpression iso(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));
        QVERIFY2(iso.match(record.at(0)).hasMatch(), qPrintable(record.at(0)));
        const QDateTime time = QDateTime::fromString(record.at(0), Qt::ISODateWithMs);
        QVERIFY(time.isValid());
        QVERIFY(std::abs(time.secsTo(QDateTime::currentDateTime())) < 600);
        QCOMPARE(record.at(2), frame.model);
        QCOMPARE(record.at(3), frame.range);
        QCOMPARE(record.at(4),
                 frame.seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
        const auto number = [&](int column) {
            bool ok = false;
            const double value = CsvText::Number(record.at(column), decimalMark, &ok);
            return ok ? value : std::numeric_limits<double>::quiet_NaN();
        };
        QCOMPARE(number(5), frame.biasMillivolts / 1000.0);
        const int raw = static_cast<int>(ExpectedHeader.indexOf("raw |Z| (Ohm)"));
        QCOMPARE(static_cast<float>(number(raw)), frame.magnitude);
        QCOMPARE(static_cast<float>(number(raw + 1)), frame.phase);
        QCOMPARE(record.at(raw + 2).toInt(), frame.frequencyHz);
        QCOMPARE(record.at(raw + 3).toUInt(), frame.connection);
        QCOMPARE(record.at(raw + 4), QStringLiteral("none"));
        const double g = std::cos(frame.phase) / frame.magnitude;
        const double b = -std::sin(frame.phase) / frame.magnitude;
        QVERIFY2(std::fabs(number(GColumn) - g) <= 1e-6 * std::fabs(g),
                 qPrintable(record.at(GColumn)));
        QVERIFY2(std::fabs(number(GColumn + 1) - b) <= 1e-6 * std::fabs(b),
                 qPrintable(record.at(GColumn + 1)));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void framesReadBack_data() {
        QTest::addColumn<bool>("semicolon");
        QTest::newRow("comma") << false;
        QTest::newRow("semicolon") << true;
    }
    void framesReadBack() {
        QFETCH(bool, semicolon);
        const Export::CsvDialect dialect =
            semicolon ? Export::SemicolonDialect() : Export::CommaDialect();
        const QString path = Path(QStringLiteral("запись Ω %1.csv").arg(QTest::currentDataTag()));
        Recorder recorder;
        QVERIFY2(recorder.start(path, dialect), qPrintable(recorder.errorString()));
        QVERIFY(!recorder.wroteBeside());
        QCOMPARE(recorder.fileName(), path);
        QVERIFY(recorder.isRecording());
        const FrameRecord first = Frame(1.0f);
        FrameRecord second = Frame(-0.5f);
        second.seriesCircuit = true;
        second.range = QStringLiteral("10 \"M\", Om"); // must survive quoting
        QVERIFY(recorder.append(first));
        QVERIFY(recorder.append(second));
        QCOMPARE(recorder.rowsWritten(), 2);

        // Each record is on the disk as soon as it is appended, with the file still open.
        const CsvText::Table table = CsvText::Read(Contents(path), dialect.separator);
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 3);
        QCOMPARE(table.records.at(0), ExpectedHeader);
        CompareRecord(table.records.at(1), first, dialect.decimalMark);
        CompareRecord(table.records.at(2), second, dialect.decimalMark);
        const double start = CsvText::Number(table.records.at(1).at(1), dialect.decimalMark);
        const double later = CsvText::Number(table.records.at(2).at(1), dialect.decimalMark);
        QVERIFY(start >= 0.0 && start <= later);
        QVERIFY(Contents(path).contains(semicolon ? "1,6;" : "1.6,")); // the bias

        recorder.stop();
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.append(first));
        QCOMPARE(CsvText::Read(Contents(path), dialect.separator).records.size(), 3);
    }

    void existingFileKeepsItsRows_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("header");
        QTest::addColumn<int>("records"); // after one more frame
        QTest::newRow("new file") << QByteArray() << true << 2;
        QTest::newRow("empty file") << QByteArray("") << true << 2;
        const QByteArray header = Recorder::HeaderLine(Export::CommaDialect());
        QTest::newRow("earlier recording") << header + "2024-01-01T00:00:00.000Z,0,KT-41\r\n"
                                           << true << 3;
        QTest::newRow("last line cut short")
            << header + "2024-01-01T00:00:00.000Z,0,KT-41\r\n2024-01-01T00:0" << true << 4;
    }
    void existingFileKeepsItsRows() {
        QFETCH(QByteArray, before);
        QFETCH(bool, header);
        QFETCH(int, records);
        const QString path = Path(QStringLiteral("existing-%1.csv").arg(QTest::currentDataTag()));
        if (!before.isNull()) QVERIFY(WriteFile(path, before));

        Recorder recorder;
        QVERIFY2(recorder.start(path), qPrintable(recorder.errorString()));
        QVERIFY(!recorder.wroteBeside());
        QVERIFY(recorder.append(Frame(1.0f)));
        recorder.stop();

        const QByteArray after = Contents(path);
        QVERIFY(after.startsWith(before));
        const CsvText::Table table = CsvText::Read(after);
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), records);
        QCOMPARE(table.records.first() == ExpectedHeader, header);
        CompareRecord(table.records.last(), Frame(1.0f));
    }

    // A file that begins with other columns (an older recording, the other dialect, another
    // program's table) stays as it is; the records go to the first free file beside it, and a
    // second start on the same file continues there.
    void otherColumnsGoBeside_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("semicolon");
        QTest::newRow("older recording")
            << QByteArray("time,elapsed (s),model,frequency (Hz),bias (V),range,circuit,C (F),"
                          "L (H),R (\xce\xa9),G (S),B (S),X (\xce\xa9),Z (\xce\xa9),Y (S),D,Q,"
                          "Fiz (\xc2\xb0),Fiy (\xc2\xb0),F (Hz),Ub (V)\r\n"
                          "2024-01-01T00:00:00.000Z,0,KT-44,1000,0,1 kOm,series,1e-06\r\n")
            << false;
        QTest::newRow("other dialect") << Recorder::HeaderLine(Export::CommaDialect()) << true;
        QTest::newRow("header cut short") << QByteArray("time,elapsed (s),mo") << false;
        QTest::newRow("another table") << QByteArray("a,b\r\n1,2\r\n") << false;
    }
    void otherColumnsGoBeside() {
        QFETCH(QByteArray, before);
        QFETCH(bool, semicolon);
        const Export::CsvDialect dialect =
            semicolon ? Export::SemicolonDialect() : Export::CommaDialect();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.csv"));
        const QString beside = dir.filePath(QStringLiteral("data-2.csv"));
        QVERIFY(WriteFile(path, before));

        Recorder recorder;
        QVERIFY2(recorder.start(path, dialect), qPrintable(recorder.errorString()));
        QVERIFY(recorder.wroteBeside());
        QCOMPARE(recorder.fileName(), beside);
        QVERIFY(recorder.append(Frame(1.0f)));
        QVERIFY(recorder.start(path, dialect)); // again: the same file beside
        QCOMPARE(recorder.fileName(), beside);
        QVERIFY(recorder.append(Frame(2.0f)));
        recorder.stop();

        QCOMPARE(Contents(path), before);
        const CsvText::Table table = CsvText::Read(Contents(beside), dialect.separator);
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 3); // one header, both records
        QCOMPARE(table.records.at(0), ExpectedHeader);
        CompareRecord(table.records.at(2), Frame(2.0f), dialect.decimalMark);

        // Taken by other columns too: the next name; a folder of that name is passed over.
        QVERIFY(WriteFile(beside, before));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("data-3.csv")));
        QVERIFY(recorder.start(path, dialect));
        QCOMPARE(recorder.fileName(), dir.filePath(QStringLiteral("data-4.csv")));
        recorder.stop();
        QCOMPARE(Contents(beside), before);
    }

    // Paths that even the superuser cannot open for writing.
    void fileThatCannotBeOpened_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("parent is a file") << QStringLiteral("plain/recording.csv");
        QTest::newRow("a folder") << QString();
    }
    void fileThatCannotBeOpened() {
        QFETCH(QString, path);
        QVERIFY(WriteFile(Path(QStringLiteral("plain")), "x"));
        Recorder recorder;
        QVERIFY(!recorder.start(Path(path)));
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.errorString().isEmpty());
        QVERIFY(!recorder.append(Frame(1.0f)));
    }

    void fullDeviceRefusesTheHeader() {
        if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full on this system");
        Recorder recorder;
        QVERIFY(!recorder.start(QStringLiteral("/dev/full")));
        QVERIFY(!recorder.isRecording());
        QVERIFY2(recorder.errorString().contains(QLatin1String("space")),
                 qPrintable(recorder.errorString()));
    }

    // The disk fills up while recording: the recording ends with the system's reason (the
    // record gets out in part, and the system names the cause only when asked for the rest),
    // the part that got out is taken back, and a new start continues after the whole rows.
    void diskFullWhileRecording() {
        const QString path = Path(QStringLiteral("filling.csv"));
        Recorder recorder;
        QVERIFY(recorder.start(path));
        QVERIFY(recorder.append(Frame(1.0f)));
        {
            const TestDisk::FileSizeLimit limit(static_cast<rlim_t>(QFileInfo(path).size() + 40));
            QVERIFY(!recorder.append(Frame(2.0f)));
        }
        QVERIFY(!recorder.isRecording());
        QCOMPARE(recorder.errorString(), QString::fromLocal8Bit(std::strerror(EFBIG)));
        QCOMPARE(recorder.rowsWritten(), 1);

        QVERIFY(recorder.start(path));
        QVERIFY(recorder.append(Frame(3.0f)));
        recorder.stop();
        const CsvText::Table table = CsvText::Read(Contents(path));
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 3);
        QCOMPARE(table.records.at(0), ExpectedHeader);
        CompareRecord(table.records.at(1), Frame(1.0f));
        CompareRecord(table.records.at(2), Frame(3.0f));
    }

    // Standard output redirected to a file is a device of the caller's: a record the disk
    // takes only in part is taken back there too, so the file ends on a whole row.
    void diskFullOnADeviceOfTheCaller() {
        const QString path = Path(QStringLiteral("redirected.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        Recorder recorder;
        QVERIFY(recorder.start(&file));
        QVERIFY(recorder.append(Frame(1.0f)));
        {
            const TestDisk::FileSizeLimit limit(static_cast<rlim_t>(file.size() + 40));
            QVERIFY(!recorder.append(Frame(2.0f)));
        }
        QCOMPARE(recorder.errorString(), QString::fromLocal8Bit(std::strerror(EFBIG)));
        file.close();
        const CsvText::Table table = CsvText::Read(Contents(path));
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 2);
        CompareRecord(table.records.at(1), Frame(1.0f));
    }

    void deviceOfTheCaller() {
        QBuffer fresh;
        QVERIFY(fresh.open(QIODevice::WriteOnly));
        Recorder recorder;
        QVERIFY(recorder.start(&fresh));
        QVERIFY(recorder.append(Frame(1.0f)));
        QCOMPARE(CsvText::Read(fresh.data()).records.first(), ExpectedHeader);

        QByteArray earlier("a,b\r\n");
        QBuffer used(&earlier);
        QVERIFY(used.open(QIODevice::WriteOnly | QIODevice::Append));
        QVERIFY(recorder.start(&used));
        QCOMPARE(recorder.rowsWritten(), 0);
        QVERIFY(recorder.append(Frame(1.0f)));
        const CsvText::Table table = CsvText::Read(used.data());
        QCOMPARE(table.records.size(), 2);
        QCOMPARE(table.records.first(), (QStringList{"a", "b"}));

        QBuffer closed;
        QVERIFY(!recorder.start(&closed));
        QVERIFY(!recorder.isRecording());
    }

    // What the link accepted last becomes the record.
    void lastFrameOfTheLink() {
        Device::ResetState();
        Device::ModelIndex = 2;
        Device::SeriesCircuit = 0;
        const TestFrames::Frame bytes = TestFrames::MakeFrame(1000.0f, -1.5f, 1000, 160);
        QVERIFY(Device::AcceptMeasurement(bytes.data(), 20));
        const FrameRecord frame = Export::LastFrame();
        QCOMPARE(frame.model, QStringLiteral("KT-44"));
        QCOMPARE(frame.frequencyHz, 1000);
        QCOMPARE(frame.biasMillivolts, 1600);
        QVERIFY(!frame.seriesCircuit);
        QCOMPARE(frame.magnitude, 1000.0f);
        QCOMPARE(frame.phase, -1.5f);
        QCOMPARE(frame.range, QStringLiteral("1 kOm")); // the range byte of the frame, 4
        Device::DeviceRange = 7;
        QCOMPARE(Export::LastFrame().range, QStringLiteral("1 Om"));
        Device::DeviceRange = 8; // a byte outside the list names no range
        QVERIFY(Export::LastFrame().range.isEmpty());
        Device::ResetState();
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "test_recorder.moc"
