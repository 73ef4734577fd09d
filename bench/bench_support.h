// Shared by the benchmarks: CPU clocks, a process's resident memory and a simulated meter in a
// process of its own.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <ctime>

namespace Bench {

inline double ClockMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time of the calling thread, and of the whole process (all its threads), in ms.
inline double ThreadCpuMs() {
    return ClockMs(CLOCK_THREAD_CPUTIME_ID);
}
inline double ProcessCpuMs() {
    return ClockMs(CLOCK_PROCESS_CPUTIME_ID);
}

// Resident memory of a process (VmRSS of /proc/<pid>/status) in kB, or -1.
inline qint64 RssKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// impedix-sim as a KT-44 with further options; path is the terminal it prints.
struct SimProcess {
    QProcess process;
    QString path;

    bool start(const QString &program, const QStringList &options = {}) {
        process.start(program,
                      QStringList{QStringLiteral("--model"), QStringLiteral("KT-44")} + options);
        if (!process.waitForReadyRead(5000)) return false;
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !path.isEmpty();
    }
    void stop() {
        process.terminate();
        process.waitForFinished(5000);
    }
    ~SimProcess() { stop(); }
};

} // namespace Bench
