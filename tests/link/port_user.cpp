// A second program on the same machine, for the link tests: it holds a serial port open the way
// another program would ("hold PATH": open, print "held", keep it until stdin closes), or tries
// to open one through the link and reports why it could not ("open PATH": prints the euid, then
// the reason code and text).
#include "link/open_failure.h"
#include "link/port_names.h"
#include "link/serial_link.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) return 2;
    const QString &path = arguments.at(2);

    if (arguments.at(1) == QLatin1String("hold")) {
        QSerialPort port(path);
        if (!port.open(QIODevice::ReadWrite)) {
            std::printf("failed %s\n", qPrintable(port.errorString()));
            return 1;
        }
        std::printf("held\n");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    if (arguments.at(1) == QLatin1String("open")) {
        Device::MapPort(1, path);
        Device::InitLinkSettings();
        const bool opened = Device::OpenPort(1);
        std::printf("euid %u\n%d\t%s\n", static_cast<unsigned>(geteuid()),
                    opened ? 0 : static_cast<int>(Device::LastOpenFailure.reason),
                    Device::LastOpenFailure.text.toUtf8().constData());
        Device::ClosePort();
        return 0;
    }
    return 2;
}
