// Hand-rolled parsing: --demo takes an optional "=MODEL", which QCommandLineParser cannot express.
#include "app/command_line.h"

#include "launch/demo.h"
#include "launch/port_mappings.h"

#include <QRegularExpression>

#include <algorithm>

namespace App {

namespace {

// Options the window framework takes for itself, with and without a value.
const QStringList FrameworkValueOptions{QStringLiteral("-platform"),
                                        QStringLiteral("-platformpluginpath"),
                                        QStringLiteral("-platformtheme"),
                                        QStringLiteral("-plugin"),
                                        QStringLiteral("-qwindowgeometry"),
                                        QStringLiteral("-geometry"),
                                        QStringLiteral("-qwindowicon"),
                                        QStringLiteral("-icon"),
                                        QStringLiteral("-qwindowtitle"),
                                        QStringLiteral("-title"),
                                        QStringLiteral("-session"),
                                        QStringLiteral("-display"),
                                        QStringLiteral("-name"),
                                        QStringLiteral("-style"),
                                        QStringLiteral("-stylesheet")};
const QStringList FrameworkFlags{QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                                 QStringLiteral("-nograb"), QStringLiteral("-dograb"),
                                 QStringLiteral("-sync")};
const QStringList FrameworkAssignments{QStringLiteral("-style="), QStringLiteral("-stylesheet="),
                                       QStringLiteral("-qmljsdebugger=")};

// An option with a value, as "--name VALUE" or "--name=VALUE". False when arguments[i] is not
// that option; else the value (i moved past it) or, when it is missing or empty, an error naming
// what the option needs.
bool TakeValue(const QStringList &arguments, int &i, const char *name, const QString &needs,
               QString *value, QString *error) {
    const QString option = QLatin1String(name);
    const QString &argument = arguments.at(i);
    if (argument == option) {
        if (i + 1 >= arguments.size())
            *error = QStringLiteral("%1 needs %2").arg(option, needs);
        else
            *value = arguments.at(++i);
        return true;
    }
    if (!argument.startsWith(option + QLatin1Char('='))) return false;
    *value = argument.mid(option.size() + 1);
    if (value->isEmpty()) *error = QStringLiteral("%1= needs %2").arg(option, needs);
    return true;
}

} // namespace

QStringList OwnArguments(const QStringList &arguments) {
    QStringList own;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (FrameworkValueOptions.contains(argument) && i + 1 < arguments.size()) {
            ++i;
            continue;
        }
        if (FrameworkFlags.contains(argument)) continue;
        if (std::any_of(FrameworkAssignments.begin(), FrameworkAssignments.end(),
                        [&argument](const QString &prefix) {
                            return argument.startsWith(prefix) && argument.size() > prefix.size();
                        }))
            continue;
        own << argument;
    }
    return own;
}

CommandLine ParseCommandLine(const QStringList &arguments) {
    CommandLine line;
    QString value;
    bool demoSim = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
        } else if (argument == QLatin1String("--demo")) {
            line.demo = true;
        } else if (argument.startsWith(QLatin1String("--demo="))) {
            line.demo = true;
            line.demoModel = argument.mid(7);
            if (line.demoModel.isEmpty())
                line.error = QStringLiteral("--demo= needs a model name, for example --demo=KT-45");
        } else if (TakeValue(arguments, i, "--demo-sim",
                             QStringLiteral("simulator options, for example "
                                            "--demo-sim \"--vanish-after 200\""),
                             &value, &line.error)) {
            demoSim = true;
            line.demoSimArguments = Launch::SplitDemoSimArguments(value);
        } else if (TakeValue(arguments, i, "--port",
                             QStringLiteral("COMn=PATH, for example --port COM3=/dev/ttyUSB0"),
                             &value, &line.error)) {
            if (line.error.isEmpty()) line.portMappings << value;
        } else if (argument == QLatin1String("--list-ports")) {
            line.listPorts = true;
        } else if (TakeValue(arguments, i, "--record",
                             QStringLiteral("a file, for example --record data.csv"), &value,
                             &line.error)) {
            line.recordFile = value;
        } else if (TakeValue(arguments, i, "--record-dialect", QStringLiteral("comma or semicolon"),
                             &value, &line.error)) {
            if (value == QLatin1String("semicolon"))
                line.recordSemicolon = true;
            else if (value == QLatin1String("comma"))
                line.recordSemicolon = false;
            else if (line.error.isEmpty())
                line.error =
                    QStringLiteral("--record-dialect is comma or semicolon, not \"%1\"").arg(value);
        } else if (TakeValue(arguments, i, "--table",
                             QStringLiteral("a file, for example --table clb.txt"), &value,
                             &line.error)) {
            line.tablePath = value;
        } else if (argument == QLatin1String("--scpi")) {
            line.scpi = true;
            // "--scpi PORT" would take the port for a stray argument: say how the port is given.
            bool number = false;
            if (i + 1 < arguments.size()) arguments.at(i + 1).toUInt(&number);
            if (number)
                line.error = QStringLiteral("--scpi takes its port after \"=\", as in --scpi=%1")
                                 .arg(arguments.at(i + 1));
        } else if (TakeValue(arguments, i, "--scpi",
                             QStringLiteral("a TCP port, for example --scpi=%1")
                                 .arg(Remote::ScpiServer::DefaultPort),
                             &value, &line.error)) {
            line.scpi = true;
            if (line.error.isEmpty())
                line.scpiPort = Launch::ReadScpiPort(value, &line.error).value_or(line.scpiPort);
        } else if (TakeValue(arguments, i, "--listen",
                             QStringLiteral("an IP address, for example --listen ::1"), &value,
                             &line.error)) {
            line.listenAddress = value;
            if (line.error.isEmpty()) Launch::CheckListenAddress(value, &line.error);
        } else if (TakeValue(arguments, i, "--scpi-clients",
                             QStringLiteral("a number of clients, for example --scpi-clients 4"),
                             &value, &line.error)) {
            if (line.error.isEmpty())
                line.scpiLimits.clients =
                    Launch::ReadScpiClients(value, &line.error).value_or(line.scpiLimits.clients);
        } else if (TakeValue(arguments, i, "--scpi-idle",
                             QStringLiteral("seconds, for example --scpi-idle 600"), &value,
                             &line.error)) {
            if (line.error.isEmpty())
                line.scpiLimits.idleSeconds =
                    Launch::ReadScpiIdle(value, &line.error).value_or(line.scpiLimits.idleSeconds);
        } else {
            line.error = QStringLiteral("unknown option \"%1\"").arg(argument);
        }
        if (!line.error.isEmpty()) break;
    }
    for (const char *option : {"--listen", "--scpi-clients", "--scpi-idle"})
        if (line.error.isEmpty() && !line.scpi &&
            arguments.filter(QRegularExpression(QStringLiteral("^%1(=|$)").arg(option))).size() > 0)
            line.error = QStringLiteral("%1 needs --scpi").arg(QLatin1String(option));
    if (line.error.isEmpty()) line.error = Launch::CheckPortMappings(line.portMappings, line.demo);
    if (line.error.isEmpty() && demoSim && !line.demo)
        line.error = QStringLiteral("--demo-sim needs --demo");
    if (line.error.isEmpty() && line.demo)
        line.error = Launch::CheckDemo(line.demoModel, line.demoSimArguments);
    return line;
}

