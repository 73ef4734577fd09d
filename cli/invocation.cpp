// One QCommandLineParser per subcommand. --demo takes an optional "=MODEL", which the parser
// cannot express: that form is taken out before it and the bare flag left in its place.
#include "cli/invocation.h"

#include "cli/correct_options.h"
#include "cli/fit_options.h"
#include "cli/fit_output.h"
#include "cli/invocation_options.h"
#include "cli/serve_options.h"
#include "cli/sort_invocation.h"

#include "fit/circuit_models.h"
#include "launch/demo.h"
#include "launch/port_mappings.h"
#include "link/capabilities.h"
#include "link/ranges.h"
#include "sweep/sweep_store.h"

#include <QCommandLineParser>

#include <functional>

namespace Cli {

namespace {

const QString Program = QStringLiteral("impedix-cli");

struct Subcommand {
    Command command;
    const char *name;
    const char *synopsis; // after "impedix-cli NAME "
    const char *summary;
};

const Subcommand Subcommands[] = {
    {Command::Ports, "ports", "[--port COMn=PATH]...",
     "List the serial devices, the port number each one gets and whether it can be opened."},
    {Command::Identify, "identify", "[common options]",
     "Search the ports for a meter and print its port, model and frequency range."},
    {Command::Measure, "measure", "[common options] [conditions] [--count N | --seconds S]",
     "Set the test conditions, then print one row per accepted reading."},
    {Command::Sweep, "sweep",
     "[common options] (--from HZ --to HZ (--points N [--spacing linear|log] | --list "
     "standard) | --list FILE | --samples N --frequency HZ | (--bias FROM:TO:POINTS | "
     "--bias-list V,... | --level-list V,...) [--frequency HZ])",
     "Run a frequency sweep, a series of samples at one frequency, or a run over the DC bias "
     "or the test level, and print its points."},
    {Command::Serve, "serve",
     "[common options] [--scpi PORT] [--listen ADDRESS] [--scpi-clients N] "
     "[--scpi-idle SECONDS]",
     "Search for a meter, then serve it as a SCPI instrument on TCP until stopped."},
    {Command::Correct, "correct",
     "open|short|load [--standard FORM:A,B] [--fixture NAME] [--grid | --from HZ --to HZ "
     "--points N | --spot] [--averaging N] [common options]",
     "Measure the test fixture open, shorted or with a load standard, and keep it."},
    {Command::Sort, "sort",
     "[common options] [conditions] (--plan FILE | --nominal X --bins LIST | --sequential "
     "B,B,... | --secondary EXPR)... [--count N | --seconds S | --once [--now]]",
     "Sort parts into bins as they are put into the contacts, one row per part."},
    {Command::Library, "library", "list|show|export|import|delete|rename|note|prune ...",
     "List, show, export, import, rename or delete the kept sweeps."},
    {Command::Fit, "fit", "(FILE | --id ID) [--model NAME|auto] [--format text|json]",
     "Fit a sweep file or a kept sweep to an equivalent circuit, without a meter."},
};

const Subcommand *FindSubcommand(const QString &name) {
    for (const Subcommand &sub : Subcommands)
        if (name == QLatin1String(sub.name)) return &sub;
    return nullptr;
}

// The options of every subcommand that talks to the meter, as the window has them.
void AddCommon(QCommandLineParser &parser, bool meter) {
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this text.")));
    parser.addOption(Valued("port",
                            "Use the serial device PATH as port COMn (n from 1 to 16); "
                            "repeatable. Once any port is mapped, unmapped ports are absent.",
                            "COMn=PATH"));
    if (!meter) return;
    parser.addOption(QCommandLineOption(
        QStringLiteral("demo"),
        QStringLiteral("Run a simulated meter on a pseudo-terminal as COM1; --demo=MODEL picks "
                       "its model (KT-41, KT-43, KT-44, KT-45 or KT-46).")));
    parser.addOption(Valued("demo-sim",
                            "More options of the demo's simulated meter, in one argument (see "
                            "impedix-sim --help), e.g. \"--vanish-after 200 --away 3000\". With "
                            "a link (--link, or one made to vanish) COM1 is the link.",
                            "OPTIONS"));
    parser.addOption(Valued("table",
                            "Keep the D calibration table in PATH instead of DataBase.txt in "
                            "the current directory.",
                            "PATH"));
}

void AddMeasure(QCommandLineParser &parser) {
    AddConditions(parser);
    parser.addOption(Valued("count", "Stop after N readings.", "N"));
    parser.addOption(Valued("seconds", "Stop after S seconds (default: run until stopped).", "S"));
    AddOutput(parser);
}

void AddSort(QCommandLineParser &parser) {
    AddConditions(parser);
    AddSortOptions(parser);
    AddOutput(parser);
}

void AddSweep(QCommandLineParser &parser) {
    parser.addOption(Valued("from",
                            QStringLiteral("Lowest frequency of a sweep, in hertz (%1 at least).")
                                .arg(Device::SweepLowestHz),
                            "HZ"));
    parser.addOption(Valued("to",
                            QStringLiteral("Highest frequency of a sweep, in hertz (%1 at most).")
                                .arg(Device::SweepHighestHz),
                            "HZ"));
    parser.addOption(Valued("points",
                            QStringLiteral("Points of a sweep, %1 to %2.")
                                .arg(Main::SweepPointsLeast)
                                .arg(Main::SweepCapacity),
                            "N"));
    parser.addOption(Valued("spacing",
                            "How the points lie from --from to --to: linear (evenly, the "
                            "default) or log (each point the same ratio above the last).",
                            "linear|log"));
    parser.addOption(Valued("list",
                            "Sweep the frequencies of FILE instead (one whole number of hertz a "
                            "line, '#' starts a comment, 2 to 256 lines), or with standard the "
                            "meter's own test frequencies from --from to --to.",
                            "FILE|standard"));
    parser.addOption(Valued("samples", "Take N samples (2 to 256) at --frequency instead.", "N"));
    parser.addOption(Valued("bias",
                            QStringLiteral("Step the DC bias instead, from FROM to TO volts in "
                                           "POINTS evenly spaced points (e.g. 0:40:41), each "
                                           "rounded to the model's step; %1 to %2 V.")
                                .arg(Device::LowestBiasMillivolts / 1000)
                                .arg(Device::HighestBiasMillivolts / 1000),
                            "FROM:TO:POINTS"));
    parser.addOption(Valued("bias-list",
                            "Step the DC bias through these volts, in this order (e.g. "
                            "0,5,10,20), each rounded to the model's step.",
                            "V,V,..."));
    parser.addOption(Valued("level-list",
                            QStringLiteral("Step the test-signal level through these volts, in "
                                           "this order, each one of %1.")
                                .arg(Choices(Device::Levels, 1000.0)),
                            "V,V,..."));
    parser.addOption(Valued("frequency",
                            "The frequency of a series of samples, in hertz; or the one a bias "
                            "or level run holds (default: the meter's own).",
                            "HZ"));
    parser.addOption(
        Valued("circuit", "Equivalent circuit of the values (default series).", "series|parallel"));
    parser.addOption(Valued("fit",
                            "Fit the run to an equivalent circuit, or to the best of them with "
                            "auto, or to a circuit string such as R0-p(R1,Q1) (series -, "
                            "parallel p(a,b,...), elements R, C, L and Q, a constant-phase "
                            "element): a summary on stderr and, with --format json, a last line "
                            "{\"fit\": {...}}.",
                            "MODEL|auto|CIRCUIT"));
    AddFitOptions(parser);
    parser.addOption(QCommandLineOption(
        QStringLiteral("side-file"),
        QStringLiteral("With --output FILE, also write FILE.impedix.json: the meter, the date, "
                       "the conditions, what was swept and the fit, if any (the table stays as "
                       "it is).")));
    AddOutput(parser);
}

QString HelpText(const Subcommand &sub, const QCommandLineParser &parser) {
    // The parser's own text begins with a usage line that knows nothing of subcommands.
    const QString own = parser.helpText();
    const int options = own.indexOf(QLatin1String("Options:"));
    QString text = QStringLiteral("Usage: %1 %2 %3\n\n%4\n\n")
                       .arg(Program, QLatin1String(sub.name), QLatin1String(sub.synopsis),
                            QLatin1String(sub.summary));
    if (sub.command == Command::Serve) text += ServeHelpText();
    if (sub.command == Command::Correct) text += CorrectHelpText();
    if (sub.command == Command::Measure || sub.command == Command::Sweep)
        text += QStringLiteral("With --correction the fixture's file is read first; a damaged one, "
                               "another model's,\nor one without data of a kind asked for ends the "
                               "run with exit status 2.\n");
    if (sub.command == Command::Sort) text += SortHelpText();
    if (sub.command == Command::Identify || sub.command == Command::Measure ||
        sub.command == Command::Sweep)
        text += QStringLiteral(
            "A port whose identity reply arrives damaged is asked up to three times.\n"
            "Exit status: 0 done; 1 no meter answered, no reading came, or the line was lost\n"
            "and did not come back within 10 s; 2 a mistake on the command line or a setting\n"
            "the meter cannot take; 3 the data could not be written; 4 the line was lost\n"
            "and came back during the run (the run goes on with the meter's conditions sent\n"
            "again; 0 with --accept-reconnections) or another model answered there (the run\n"
            "ends); 128 + the signal's number after SIGINT or SIGTERM, with what was\n"
            "measured written.\n\n");
    if (sub.command == Command::Sweep) text += FitExitHelp();
    if (sub.command == Command::Sweep)
        text += QStringLiteral(
            "A bias run puts the bias back to what it was before it however it ends; exit\n"
            "status 5 when it could not (the line was lost or the meter did not answer): the\n"
            "part may still be charged. The meter does not report its test level: a level\n"
            "run ends at the level set before it, or at the power-on 1 V when none was.\n\n");
    return text + (options >= 0 ? own.mid(options) : own);
}

// Takes --demo=MODEL out, leaving --demo; false with error when MODEL is empty.
QStringList TakeDemoModel(const QStringList &arguments, Invocation &invocation) {
    QStringList rest;
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1String("--demo="))) {
            invocation.demoModel = argument.mid(7);
            if (invocation.demoModel.isEmpty())
                invocation.error =
                    QStringLiteral("--demo= needs a model name, for example --demo=KT-45");
            rest << QStringLiteral("--demo");
        } else {
            rest << argument;
        }
    }
    return rest;
}

