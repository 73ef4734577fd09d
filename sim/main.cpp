// impedix-sim: runs a simulated meter on a pseudo-terminal, prints the port path (its link's, when
// it keeps one), serves it until SIGINT or SIGTERM and tells on stderr when it vanishes and
// returns.
#include "sim/part_file.h"
#include "sim/simulator.h"

#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char *argv[]) {
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QString error;
    const std::optional<Sim::Options> options = Sim::parseOptions(arguments, &error);
    if (!options) {
        std::fprintf(stderr, "%s: %s (see --help)\n", qPrintable(program), qPrintable(error));
        return 2;
    }
    if (options->help) {
        std::fputs(qPrintable(Sim::usageText(program)), stdout);
        return 0;
    }

    if (!options->writePartPath.isEmpty()) {
        QString why;
        if (Sim::writePartFile(*options, options->writePartPath, &why)) return 0;
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(why));
        return 1;
    }

    // Blocked before the serving thread starts, so that it inherits the mask and the signals
    // reach sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Sim::Simulator simulator(*options);
    const QByteArray name = program.toLocal8Bit();
    simulator.setAnnouncer([name](const QString &line) {
        std::fprintf(stderr, "%s: %s\n", name.constData(), qPrintable(line));
    });
    if (!simulator.start()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(simulator.errorString()));
        return 1;
    }
    std::printf("%s\n", qPrintable(simulator.portPath()));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    simulator.stop();
    return 0;
}
