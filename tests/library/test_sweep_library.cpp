// The library of kept sweeps: what it keeps comes back whole, edits and pruning touch only what
// they name, files that are no library of this program are refused and left as they were, and a
// writer killed at any moment leaves every committed sweep readable.
#include "library/sweep_library.h"
#include "library_sample.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

using Library::Problem;
using LibraryTest::SamePoints;
using LibraryTest::SampleSweep;

namespace {

QByteArray Digest(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A database of another program's making, through a connection of its own.
void MakeDatabase(const QString &path, const QStringList &statements) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &statement : statements)
            QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}

} // namespace

class TestSweepLibrary : public QObject {
    Q_OBJECT
private slots:
    void keptSweepsComeBackWhole();
    void editsAndRemovalTouchOnlyTheNamedSweep();
    void pruneKeepsTheNewestAndTheRecent();
    void foreignOrDamagedFilesAreRefusedAndLeftAlone_data();
    void foreignOrDamagedFilesAreRefusedAndLeftAlone();
    void aDamagedPageIsReportedNotCrashedOn();
    void aWriterKilledAtAnyMomentLosesNoCommittedSweep();
};

void TestSweepLibrary::keptSweepsComeBackWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/sweeps.sqlite")); // folder made too
    qint64 first = 0, second = 0;
    {
        Library::SweepLibrary library;
        QVERIFY(library.open(path).ok());
        QVERIFY(library.keep(SampleSweep(1), &first).ok());
        Library::KeptSweep bias = SampleSweep(2, 5);
        bias.data.quantity = Sweep::Quantity::Bias;
        bias.entry.interrupted = true;
        bias.entry.note = QStringLiteral("после пайки; \"кавычки\"");
        bias.entry.conditions.biasVolts = std::numeric_limits<double>::quiet_NaN();
        bias.entry.conditions.compensation = QStringLiteral("open-short (щуп)");
        QVERIFY(library.keep(bias, &second).ok());
    }
    Library::SweepLibrary library; // a new opening reads what the first committed
    QVERIFY(library.open(path).ok());
    QVector<Library::Entry> entries;
    QVERIFY(library.list(entries).ok());
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].id, second); // newest first
    QCOMPARE(entries[1].id, first);
    const Library::Entry &b = entries[0];
    QCOMPARE(b.quantity, Sweep::Quantity::Bias);
    QVERIFY(b.interrupted);
    QVERIFY(!entries[1].interrupted);
    QCOMPARE(b.pointCount, 5);
    QCOMPARE(b.note, QStringLiteral("после пайки; \"кавычки\""));
    QVERIFY(std::isnan(b.conditions.biasVolts));
    QCOMPARE(b.conditions.levelVolts, 1.0);
    QCOMPARE(b.conditions.compensation, QStringLiteral("open-short (щуп)"));
    QCOMPARE(b.firstPlanned, 100.0);
    QCOMPARE(b.lastPlanned, 500.0);
    QCOMPARE(b.taken, SampleSweep(2).entry.taken);

    Library::KeptSweep back;
    QVERIFY(library.load(first, back).ok());
    QVERIFY(SamePoints(back.data, SampleSweep(1).data)); // NaN fields stay NaN, not 0
    QCOMPARE(back.data.model, SampleSweep(1).entry.model);
    QCOMPARE(back.entry.source, QStringLiteral("run"));
}