// Reads option name through reader when it was given; false with the reader's message.
template <typename T>
bool Take(const QCommandLineParser &parser, const char *name,
          const std::function<std::optional<T>(const QString &, QString *)> &reader,
          std::optional<T> *into, QString *error) {
    const QString option = QLatin1String(name);
    if (!parser.isSet(option)) return true;
    *into = reader(parser.value(option), error);
    return into->has_value();
}

bool TakeFormat(const QCommandLineParser &parser, Invocation &invocation) {
    invocation.outputPath = parser.value(QStringLiteral("output"));
    invocation.acceptReconnections = parser.isSet(QStringLiteral("accept-reconnections"));
    if (parser.isSet(QStringLiteral("output")) && invocation.outputPath.isEmpty()) {
        invocation.error = QStringLiteral("--output needs a file name");
        return false;
    }
    if (!parser.isSet(QStringLiteral("format"))) return true;
    const QString format = parser.value(QStringLiteral("format"));
    if (format == QLatin1String("csv")) {
        invocation.format = Format::Csv;
    } else if (format == QLatin1String("json")) {
        invocation.format = Format::Json;
    } else {
        invocation.error = QStringLiteral("--format takes csv or json, not \"%1\"").arg(format);
        return false;
    }
    return true;
}

bool TakeCircuit(const QCommandLineParser &parser, Invocation &invocation) {
    std::optional<Circuit> circuit;
    if (!Take<Circuit>(parser, "circuit", ReadCircuit, &circuit, &invocation.error)) return false;
    if (circuit) invocation.conditions.circuit = *circuit;
    return true;
}

