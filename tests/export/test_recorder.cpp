// Recording to CSV: the records read back to the frames, an existing file keeps its rows, a file
// that cannot be opened or written ends the recording with a reason.
#include "export/frame_record.h"
#include "export/recorder.h"
#include "link/device.h"
#include "tests/export/csv_reader.h"
#include "tests/export/file_size_limit.h"
#include "tests/link/frame_builder.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>

using Export::FrameRecord;
using Export::Recorder;

namespace {

const QStringList ExpectedHeader{
    "time",  "elapsed (s)", "model", "frequency (Hz)", "bias (V)", "range",  "circuit",
    "C (F)", "L (H)",       "R (Ω)", "G (S)",          "B (S)",    "X (Ω)",  "Z (Ω)",
    "Y (S)", "D",           "Q",     "Fiz (°)",        "Fiy (°)",  "F (Hz)", "Ub (V)"};
constexpr int SiExponents[14] = {-12, -9, -3, -9, -9, -3, -3, -9, 0, 0, 0, 0, 0, -3};

FrameRecord Frame(float scale) {
    FrameRecord frame;
    frame.model = QStringLiteral("KT-44");
    frame.frequencyHz = 100000;
    frame.biasMillivolts = 1600;
    frame.range = QStringLiteral("1 kOm");
    frame.seriesCircuit = false;
    const float stored[14] = {159154.9f, -1.591549e8f, 512.25f,   1.6e9f,     -628.3f,
                              -1000.0f,  1000.1f,      999.9f,    0.0003141f, 3183.0f,
                              -89.98f,   89.98f,       100000.0f, 1600.0f};
    for (int i = 0; i < 14; ++i)
        frame.values[static_cast<std::size_t>(i)] = stored[i] * scale;
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

    // Every data record against the frame it came from, within float precision.
    static void CompareRecord(const QStringList &record, const FrameRecord &frame) {
        QCOMPARE(record.size(), ExpectedHeader.size());
        static const QRegularExpression iso(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));
        QVERIFY2(iso.match(record.at(0)).hasMatch(), qPrintable(record.at(0)));
        const QDateTime time = QDateTime::fromString(record.at(0), Qt::ISODateWithMs);
        QVERIFY(time.isValid());
        QVERIFY(std::abs(time.secsTo(QDateTime::currentDateTime())) < 600);
        QCOMPARE(record.at(2), frame.model);
        QCOMPARE(record.at(3).toInt(), frame.frequencyHz);
        QCOMPARE(record.at(4).toDouble(), frame.biasMillivolts / 1000.0);
        QCOMPARE(record.at(5), frame.range);
        QCOMPARE(record.at(6),
                 frame.seriesCircuit ? QStringLiteral("series") : QStringLiteral("parallel"));
        for (int i = 0; i < 14; ++i) {
            bool ok = false;
            const double si = record.at(7 + i).toDouble(&ok);
            QVERIFY2(ok, qPrintable(record.at(7 + i)));
            QCOMPARE(static_cast<float>(si / std::pow(10.0, SiExponents[i])),
                     frame.values[static_cast<std::size_t>(i)]);
        }
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void framesReadBack() {
        const QString path = Path(QStringLiteral("запись Ω.csv"));
        Recorder recorder;
        QVERIFY2(recorder.start(path), qPrintable(recorder.errorString()));
        QVERIFY(recorder.isRecording());
        const FrameRecord first = Frame(1.0f);
        FrameRecord second = Frame(-0.5f);
        second.seriesCircuit = true;
        second.range = QStringLiteral("10 \"M\", Om"); // must survive quoting
        QVERIFY(recorder.append(first));
        QVERIFY(recorder.append(second));
        QCOMPARE(recorder.rowsWritten(), 2);

        // Each record is on the disk as soon as it is appended, with the file still open.
        const CsvText::Table table = CsvText::Read(Contents(path));
        QVERIFY(table.wellFormed);
        QCOMPARE(table.records.size(), 3);
        QCOMPARE(table.records.at(0), ExpectedHeader);
        CompareRecord(table.records.at(1), first);
        CompareRecord(table.records.at(2), second);
        const double start = table.records.at(1).at(1).toDouble();
        const double later = table.records.at(2).at(1).toDouble();
        QVERIFY(start >= 0.0 && start <= later);

        recorder.stop();
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.append(first));
        QCOMPARE(CsvText::Read(Contents(path)).records.size(), 3);
    }

    void existingFileKeepsItsRows_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("header");
        QTest::addColumn<int>("records"); // after one more frame
        QTest::newRow("new file") << QByteArray() << true << 2;
        QTest::newRow("empty file") << QByteArray("") << true << 2;
        QTest::newRow("earlier recording")
            << QByteArray("time,model\r\n2024-01-01T00:00:00.000Z,KT-41\r\n") << false << 3;
        QTest::newRow("last line cut short")
            << QByteArray("time,model\r\n2024-01-01T00:00:00.000Z,KT-41\r\n2024-01-01T00:0")
            << false << 4;
    }
    void existingFileKeepsItsRows() {
        QFETCH(QByteArray, before);
        QFETCH(bool, header);
        QFETCH(int, records);
        const QString path = Path(QStringLiteral("existing-%1.csv").arg(QTest::currentDataTag()));
        if (!before.isNull()) QVERIFY(WriteFile(path, before));

        Recorder recorder;
        QVERIFY2(recorder.start(path), qPrintable(recorder.errorString()));
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
        QVERIFY(frame.range.isEmpty());
        for (int i = 0; i < 14; ++i)
            QCOMPARE(frame.values[static_cast<std::size_t>(i)], Device::ParameterValues[i]);
        Device::ResetState();
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "test_recorder.moc"
