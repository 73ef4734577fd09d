// impedix-cli against the simulated meter paced at 9600 Bd: its poll period against the wire
// bound (40 ms + one exchange), the time from start to the first reading with --port, and its
// resident memory over a minute of measuring.
#include "bench/bench_meter.h"
#include "bench/bench_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>

#include <cstdio>

using Bench::ExchangeMs;
using Bench::RssKb;
using Bench::SimProcess;

namespace {

void PollPeriod(const QString &path, double exchangeMs) {
    QProcess cli;
    cli.start(QStringLiteral(IMPEDIX_CLI_PATH),
              {"measure", "--port", "COM1=" + path, "--seconds", "20", "--format", "json"});
    cli.waitForFinished(60000);
    QList<double> stamps;
    for (const QByteArray &line : cli.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            stamps << QJsonDocument::fromJson(line).object().value("elapsed_s").toDouble();
    if (stamps.size() < 10) {
        std::printf("cli poll period: too few readings (%lld)\n", qlonglong(stamps.size()));
        return;
    }
    const double periodMs = (stamps.last() - stamps.first()) * 1000.0 / (stamps.size() - 1);
    const double boundMs = Bench::WireBoundMs(exchangeMs);
    std::printf("cli poll period: %.2f ms over %lld readings against 40 ms + %.1f ms = %.2f ms, "
                "ratio %.3f (goal within 2 %%)\n",
                periodMs, qlonglong(stamps.size()), exchangeMs, boundMs, periodMs / boundMs);
}

void FirstReading(const QString &path) {
    QList<double> times;
    for (int run = 0; run < 5; ++run) {
        QProcess cli;
        QElapsedTimer clock;
        clock.start();
        cli.start(QStringLiteral(IMPEDIX_CLI_PATH),
                  {"measure", "--port", "COM1=" + path, "--count", "1"});
        QByteArray out;
        while (out.count('\n') < 2 && cli.waitForReadyRead(5000))
            out += cli.readAllStandardOutput();
        times << clock.nsecsElapsed() / 1e6;
        cli.waitForFinished(5000);
    }
    std::sort(times.begin(), times.end());
    std::printf("cli start to first reading with --port: median %.0f ms, worst %.0f ms of 5 "
                "(goal under 300 ms)\n",
                times.at(2), times.last());
}

void Memory(const QString &path, int seconds) {
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.start(QStringLiteral(IMPEDIX_CLI_PATH),
              {"measure", "--port", "COM1=" + path, "--seconds", QString::number(seconds)});
    if (!cli.waitForStarted(5000)) return;
    QList<qint64> rss;
    for (int s = 0; s < seconds; s += 5) {
        QThread::sleep(5);
        rss << RssKb(cli.processId());
    }
    cli.waitForFinished(30000);
    QStringList text;
    for (qint64 kb : rss)
        text << QString::number(kb);
    std::printf("cli RSS every 5 s over measure --seconds %d (kB): %s (goal flat)\n", seconds,
                qPrintable(text.join(QLatin1String(" "))));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    SimProcess meter;
    if (!meter.start(QStringLiteral(IMPEDIX_SIM_PATH), {QStringLiteral("--paced")})) {
        std::printf("cli: the simulated meter did not start\n");
        return 0;
    }
    const double exchangeMs = ExchangeMs(meter.path);
    PollPeriod(meter.path, exchangeMs);
    FirstReading(meter.path);
    Memory(meter.path, 60);
    return 0;
}