bool TakeMeasure(const QCommandLineParser &parser, Invocation &invocation) {
    Conditions &c = invocation.conditions;
    QString *error = &invocation.error;
    const auto frequency = [](const QString &text, QString *e) {
        return ReadFrequency(QStringLiteral("--frequency"), text, e);
    };
    std::optional<Speed> speed;
    const auto count = [](const QString &text, QString *e) {
        return ReadCount(QStringLiteral("--count"), text, e);
    };
    if (!Take<std::int32_t>(parser, "frequency", frequency, &c.frequencyHz, error) ||
        !Take<std::int32_t>(parser, "bias", ReadBias, &c.biasMillivolts, error) ||
        !Take<std::int32_t>(parser, "level", ReadLevel, &c.levelMillivolts, error) ||
        !Take<Speed>(parser, "speed", ReadSpeed, &speed, error) ||
        !Take<int>(parser, "range", ReadRange, &c.range, error) ||
        !TakeCircuit(parser, invocation) ||
        !Take<qint64>(parser, "count", count, &invocation.duration.count, error) ||
        !Take<double>(parser, "seconds", ReadSeconds, &invocation.duration.seconds, error))
        return false;
    if (speed) c.speed = *speed;
    if (invocation.duration.count && invocation.duration.seconds) {
        *error = QStringLiteral("--count and --seconds exclude each other");
        return false;
    }
    return TakeFormat(parser, invocation);
}