QString UsageText() {
    const QString text = QStringLiteral(
        "Usage: impedix [--port COMn=PATH]... [--demo[=MODEL] [--demo-sim OPTIONS]]\n"
        "               [--record FILE]\n"
        "               [--record-dialect comma|semicolon] [--table PATH]\n"
        "               [--scpi[=PORT]] [--listen ADDRESS] [--scpi-clients N]\n"
        "               [--scpi-idle SECONDS]\n"
        "  or:  impedix [--port COMn=PATH]... --list-ports\n"
        "\n"
        "Drives a bench impedance meter on a serial port.\n"
        "\n"
        "  --port COMn=PATH  use the serial device PATH as port COMn (n from 1 to 16);\n"
        "                    repeatable. Once any port is mapped, unmapped ports are absent.\n"
        "  --demo[=MODEL]    run a simulated meter (KT-41, KT-43, KT-44, KT-45 or KT-46)\n"
        "                    on a pseudo-terminal as COM1 (not with --port COM1=...).\n"
        "  --demo-sim OPTIONS\n"
        "                    more options of the demo's simulated meter, in one argument\n"
        "                    (see impedix-sim --help), e.g. \"--vanish-after 200 --away 3000\";\n"
        "                    with a link (--link, or one made to vanish) COM1 is the link.\n"
        "  --record FILE     append every accepted measurement to the CSV file FILE\n"
        "                    (created if needed, never truncated; a file that begins with\n"
        "                    other columns is kept, and FILE-2.csv beside it is used).\n"
        "  --record-dialect comma|semicolon\n"
        "                    how the recording writes its numbers: comma (the default)\n"
        "                    separates fields with \",\" and writes \"0.5\"; semicolon\n"
        "                    separates them with \";\" and writes \"0,5\", for spreadsheets\n"
        "                    set to a decimal comma.\n"
        "  --list-ports      list the serial devices, the port number each one gets and\n"
        "                    whether it can be opened, then end.\n"
        "  --table PATH      keep the D calibration table in PATH instead of DataBase.txt\n"
        "                    in the current directory.\n"
        "  --scpi[=PORT]     serve the meter as a SCPI instrument on TCP port PORT\n"
        "                    (default %1; 0 picks a free one) beside the window. The\n"
        "                    address it listens on is printed on standard error.\n"
        "  --listen ADDRESS  listen on ADDRESS instead of %2. Anyone who can reach\n"
        "                    the port drives the meter: open it wider only on a network\n"
        "                    you trust.\n"
        "  --scpi-clients N  serve at most N SCPI clients at once (default %3, at most\n"
        "                    %4); one more is told so in one line and closed.\n"
        "  --scpi-idle SECONDS\n"
        "                    close a SCPI client that has sent nothing and been answered\n"
        "                    nothing for SECONDS (default %5; 0 never).\n"
        "  --help            show this text.\n");
    return text.arg(Remote::ScpiServer::DefaultPort)
        .arg(Launch::DefaultListenAddress())
        .arg(Remote::ServerLimits::DefaultClients)
        .arg(Launch::MaxScpiClients)
        .arg(Remote::ServerLimits::DefaultIdleSeconds);
}

} // namespace App
