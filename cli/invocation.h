// The command line of impedix-cli: a subcommand, the options every subcommand shares with the
// window's program (--port, --demo[=MODEL], --table) and each subcommand's own, with a help text
// for each.
#pragma once

#include "cli/conditions.h"
#include "cli/fixture_options.h"
#include "cli/library_options.h"
#include "cli/quantity_run.h"
#include "cli/sort_options.h"
#include "fit/circuit_fit.h"
#include "launch/scpi_options.h"
#include "remote/scpi_server.h"

#include <QString>
#include <QStringList>

namespace Cli {

enum class Command { None, Ports, Identify, Measure, Sweep, Serve, Correct, Sort, Library, Fit };
enum class Format { Csv, Json };

// Where `serve` listens.
struct ServePlan {
    quint16 port = Remote::ScpiServer::DefaultPort; // 0: a free one, named on standard error
    QString address = Launch::DefaultListenAddress();
    Remote::ServerLimits limits;
};

// Exit codes of the program.
constexpr int ExitDone = 0;
constexpr int ExitNoMeter = 1; // no meter answered, or the line was lost and did not come back
constexpr int ExitUsage = 2;
constexpr int ExitWriteFailed = 3; // the data (or the fixture's file) could not be written
// The line was lost and came back during a run (unless --accept-reconnections), or another model
// answered at its port (the run ends there).
constexpr int ExitInterrupted = 4;
// A bias run could not set the bias back to what it was before (the line is lost, or the meter
// did not answer): the part may still be charged. It outranks every other outcome of the run.
constexpr int ExitBiasLeft = 5;
// library and fit: a sweep file that cannot be read, or no kept sweep with that id.
constexpr int ExitBadInput = 6;
// The library of sweeps cannot be used (another program's file, damaged, a newer schema).
constexpr int ExitLibrary = 7;
// sort --once: the part was outside every bin (OUT), or in a bin with its secondary quantity
// outside its limits (whether the plan reports that as AUX or as OUT). A part in a bin is 0.
constexpr int ExitSortOut = 10;
constexpr int ExitSortSecondaryFail = 11;
// sweep --fit and fit: the fit was made but is not to be trusted (the model does not describe the
// data, an element is not determined, or the solver did not converge); or none could be made
// (too few usable points). A good fit is 0. Any other outcome of the run outranks these.
constexpr int ExitFitPoor = 12;
constexpr int ExitFitRefused = 13;

struct Invocation {
    Command command = Command::None;
    bool help = false; // print helpText and end
    QString helpText;  // the subcommand's help (the overview without a subcommand)
    QString error;     // non-empty when the command line is unusable
    QString usageHint; // where to look after an error

    QStringList portMappings; // "COMn=PATH", in the order given
    bool demo = false;
    QString demoModel;            // empty: the simulator's default model
    QStringList demoSimArguments; // --demo-sim: more options of the demo's simulated meter
    QString tablePath;            // the calibration table's file; empty: DataBase.txt here

    Conditions conditions;       // measure, sort
    Duration duration;           // measure; sort (its count is of parts)
    SortRequest sort;            // sort
    SweepPlan sweep;             // sweep
    QuantityRunPlan quantityRun; // sweep --bias, --bias-list, --level-list (at conditions'
                                 // frequencyHz, else the meter's own)
    QString fitModel;            // sweep --fit, fit: a model's name or "auto"; empty: no fit
    Fit::FitOptions fitOptions;  // sweep --fit, fit: --fix and --weighting
    LibraryRequest library;      // library; fit (a file or an id)
    KeepChoice keep;             // sweep, library, fit: the library's file; sweep: whether kept
    ServePlan serve;             // serve
    CorrectPlan correct;         // correct
    CorrectionChoice correction; // measure, sweep, serve, sort; the fixture of correct
    Format format = Format::Csv;
    QString outputPath;               // empty: standard output
    bool sideFile = false;            // sweep --side-file: the context beside the output
    bool acceptReconnections = false; // a run that went on after the line came back exits 0
};

// arguments without the program name.
Invocation ParseInvocation(const QStringList &arguments);

// The text of `impedix-cli --help`: the subcommands and the shared options.
QString OverviewText();

} // namespace Cli