// The conditions as measure takes them, then the plan and --once/--now.
bool TakeSort(const QCommandLineParser &parser, Invocation &invocation) {
    return TakeMeasure(parser, invocation) && TakeSortOptions(parser, invocation);
}

// --spacing and --list; false with error when they do not fit the rest of the line.
bool TakeSpacing(const QCommandLineParser &parser, bool samples, Invocation &invocation) {
    SweepPlan &plan = invocation.sweep;
    QString *error = &invocation.error;
    const bool spacing = parser.isSet(QStringLiteral("spacing"));
    const bool list = parser.isSet(QStringLiteral("list"));
    if (samples && (spacing || list)) {
        *error = QStringLiteral("--%1 belongs to a sweep, not to --samples/--frequency")
                     .arg(spacing ? QStringLiteral("spacing") : QStringLiteral("list"));
        return false;
    }
    if (spacing && list) {
        *error = QStringLiteral("--spacing and --list exclude each other");
        return false;
    }
    if (spacing) {
        const QString value = parser.value(QStringLiteral("spacing"));
        if (value == QLatin1String("log")) {
            plan.spacing = Sweep::Spacing::Log;
        } else if (value != QLatin1String("linear")) {
            *error = QStringLiteral("--spacing takes linear or log, not \"%1\"").arg(value);
            return false;
        }
    }
    if (!list) return true;
    const QString value = parser.value(QStringLiteral("list"));
    plan.spacing = Sweep::Spacing::List;
    if (value.isEmpty()) {
        *error = QStringLiteral("--list needs a file name or standard");
        return false;
    }
    if (value == QLatin1String("standard")) return true;
    const bool range = parser.isSet(QStringLiteral("from")) || parser.isSet(QStringLiteral("to")) ||
                       parser.isSet(QStringLiteral("points"));
    if (range) {
        *error = QStringLiteral("--list FILE takes the run's frequencies from the file; --from, "
                                "--to and --points do not go with it");
        return false;
    }
    plan.listFile = value;
    return true;
}