void TestSweepLibrary::editsAndRemovalTouchOnlyTheNamedSweep() {
    QTemporaryDir dir;
    Library::SweepLibrary library;
    QVERIFY(library.open(dir.filePath(QStringLiteral("l.sqlite"))).ok());
    qint64 a = 0, b = 0;
    QVERIFY(library.keep(SampleSweep(1, 4), &a).ok());
    QVERIFY(library.keep(SampleSweep(2, 4), &b).ok());
    QVERIFY(library.rename(a, QStringLiteral("C12 до")).ok());
    QVERIFY(library.setNote(a, QStringLiteral("партия 7")).ok());
    Library::Entry ea, eb;
    QVERIFY(library.entry(a, ea).ok());
    QVERIFY(library.entry(b, eb).ok());
    QCOMPARE(ea.name, QStringLiteral("C12 до"));
    QCOMPARE(ea.note, QStringLiteral("партия 7"));
    QCOMPARE(eb.name, SampleSweep(2).entry.name);

    QVERIFY(library.remove(a).ok());
    Library::KeptSweep gone;
    QCOMPARE(library.load(a, gone).problem, Problem::NoSuchSweep);
    QCOMPARE(library.remove(a).problem, Problem::NoSuchSweep);
    QCOMPARE(library.rename(a, QStringLiteral("x")).problem, Problem::NoSuchSweep);
    Library::KeptSweep kept;
    QVERIFY(library.load(b, kept).ok());
    QVERIFY(SamePoints(kept.data, SampleSweep(2, 4).data));
    Library::SweepLibrary closed;
    QCOMPARE(closed.keep(SampleSweep(3)).problem, Problem::NotOpen);
}

void TestSweepLibrary::pruneKeepsTheNewestAndTheRecent() {
    QTemporaryDir dir;
    Library::SweepLibrary library;
    QVERIFY(library.open(dir.filePath(QStringLiteral("l.sqlite"))).ok());
    for (int n = 0; n < 10; ++n)
        QVERIFY(library.keep(SampleSweep(n, 3)).ok());
    int removed = -1;
    QVERIFY(library.prune({7, QDateTime()}, &removed).ok());
    QCOMPARE(removed, 3);
    QVector<Library::Entry> entries;
    QVERIFY(library.list(entries).ok());
    QCOMPARE(entries.size(), 7);
    QCOMPARE(entries.last().name, QStringLiteral("sweep 3"));
    // Taken before sweep 6's time: sweeps 3, 4 and 5 go.
    QVERIFY(library.prune({-1, SampleSweep(6).entry.taken}, &removed).ok());
    QCOMPARE(removed, 3);
    QVERIFY(library.list(entries).ok());
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries.last().name, QStringLiteral("sweep 6"));
    QVERIFY(library.prune({}, &removed).ok()); // no rule: nothing goes
    QCOMPARE(removed, 0);
    QVERIFY(library.list(entries).ok());
    QCOMPARE(entries.size(), 4);
}

void TestSweepLibrary::foreignOrDamagedFilesAreRefusedAndLeftAlone_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("problem");
    QTest::newRow("text file") << 0 << int(Problem::NotALibrary);
    QTest::newRow("another program's database") << 1 << int(Problem::NotALibrary);
    QTest::newRow("a newer library") << 2 << int(Problem::NewerVersion);
    QTest::newRow("a library that lost its points") << 3 << int(Problem::Damaged);
    QTest::newRow("cut short after the header") << 4 << int(Problem::Damaged);
}

void TestSweepLibrary::foreignOrDamagedFilesAreRefusedAndLeftAlone() {
    QFETCH(int, kind);
    QFETCH(int, problem);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sweeps.sqlite"));
    const QString id = QString::number(Library::SweepLibrary::ApplicationId);
    if (kind == 0) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("point,planned frequency (Hz)\n1,100\n");
    } else if (kind == 1) {
        MakeDatabase(path, {QStringLiteral("CREATE TABLE sweep (x)"),
                            QStringLiteral("INSERT INTO sweep VALUES (1)")});
    } else if (kind == 2) {
        MakeDatabase(path, {QStringLiteral("PRAGMA application_id = ") + id,
                            QStringLiteral("PRAGMA user_version = 99"),
                            QStringLiteral("CREATE TABLE future (x)")});
    } else {
        {
            Library::SweepLibrary library;
            QVERIFY(library.open(path).ok());
            QVERIFY(library.keep(SampleSweep(1)).ok());
        }
        if (kind == 3) {
            MakeDatabase(path, {QStringLiteral("DROP TABLE point")});
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(100));
        }
    }
    const QByteArray before = Digest(path);
    Library::SweepLibrary library;
    const Library::Outcome outcome = library.open(path);
    QCOMPARE(int(outcome.problem), problem);
    QVERIFY(!library.isOpen());
    QCOMPARE(library.keep(SampleSweep(2)).problem, Problem::NotOpen);
    QCOMPARE(Digest(path), before);
    QVERIFY(!Library::Describe(outcome, path).isEmpty());
}

