// impedix-cli's data file: rows on disk as they come under FILE.partial, FILE replaced only by a
// run that ended, and a failed write that keeps the whole rows and the old FILE.
#include "cli/data_output.h"

#include "tests/export/file_size_limit.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

using Cli::DataOutput;

namespace {

QByteArray Contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
}

bool Put(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace

class TestDataOutput : public QObject {
    Q_OBJECT

private slots:
    // Each row is on disk once written (a kill loses none of them); FILE keeps its old contents
    // until the run ends and then holds the new rows alone.
    void rowsAreOnDiskAsTheyComeAndReplaceTheFileAtTheEnd() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        const QString partial = DataOutput::PartialPath(path);
        QVERIFY(Put(path, "older run\r\n"));
        {
            DataOutput output(path);
            QVERIFY(output.open());
            QVERIFY(output.write("a,b\r\n"));
            QVERIFY(output.write("1,2\r\n"));
            QCOMPARE(Contents(partial), QByteArray("a,b\r\n1,2\r\n"));
            QCOMPARE(Contents(path), QByteArray("older run\r\n"));
            QVERIFY2(output.commit(), qPrintable(output.errorString()));
        }
        QCOMPARE(Contents(path), QByteArray("a,b\r\n1,2\r\n"));
        QVERIFY(!QFile::exists(partial));
    }

    // A partial file left by a killed run may be the only copy of its rows: it is not reused.
    void partialFileOfAnEarlierRunIsKept() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        const QString partial = DataOutput::PartialPath(path);
        QVERIFY(Put(partial, "killed,run\r\n"));
        DataOutput output(path);
        QVERIFY(!output.open());
        QVERIFY2(output.errorString().contains(partial), qPrintable(output.errorString()));
        QCOMPARE(Contents(partial), QByteArray("killed,run\r\n"));
        QVERIFY(!QFile::exists(path));
    }

    // A disk that takes only part of a row: the row is taken back, the rows before it stay in
    // the partial file, FILE keeps what it held, and the reason is the system's.
    void failedWriteKeepsWholeRowsAndTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        const QString partial = DataOutput::PartialPath(path);
        QVERIFY(Put(path, "older run\r\n"));
        DataOutput output(path);
        QVERIFY(output.open());
        QVERIFY(output.write("header\r\n"));
        {
            const TestDisk::FileSizeLimit limit(12);
            QVERIFY(!output.write("1234567890\r\n"));
        }
        QCOMPARE(output.errorString(), QString::fromLocal8Bit(std::strerror(EFBIG)));
        QVERIFY(!output.commit());
        QVERIFY2(output.errorString().contains(partial), qPrintable(output.errorString()));
        output.discard();
        QCOMPARE(output.keptPath(), partial);
        QCOMPARE(Contents(partial), QByteArray("header\r\n"));
        QCOMPARE(Contents(path), QByteArray("older run\r\n"));
    }

    // Whatever wrote to the file directly (the sweep table), what is kept ends on a whole row;
    // a run that wrote nothing leaves nothing behind.
    void discardKeepsWholeRowsOnlyAndNothingForNothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        {
            DataOutput output(path);
            QVERIFY(output.open());
            QCOMPARE(output.device()->write("1,2\r\n3,"), qint64(7));
            output.discard();
            QCOMPARE(output.keptPath(), DataOutput::PartialPath(path));
            QCOMPARE(Contents(output.keptPath()), QByteArray("1,2\r\n"));
        }
        QVERIFY(QFile::remove(DataOutput::PartialPath(path)));
        {
            DataOutput output(path);
            QVERIFY(output.open());
        }
        QVERIFY(!QFile::exists(DataOutput::PartialPath(path)));
        QVERIFY(!QFile::exists(path));
    }

    // A device cannot be replaced: it is written in place, and nothing lands beside it. The
    // device is reached through a link in a directory of the test's own, so that a fault
    // replaces the link, never the device.
    void deviceIsWrittenInPlace() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sink"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
        DataOutput output(path);
        QVERIFY(output.open());
        QVERIFY(output.write("1,2\r\n"));
        QVERIFY(output.commit());
        QVERIFY(!QFile::exists(DataOutput::PartialPath(path)));
        QVERIFY(QFileInfo(path).isSymLink());
    }

    // Through a link the file it names gets the rows; the link stays a link.
    void linkKeepsPointingAtTheNewRows() {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.csv"));
        const QString link = dir.filePath(QStringLiteral("link.csv"));
        QVERIFY(Put(real, "older run\r\n"));
        QVERIFY(QFile::link(real, link));
        DataOutput output(link);
        QVERIFY(output.open());
        QVERIFY(output.write("1,2\r\n"));
        QVERIFY2(output.commit(), qPrintable(output.errorString()));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(Contents(real), QByteArray("1,2\r\n"));
    }

    // Standard output redirected to a file can be cut; the torn part of a row goes.
    void takeBackCutsAFileOnly() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("out")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QCOMPARE(file.write("row\r\nto"), qint64(7));
        Cli::TakeBack(&file, 5);
        QCOMPARE(file.size(), qint64(5));
        Cli::TakeBack(&file, 9); // never lengthened
        QCOMPARE(file.size(), qint64(5));
    }
};

QTEST_GUILESS_MAIN(TestDataOutput)
#include "test_data_output.moc"