// A run over the bias or the level: one of its options, none of a frequency run's, and the
// frequency it holds. False with error when it was asked for and the line does not fit.
bool TakeQuantityRun(const QCommandLineParser &parser, Invocation &invocation) {
    QString *error = &invocation.error;
    QStringList given;
    for (const QString &name : QuantityRunOptions())
        if (parser.isSet(name)) given << name;
    if (given.isEmpty()) return true;
    if (given.size() > 1) {
        *error = QStringLiteral("--%1 and --%2 exclude each other").arg(given.at(0), given.at(1));
        return false;
    }
    const QString &option = given.first();
    for (const QString &name : FrequencyRunOptions())
        if (parser.isSet(name)) {
            *error = QStringLiteral("--%1 and --%2 exclude each other: a run steps the bias, "
                                    "the level or the frequency")
                         .arg(option, name);
            return false;
        }
    const QString text = parser.value(option);
    const std::optional<QuantityRunPlan> plan =
        option == QLatin1String("bias") ? ReadBiasRange(text, error)
                                        : ReadVoltList(QStringLiteral("--") + option, text, error);
    if (!plan) return false;
    invocation.quantityRun = *plan;
    invocation.sweep.frequencyMode = false;
    if (parser.isSet(QStringLiteral("frequency"))) {
        invocation.conditions.frequencyHz = ReadFrequency(
            QStringLiteral("--frequency"), parser.value(QStringLiteral("frequency")), error);
        if (!invocation.conditions.frequencyHz) return false;
    }
    return true;
}

bool TakeSweep(const QCommandLineParser &parser, Invocation &invocation) {
    if (!TakeQuantityRun(parser, invocation)) return false;
    if (invocation.quantityRun.asked())
        return TakeCircuit(parser, invocation) && TakeFormat(parser, invocation);
    SweepPlan &plan = invocation.sweep;
    QString *error = &invocation.error;
    const bool range = parser.isSet(QStringLiteral("from")) || parser.isSet(QStringLiteral("to")) ||
                       parser.isSet(QStringLiteral("points"));
    const bool samples =
        parser.isSet(QStringLiteral("samples")) || parser.isSet(QStringLiteral("frequency"));
    if (!TakeSpacing(parser, samples, invocation)) return false;
    if (!plan.listFile.isEmpty()) // read before the port is opened, by the run
        return TakeCircuit(parser, invocation) && TakeFormat(parser, invocation);
    const bool standard = plan.spacing == Sweep::Spacing::List;
    if (range == samples) {
        *error = range ? QStringLiteral("--from/--to/--points and --samples/--frequency exclude "
                                        "each other")
                       : QStringLiteral("sweep needs --from, --to and --points, --list FILE, or "
                                        "--samples and --frequency");
        return false;
    }
    plan.frequencyMode = range;
    if (standard && parser.isSet(QStringLiteral("points"))) {
        *error = QStringLiteral("--list standard takes the meter's frequencies between --from "
                                "and --to; --points does not go with it");
        return false;
    }
    const QStringList needed =
        standard ? QStringList{QStringLiteral("from"), QStringLiteral("to")}
        : range
            ? QStringList{QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("points")}
            : QStringList{QStringLiteral("samples"), QStringLiteral("frequency")};
    for (const QString &name : needed)
        if (!parser.isSet(name)) {
            *error = QStringLiteral("sweep needs --%1 with --%2")
                         .arg(name, needed.join(QStringLiteral(", --")));
            return false;
        }
    const QString low = range ? QStringLiteral("from") : QStringLiteral("frequency");
    const QString count = range ? QStringLiteral("points") : QStringLiteral("samples");
    const std::optional<std::int32_t> from =
        ReadFrequency(QStringLiteral("--") + low, parser.value(low), error);
    if (!from) return false;
    plan.fromHz = plan.toHz = *from;
    if (range) {
        const std::optional<std::int32_t> to =
            ReadFrequency(QStringLiteral("--to"), parser.value(QStringLiteral("to")), error);
        if (!to) return false;
        plan.toHz = *to;
    }
    if (standard) {
        plan.frequencies = Sweep::MeterListPlan(plan.fromHz, plan.toHz);
        plan.points = static_cast<int>(plan.frequencies.size());
        if (plan.points < Sweep::ListShortest) {
            *error = QStringLiteral("--list standard: fewer than %1 of the meter's test "
                                    "frequencies lie from %2 to %3 Hz")
                         .arg(Sweep::ListShortest)
                         .arg(plan.fromHz)
                         .arg(plan.toHz);
            return false;
        }
        return TakeCircuit(parser, invocation) && TakeFormat(parser, invocation);
    }
    const std::optional<qint64> points =
        ReadCount(QStringLiteral("--") + count, parser.value(count), error);
    if (!points) return false;
    plan.points = static_cast<int>(std::min<qint64>(*points, 1 << 20));
    return TakeCircuit(parser, invocation) && TakeFormat(parser, invocation);
}

