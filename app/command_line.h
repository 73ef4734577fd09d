// The program's command line: port mappings, the demo instrument, recording, help.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QHostAddress;

namespace App {

// The port the demo meter is mapped to.
constexpr unsigned DemoPort = 1;

struct CommandLine {
    bool help = false;
    bool demo = false;
    QString demoModel;            // empty: the simulator's default model
    QStringList portMappings;     // "COMn=PATH", in the order given
    bool listPorts = false;       // print the serial devices and end
    QString recordFile;           // append every accepted frame to this CSV file
    bool recordSemicolon = false; // the recording's dialect: ";" and decimal commas, else ","
    QString tablePath;            // the calibration table's file; empty: DataBase.txt here
    bool scpi = false;            // serve the meter as a SCPI instrument on TCP
    quint16 scpiPort = 5025;      // 0: a free one, named on standard error
    QString listenAddress = QStringLiteral("127.0.0.1");
    QString error; // non-empty when the command line is unusable
};

// arguments without the program name.
CommandLine ParseCommandLine(const QStringList &arguments);

// arguments without the program name, less the window framework's own options (single dash,
// like -platform offscreen, with their values). Whatever else begins with a dash stays and is
// judged by ParseCommandLine.
QStringList OwnArguments(const QStringList &arguments);

// Each COM number may be mapped once, and the demo meter needs its own port: a message for the
// user when the mappings break either rule, else an empty text.
QString CheckPortMappings(const QStringList &portMappings, bool demo);

QString UsageText();

// Where a server listens, as both programs name it on standard error: "127.0.0.1:5025",
// "[::1]:5025".
QString ListeningText(const QHostAddress &address, quint16 port);

} // namespace App