// Pages overwritten inside a library that opens: reading it says damaged, never crashes, and
// nothing is written over it.
void TestSweepLibrary::aDamagedPageIsReportedNotCrashedOn() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sweeps.sqlite"));
    {
        Library::SweepLibrary library;
        QVERIFY(library.open(path).ok());
        for (int n = 0; n < 20; ++n)
            QVERIFY(library.keep(SampleSweep(n)).ok());
    } // closing the last connection folds the log into the file
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    QVERIFY(size > 64 * 1024);
    for (qint64 at = 8192; at < size; at += 16384) {
        file.seek(at);
        file.write(QByteArray(512, '\xA5'));
    }
    file.close();
    Library::SweepLibrary library;
    Library::Outcome outcome = library.open(path);
    QVector<Library::Entry> entries;
    if (outcome.ok()) {
        outcome = library.list(entries);
        for (const Library::Entry &e : entries) {
            if (!outcome.ok()) break;
            Library::KeptSweep sweep;
            outcome = library.load(e.id, sweep);
        }
    }
    QCOMPARE(outcome.problem, Problem::Damaged);
}

void TestSweepLibrary::aWriterKilledAtAnyMomentLosesNoCommittedSweep() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sweeps.sqlite"));
    std::map<qint64, int> committed; // id → the sample it holds
    const int killAfter[] = {1, 9, 2, 25, 4, 13, 1, 7, 19, 3};
    int round = 0;
    for (int after : killAfter) {
        QProcess writer;
        writer.start(QStringLiteral(IMPEDIX_LIBRARY_WRITER),
                     {path, QString::number(1000 * ++round)});
        QVERIFY(writer.waitForStarted(30000));
        int seen = 0;
        QByteArray out;
        while (seen < after) {
            QVERIFY2(writer.waitForReadyRead(60000), writer.readAllStandardError().constData());
            out += writer.readAllStandardOutput();
            seen = int(out.count('\n'));
        }
        writer.kill(); // SIGKILL, mid-write most likely
        QVERIFY(writer.waitForFinished(30000));
        out += writer.readAllStandardOutput();
        for (const QByteArray &line : out.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() == 3) committed[words[2].toLongLong()] = words[1].toInt();
        }
    }
    Library::SweepLibrary library;
    const Library::Outcome opened = library.open(path);
    QVERIFY2(opened.ok(), qPrintable(Library::Describe(opened, path)));
    QVector<Library::Entry> entries;
    QVERIFY(library.list(entries).ok());
    std::set<qint64> listed;
    for (const Library::Entry &e : entries)
        listed.insert(e.id);
    for (const auto &[id, n] : committed) {
        QVERIFY2(listed.count(id), qPrintable(QStringLiteral("sweep %1 lost").arg(id)));
        Library::KeptSweep sweep;
        QVERIFY(library.load(id, sweep).ok());
        QVERIFY(SamePoints(sweep.data, SampleSweep(n).data));
    }
    // One killed after its commit but before it said so is there too, and whole.
    for (const Library::Entry &e : entries) {
        Library::KeptSweep sweep;
        QVERIFY(library.load(e.id, sweep).ok());
        QCOMPARE(sweep.entry.pointCount, 256);
    }
    QVERIFY(int(committed.size()) >= 84);
}

QTEST_GUILESS_MAIN(TestSweepLibrary)
#include "test_sweep_library.moc"