bool TakeFit(const QCommandLineParser &parser, Invocation &invocation) {
    if (!parser.isSet(QStringLiteral("fit"))) {
        if (!FitOptionsSet(parser)) return true;
        invocation.error =
            QStringLiteral("--fix, --bound and --weighting steer --fit, which is not given");
        return false;
    }
    if (!TakeFitOptions(parser, invocation.fitOptions, invocation.error)) return false;
    const QString name = parser.value(QStringLiteral("fit"));
    if (invocation.quantityRun.asked()) {
        invocation.error = QStringLiteral("--fit and %1 exclude each other: the fit is for "
                                          "frequency sweeps only")
                               .arg(invocation.quantityRun.option);
        return false;
    }
    if (const QString why = Fit::FitNameError(name); !why.isEmpty()) {
        invocation.error = QStringLiteral("--fit takes %1").arg(why);
        return false;
    }
    if (!invocation.sweep.frequencyMode) {
        invocation.error = QStringLiteral("--fit needs a frequency sweep (--from, --to, --points)");
        return false;
    }
    invocation.fitModel = name;
    return true;
}

bool TakeSideFile(const QCommandLineParser &parser, Invocation &invocation) {
    invocation.sideFile = parser.isSet(QStringLiteral("side-file"));
    if (invocation.sideFile && invocation.outputPath.isEmpty()) {
        invocation.error = QStringLiteral("--side-file needs --output FILE");
        return false;
    }
    return true;
}

void TakeCommon(const QCommandLineParser &parser, Invocation &invocation) {
    invocation.portMappings = parser.values(QStringLiteral("port"));
    if (parser.optionNames().contains(QStringLiteral("demo")))
        invocation.demo = parser.isSet(QStringLiteral("demo"));
    invocation.tablePath = parser.value(QStringLiteral("table"));
    if (invocation.error.isEmpty())
        invocation.error = Launch::CheckPortMappings(invocation.portMappings, invocation.demo);
    const bool demoSim = parser.optionNames().contains(QStringLiteral("demo-sim"));
    if (demoSim)
        invocation.demoSimArguments =
            Launch::SplitDemoSimArguments(parser.value(QStringLiteral("demo-sim")));
    if (invocation.error.isEmpty() && demoSim && !invocation.demo)
        invocation.error = QStringLiteral("--demo-sim needs --demo");
    if (invocation.error.isEmpty() && invocation.demo)
        invocation.error = Launch::CheckDemo(invocation.demoModel, invocation.demoSimArguments);
}

} // namespace

