// A SCPI server over the fake meter for end-to-end tests with a real VISA client: a resistor of
// 50 ohms in series with 100 nF, read every 40 ms. Prints "PORT <n>" once it listens and runs
// until its standard input closes.
#include "fake_instrument.h"

#include "remote/scpi_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Serves SCPI over a simulated part for tests.");
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "TCP port, 0 for a free one.", "PORT", "0");
    parser.addOption(portOption);
    parser.process(app);

    Fake::Instrument meter;
    meter.realClock = true;
    Remote::ScpiServer server(meter);
    if (!server.listen(QHostAddress(QHostAddress::LocalHost),
                       static_cast<quint16>(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "cannot listen: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &meter, [&meter]() { meter.deliver(0); });
    tick.start(40);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app]() {
        char buffer[256];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
    });
    std::printf("PORT %u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    return app.exec();
}
