// The library of kept sweeps: opening one that holds 10 000 sweeps of 256 points and listing
// them (goal under 200 ms), reopening one sweep (goal under 20 ms), keeping one; and a writer
// killed (SIGKILL) over and over during 200 writes: every sweep committed before a kill is
// there, whole, and the library opens.
#include "library/sweep_library.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

Library::KeptSweep Sample(int n) {
    Library::KeptSweep sweep;
    sweep.entry.name = QStringLiteral("sweep %1").arg(n);
    sweep.entry.model = QStringLiteral("KT-44");
    for (int i = 0; i < 256; ++i) {
        Exchange::SweepPoint p;
        p.planned = 25.0 * std::pow(4e5, i / 255.0);
        p.frequency = std::round(p.planned);
        p.magnitude = 1.0 / (2 * M_PI * p.frequency * 100e-9) + n;
        p.phase = -1.5 + i * 1e-4;
        sweep.data.points.push_back(p);
    }
    return sweep;
}

bool Whole(const Library::KeptSweep &kept, int n) {
    const Library::KeptSweep expected = Sample(n);
    if (kept.data.points.size() != expected.data.points.size()) return false;
    for (std::size_t i = 0; i < kept.data.points.size(); ++i)
        if (kept.data.points[i].magnitude != expected.data.points[i].magnitude) return false;
    return true;
}

double Ms(const QElapsedTimer &timer) {
    return timer.nsecsElapsed() / 1e6;
}

// The child: keeps sweeps from `first` on, saying each once committed.
int Write(const QString &path, int first) {
    Library::SweepLibrary library;
    if (!library.open(path).ok()) return 1;
    for (int n = first;; ++n) {
        if (!library.keep(Sample(n)).ok()) return 1;
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}

void Fill(const QString &path, int sweeps) {
    Library::SweepLibrary library;
    library.open(path);
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < sweeps; ++n)
        library.keep(Sample(n));
    std::printf("keeping one sweep of 256 points: %.2f ms (mean of %d)\n", Ms(timer) / sweeps,
                sweeps);
}

void OpenAndReopen(const QString &path) {
    QElapsedTimer timer;
    timer.start();
    Library::SweepLibrary library;
    const bool opened = library.open(path).ok();
    QVector<Library::Entry> entries;
    library.list(entries);
    std::printf("opening the library and listing its %lld sweeps: %.1f ms (goal < 200)%s\n",
                static_cast<long long>(entries.size()), Ms(timer), opened ? "" : " NOT OPENED");
    std::vector<double> times;
    for (int i = 0; i < 200 && !entries.isEmpty(); ++i) {
        const qint64 id = entries[QRandomGenerator::global()->bounded(int(entries.size()))].id;
        Library::KeptSweep sweep;
        timer.restart();
        library.load(id, sweep);
        times.push_back(Ms(timer));
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        std::printf("reopening one sweep: median %.2f ms, worst %.2f ms of 200 (goal < 20)\n",
                    times[times.size() / 2], times.back());
}

void KillDuringWrites(const QString &path, const QString &self) {
    std::map<int, bool> committed;
    int round = 0;
    int writes = 0;
    while (writes < 200) {
        QProcess writer;
        writer.start(self, {QStringLiteral("--write"), path, QString::number(100000 * ++round)});
        writer.waitForStarted();
        const int after = 1 + QRandomGenerator::global()->bounded(20);
        QByteArray out;
        while (out.count('\n') < after && writer.waitForReadyRead(10000))
            out += writer.readAllStandardOutput();
        // Killed a random time into the next write.
        QThread::usleep(QRandomGenerator::global()->bounded(3000));
        writer.kill();
        writer.waitForFinished();
        out += writer.readAllStandardOutput();
        for (const QByteArray &line : out.split('\n'))
            if (!line.isEmpty()) committed[line.toInt()] = true, ++writes;
    }
    Library::SweepLibrary library;
    const bool opened = library.open(path).ok();
    int lost = 0;
    QVector<Library::Entry> entries;
    library.list(entries);
    std::map<int, qint64> ids;
    for (const Library::Entry &e : entries)
        ids[e.name.mid(6).toInt()] = e.id;
    for (const auto &[n, yes] : committed) {
        Library::KeptSweep sweep;
        if (!ids.count(n) || !library.load(ids[n], sweep).ok() || !Whole(sweep, n)) ++lost;
    }
    std::printf("SIGKILL in %d rounds during %d writes: library opens %s, committed sweeps lost "
                "or torn %d (goal 0)\n",
                round, writes, opened ? "yes" : "NO", lost);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--write"))
        return Write(arguments[2], arguments[3].toInt());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sweeps.sqlite"));
    std::printf("bench_library\n");
    Fill(path, 10000);
    OpenAndReopen(path);
    KillDuringWrites(dir.filePath(QStringLiteral("killed.sqlite")), app.applicationFilePath());
    return 0;
}