QString OverviewText() {
    QString text = QStringLiteral("Usage: %1 COMMAND [options]\n\n"
                                  "Measures with a bench impedance (LCR) meter on a serial port, "
                                  "without a window.\n\nCommands:\n")
                       .arg(Program);
    for (const Subcommand &sub : Subcommands)
        text +=
            QStringLiteral("  %1  %2\n")
                .arg(QString::fromLatin1(sub.name).leftJustified(9), QLatin1String(sub.summary));
    text +=
        QStringLiteral("\nCommon options of identify, measure and sweep:\n"
                       "  --port COMn=PATH  use the serial device PATH as port COMn; repeatable.\n"
                       "  --demo[=MODEL]    run a simulated meter as COM1.\n"
                       "  --demo-sim OPTIONS  more options of that meter (impedix-sim's).\n"
                       "  --table PATH      the D calibration table's file.\n"
                       "\n'%1 COMMAND --help' describes each command and its options.\n"
                       "Data goes to standard output (or --output FILE), progress and messages to\n"
                       "standard error.\n")
            .arg(Program);
    return text;
}

Invocation ParseInvocation(const QStringList &arguments) {
    Invocation invocation;
    invocation.usageHint = QStringLiteral("Try '%1 --help'.").arg(Program);
    if (arguments.isEmpty() || arguments.first() == QLatin1String("--help") ||
        arguments.first() == QLatin1String("-h") || arguments.first() == QLatin1String("help")) {
        invocation.helpText = OverviewText();
        invocation.help = !arguments.isEmpty();
        if (arguments.isEmpty()) invocation.error = QStringLiteral("a command is needed");
        return invocation;
    }
    const Subcommand *sub = FindSubcommand(arguments.first());
    if (!sub) {
        invocation.helpText = OverviewText();
        invocation.error = QStringLiteral("unknown command \"%1\"").arg(arguments.first());
        return invocation;
    }
    invocation.command = sub->command;
    invocation.usageHint =
        QStringLiteral("Try '%1 %2 --help'.").arg(Program, QLatin1String(sub->name));

    if (sub->command == Command::Library || sub->command == Command::Fit) {
        (sub->command == Command::Library ? ParseLibrary : ParseFit)(arguments.mid(1), invocation);
        return invocation;
    }
    QCommandLineParser parser;
    AddCommon(parser, sub->command != Command::Ports);
    if (sub->command == Command::Measure) AddMeasure(parser);
    if (sub->command == Command::Sweep) AddSweep(parser);
    if (sub->command == Command::Sweep) AddKeepOptions(parser);
    if (sub->command == Command::Serve) AddServe(parser);
    if (sub->command == Command::Sort) AddSort(parser);
    if (sub->command == Command::Measure || sub->command == Command::Sweep ||
        sub->command == Command::Serve || sub->command == Command::Sort)
        AddCorrectionOptions(parser);
    if (sub->command == Command::Correct) AddCorrectOptions(parser);
    invocation.helpText = HelpText(*sub, parser);

    const QStringList own = TakeDemoModel(arguments.mid(1), invocation);
    if (!invocation.error.isEmpty()) return invocation;
    if (!parser.parse(QStringList{Program} + own)) {
        invocation.error = parser.errorText();
        return invocation;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        invocation.help = true;
        return invocation;
    }
    if (sub->command != Command::Correct && !parser.positionalArguments().isEmpty()) {
        invocation.error =
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return invocation;
    }
    if (sub->command == Command::Measure && !TakeMeasure(parser, invocation)) return invocation;
    if (sub->command == Command::Sweep && !TakeSweep(parser, invocation)) return invocation;
    if (sub->command == Command::Sweep && !TakeFit(parser, invocation)) return invocation;
    if (sub->command == Command::Sweep && !TakeSideFile(parser, invocation)) return invocation;
    if (sub->command == Command::Sweep) TakeKeepOptions(parser, invocation);
    if (sub->command == Command::Serve && !TakeServe(parser, invocation)) return invocation;
    if (sub->command == Command::Sort && !TakeSort(parser, invocation)) return invocation;
    if ((sub->command == Command::Measure || sub->command == Command::Sweep ||
         sub->command == Command::Serve || sub->command == Command::Sort) &&
        !TakeCorrection(parser, invocation))
        return invocation;
    if (sub->command == Command::Correct && !TakeCorrect(parser, invocation)) return invocation;
    TakeCommon(parser, invocation);
    return invocation;
}

} // namespace Cli
