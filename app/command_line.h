// The program's command line: port mappings, the demo instrument, recording, help.
#pragma once

#include "launch/scpi_options.h"
#include "remote/scpi_server.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace App {

struct CommandLine {
    bool help = false;
    bool demo = false;
    QString demoModel;            // empty: the simulator's default model
    QStringList demoSimArguments; // --demo-sim: more options of the demo's simulated meter
    QStringList portMappings;     // "COMn=PATH", in the order given
    bool listPorts = false;       // print the serial devices and end
    QString recordFile;           // append every accepted frame to this CSV file
    bool recordSemicolon = false; // the recording's dialect: ";" and decimal commas, else ","
    QString tablePath;            // the calibration table's file; empty: DataBase.txt here
    bool scpi = false;            // serve the meter as a SCPI instrument on TCP
    quint16 scpiPort = Remote::ScpiServer::DefaultPort; // 0: a free one, named on standard error
    QString listenAddress = Launch::DefaultListenAddress();
    Remote::ServerLimits scpiLimits; // --scpi-clients, --scpi-idle
    QString error;                   // non-empty when the command line is unusable
};

// arguments without the program name.
CommandLine ParseCommandLine(const QStringList &arguments);

// arguments without the program name, less the window framework's own options (single dash,
// like -platform offscreen, with their values). Whatever else begins with a dash stays and is
// judged by ParseCommandLine.
QStringList OwnArguments(const QStringList &arguments);

QString UsageText();

} // namespace App
