// Hand-rolled parsing: --demo takes an optional "=MODEL", which QCommandLineParser cannot express.
#include "app/command_line.h"

namespace App {

CommandLine ParseCommandLine(const QStringList &arguments) {
    CommandLine line;
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
        } else if (argument == QLatin1String("--port")) {
            if (i + 1 >= arguments.size()) {
                line.error =
                    QStringLiteral("--port needs COMn=PATH, for example --port COM3=/dev/ttyUSB0");
                break;
            }
            line.portMappings << arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--port="))) {
            line.portMappings << argument.mid(7);
        } else if (argument == QLatin1String("--list-ports")) {
            line.listPorts = true;
        } else if (argument == QLatin1String("--record")) {
            if (i + 1 >= arguments.size()) {
                line.error = QStringLiteral("--record needs a file, for example --record data.csv");
                break;
            }
            line.recordFile = arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--record="))) {
            line.recordFile = argument.mid(9);
            if (line.recordFile.isEmpty())
                line.error =
                    QStringLiteral("--record= needs a file, for example --record=data.csv");
        } else if (argument == QLatin1String("--table")) {
            if (i + 1 >= arguments.size()) {
                line.error = QStringLiteral("--table needs a file, for example --table clb.txt");
                break;
            }
            line.tablePath = arguments.at(++i);
        } else if (argument.startsWith(QLatin1String("--table="))) {
            line.tablePath = argument.mid(8);
            if (line.tablePath.isEmpty())
                line.error = QStringLiteral("--table= needs a file, for example --table=clb.txt");
        } else {
            line.error = QStringLiteral("unknown option \"%1\"").arg(argument);
        }
        if (!line.error.isEmpty()) break;
    }
    return line;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: impedix [--port COMn=PATH]... [--demo[=MODEL]] [--record FILE] [--table PATH]\n"
        "  or:  impedix [--port COMn=PATH]... --list-ports\n"
        "\n"
        "Drives a bench impedance meter on a serial port.\n"
        "\n"
        "  --port COMn=PATH  use the serial device PATH as port COMn (n from 1 to 16);\n"
        "                    repeatable. Once any port is mapped, unmapped ports are absent.\n"
        "  --demo[=MODEL]    run a simulated meter (KT-41, KT-43, KT-44, KT-45 or KT-46)\n"
        "                    on a pseudo-terminal as COM1.\n"
        "  --record FILE     append every accepted measurement to the CSV file FILE\n"
        "                    (created if needed, never truncated).\n"
        "  --list-ports      list the serial devices, the port number each one gets and\n"
        "                    whether it can be opened, then end.\n"
        "  --table PATH      keep the D calibration table in PATH instead of DataBase.txt\n"
        "                    in the current directory.\n"
        "  --help            show this text.\n");
}

} // namespace App
