// A second program on the same machine, for the link tests: it holds a serial port open the way
// another program would ("hold PATH": open, print "held", keep it until stdin closes), or tries
// to open one through the link and reports why it could not ("open PATH": prints the euid, then
// the reason code and text). "open PATH nobody", started by the superuser, first becomes the
// user nobody: started as root, it runs from wherever the build lies, even a folder only root
// may enter, and the open itself runs unprivileged.
#include "link/open_failure.h"
#include "link/port_names.h"
#include "link/serial_link.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int CannotDrop = 77;

// Gives up every right of the superuser for good: no supplementary groups, then the group and
// the user of nobody.
bool BecomeNobody() {
    const passwd *nobody = getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
        std::printf("cannot become nobody: %s\n", std::strerror(errno));
        return false;
    }
    // Taken back, the rights would make the test meaningless.
    return setuid(0) != 0 && geteuid() == uid;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[3], "nobody") == 0 && !BecomeNobody()) return CannotDrop;
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 &&
        !(arguments.size() == 4 && arguments.at(1) == QLatin1String("open")))
        return 2;
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
