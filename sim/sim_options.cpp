// Parsing of the simulated meter's command line.
#include "sim/sim_options.h"

#include <QCommandLineParser>

#include <cmath>

namespace Sim {

namespace {

constexpr int MaxThinkMs = 10000;
constexpr int MaxAwayMs = 600000;
constexpr int MaxBiasSettleMs = 600000;

QString optionName(const QString &name) {
    return (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
}

// --circuit series|parallel|inductor|resonator; --parallel means the same as --circuit parallel.
bool readCircuit(const QCommandLineParser &parser, Options *options, QString *why) {
    const QString value = parser.value(QStringLiteral("circuit"));
    Component &dut = options->dut;
    if (value == QLatin1String("parallel")) {
        dut.parallel = true;
        return true;
    }
    if (value == QLatin1String("inductor"))
        dut.network = Network::Inductor;
    else if (value == QLatin1String("resonator"))
        dut.network = Network::Resonator;
    else if (value != QLatin1String("series")) {
        *why = QStringLiteral("--circuit needs series, parallel, inductor or resonator, not '%1'")
                   .arg(value);
        return false;
    }
    if (dut.parallel) {
        *why = QStringLiteral("--parallel cannot be combined with --circuit %1").arg(value);
        return false;
    }
    return true;
}

// A whole number from lowest to highest for option name, when given.
bool readWhole(const QCommandLineParser &parser, const char *name, int lowest, int highest,
               const char *unit, int *into, QString *why) {
    const QString option = QLatin1String(name);
    if (!parser.isSet(option)) return true;
    const QString value = parser.value(option);
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < lowest || number > highest) {
        *why = QStringLiteral("--%1 needs %2 from %3 to %4, not '%5'")
                   .arg(option, QLatin1String(unit))
                   .arg(lowest)
                   .arg(highest)
                   .arg(value);
        return false;
    }
    *into = number;
    return true;
}

// --frame (after --model: millivolts of bias are the model's steps) and --link.
bool readLine(const QCommandLineParser &parser, Options *options, QString *why) {
    if (parser.isSet(QStringLiteral("frame"))) {
        const std::optional<FrameOption> frame =
            parseFrameOption(parser.value(QStringLiteral("frame")),
                             model(options->modelRow).biasStepMillivolts, why);
        if (!frame) {
            *why = QStringLiteral("--frame: %1").arg(*why);
            return false;
        }
        options->frame = *frame;
    }
    if (parser.isSet(QStringLiteral("link"))) {
        options->linkPath = parser.value(QStringLiteral("link"));
        if (options->linkPath.isEmpty()) {
            *why = QStringLiteral("--link needs a path");
            return false;
        }
    }
    return true;
}

// --vanish-after, --vanish-every, --away, --return and --return-model.
bool readVanishPlan(const QCommandLineParser &parser, Options *options, QString *why) {
    VanishPlan &plan = options->vanish;
    constexpr int Most = 1000000000;
    if (!readWhole(parser, "vanish-after", 1, Most, "a count of replies", &plan.after, why) ||
        !readWhole(parser, "vanish-every", 1, Most, "a count of replies", &plan.every, why) ||
        !readWhole(parser, "away", 0, MaxAwayMs, "milliseconds", &plan.awayMs, why))
        return false;
    if (parser.isSet(QStringLiteral("return"))) {
        const QString value = parser.value(QStringLiteral("return"));
        if (value == QLatin1String("second")) {
            plan.how = Return::SecondInstance;
        } else if (value != QLatin1String("power-cycle")) {
            *why = QStringLiteral("--return needs power-cycle or second, not '%1'").arg(value);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("return-model"))) {
        const QString value = parser.value(QStringLiteral("return-model"));
        plan.returnModelRow = findModel(value);
        if (plan.returnModelRow < 0) {
            *why = QStringLiteral("unknown model '%1' (one of %2)").arg(value, modelNameList());
            return false;
        }
        if (parser.isSet(QStringLiteral("return"))) {
            *why = QStringLiteral("--return-model brings another meter; leave out --return");
            return false;
        }
        plan.how = Return::OtherModel;
    }
    if (!plan.isActive()) {
        for (const char *name : {"away", "return", "return-model"}) {
            if (parser.isSet(QLatin1String(name))) {
                *why = QStringLiteral("--%1 needs --vanish-after or --vanish-every")
                           .arg(QLatin1String(name));
                return false;
            }
        }
    }
    return true;
}

// --fixture, --load, --terminals and --control.
bool readFixture(const QCommandLineParser &parser, Options *options, QString *why) {
    if (parser.isSet(QStringLiteral("fixture"))) {
        const std::optional<Fixture> fixture =
            parseFixture(parser.value(QStringLiteral("fixture")), why);
        if (!fixture) return false;
        options->fixture = *fixture;
    }
    if (parser.isSet(QStringLiteral("load"))) {
        const std::optional<Component> load =
            parseComponent(parser.value(QStringLiteral("load")), why);
        if (!load) {
            *why = QStringLiteral("--load: %1").arg(*why);
            return false;
        }
        if (load->shuntCapacitance || load->halvingBiasVolts || load->levelCoefficient) {
            *why = QStringLiteral("--load takes R, L and C in series, not C0, V0 or KL (a "
                                  "standard does not change with bias or level)");
            return false;
        }
        options->load = *load;
    }
    if (parser.isSet(QStringLiteral("terminals"))) {
        const QString value = parser.value(QStringLiteral("terminals"));
        const std::optional<Terminals> terminals = parseTerminals(value);
        if (!terminals) {
            *why =
                QStringLiteral("--terminals needs part, open, short or load, not '%1'").arg(value);
            return false;
        }
        if (*terminals == Terminals::Load && !parser.isSet(QStringLiteral("load"))) {
            *why = QStringLiteral("--terminals load needs --load (the load standard)");
            return false;
        }
        options->terminals = *terminals;
    }
    if (parser.isSet(QStringLiteral("control"))) {
        options->controlPath = parser.value(QStringLiteral("control"));
        if (options->controlPath.isEmpty()) {
            *why = QStringLiteral("--control needs a path");
            return false;
        }
    }
    return true;
}

// --batch: its part takes the place of --dut's (the demo gives one of its own), and nothing
// else may decide what sits in the contacts.
bool readBatch(const QCommandLineParser &parser, Options *options, QString *why) {
    for (const char *name : {"terminals", "control"}) {
        if (parser.isSet(QLatin1String(name))) {
            *why = QStringLiteral("--batch puts its own parts into the contacts; leave out --%1")
                       .arg(QLatin1String(name));
            return false;
        }
    }
    const std::optional<BatchPlan> plan =
        parseBatchPlan(parser.value(QStringLiteral("batch")), why);
    if (!plan) return false;
    options->batch = plan;
    options->dut = plan->part;
    return true;
}

// The checks QCommandLineParser leaves to us: the values themselves.
bool readValues(const QCommandLineParser &parser, Options *options, QString *why) {
    if (parser.isSet(QStringLiteral("model"))) {
        const QString value = parser.value(QStringLiteral("model"));
        options->modelRow = findModel(value);
        if (options->modelRow < 0) {
            *why = QStringLiteral("unknown model '%1' (one of %2)").arg(value, modelNameList());
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("dut"))) {
        const std::optional<Component> dut =
            parseComponent(parser.value(QStringLiteral("dut")), why);
        if (!dut) return false;
        options->dut = *dut;
    }
    if (parser.isSet(QStringLiteral("batch")) && !readBatch(parser, options, why)) return false;
    options->dut.parallel = parser.isSet(QStringLiteral("parallel"));
    if (parser.isSet(QStringLiteral("circuit")) && !readCircuit(parser, options, why)) return false;
    if (options->dut.shuntCapacitance && options->dut.network != Network::Resonator) {
        *why = QStringLiteral("DUT element C0 needs --circuit resonator");
        return false;
    }
    if (options->batch) options->batch->part = options->dut; // with the network chosen above
    bool ok = true;
    if (parser.isSet(QStringLiteral("noise"))) {
        const QString value = parser.value(QStringLiteral("noise"));
        options->noise = value.toDouble(&ok);
        if (!ok || !std::isfinite(options->noise) || options->noise < 0.0 || options->noise > 1.0) {
            *why = QStringLiteral("--noise needs a fraction from 0 to 1, not '%1'").arg(value);
            return false;
        }
    }
    if (!readWhole(parser, "think", 0, MaxThinkMs, "milliseconds", &options->thinkMs, why) ||
        !readWhole(parser, "bias-settle", 0, MaxBiasSettleMs, "milliseconds",
                   &options->biasSettleMs, why))
        return false;
    if (parser.isSet(QStringLiteral("seed"))) {
        const QString value = parser.value(QStringLiteral("seed"));
        options->seed = value.toUInt(&ok);
        if (!ok) {
            *why = QStringLiteral("--seed needs a whole number, not '%1'").arg(value);
            return false;
        }
    }
    options->paced = parser.isSet(QStringLiteral("paced"));
    options->writePartPath = parser.value(QStringLiteral("write-part"));
    options->help = parser.isSet(QStringLiteral("help"));
    return readLine(parser, options, why) && readVanishPlan(parser, options, why) &&
           readFixture(parser, options, why);
}

} // namespace

std::optional<Options> parseOptions(const QStringList &arguments, QString *error) {
    QCommandLineParser parser;
    for (const char *flag : {"help", "parallel", "paced"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(flag)));
    for (const char *name : {"model",        "dut",  "circuit", "noise",        "think",
                             "bias-settle",  "seed", "frame",   "link",         "vanish-after",
                             "vanish-every", "away", "return",  "return-model", "fixture",
                             "terminals",    "load", "control", "batch",        "write-part"})
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    QString why;
    Options options;
    if (!parser.parse(QStringList{QStringLiteral("impedix-sim")} + arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            why = QStringLiteral("unknown option '%1'").arg(optionName(unknown.first()));
        } else { // "Missing value after '--model'." in the style of the other messages
            why = parser.errorText();
            if (why.endsWith(QLatin1Char('.'))) why.chop(1);
            if (!why.isEmpty()) why[0] = why[0].toLower();
        }
    } else if (!parser.positionalArguments().isEmpty()) {
        why = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    } else if (readValues(parser, &options, &why)) {
        return options;
    }
    if (error) *error = why;
    return std::nullopt;
}

QString usageText(const QString &program) {
    return QStringLiteral(
               "Usage: %1 [options]\n"
               "Simulated LCR meter on a pseudo-terminal; prints the port path and serves it\n"
               "until interrupted.\n"
               "\n"
               "  --model NAME      KT-41, KT-43, KT-44, KT-45 or KT-46, or its identifier such\n"
               "                    as KT44 (default KT-44)\n"
               "  --dut DUT         component under test, e.g. C=100n,R=0.5 or L=10m,R=2\n"
               "                    (suffixes p n u mk m k M G; default C=100n,R=0.5);\n"
               "                    with C, V0=VOLTS makes C follow the DC bias V as\n"
               "                    C / (1 + (V/V0)^2) (the internal source's; 0 V with the\n"
               "                    external one), and KL=FRACTION makes it change by that\n"
               "                    fraction per volt of AC level above 1 V, e.g.\n"
               "                    C=100n,V0=12,KL=0.03 (a class-II ceramic; C0 never follows)\n"
               "  --parallel        the elements are in parallel (default in series)\n"
               "  --circuit NAME    series, parallel, inductor ((R+L) parallel to C) or\n"
               "                    resonator ((R+L+C) parallel to C0, e.g. with\n"
               "                    --dut R=200,L=10m,C=1n,C0=2n); default series\n"
               "  --noise FRACTION  relative Gaussian noise of |Z| and the phase (default 0)\n"
               "  --think MS        delay before each reply in milliseconds (default 3)\n"
               "  --bias-settle MS  a bias setting reaches the part, and the frames, only MS\n"
               "                    milliseconds later; until then the bias before holds\n"
               "                    (default 0: at once)\n"
               "  --paced           send replies byte by byte at 9600 Bd\n"
               "  --seed N          seed of the noise (default 1)\n"
               "  --frame FIELDS[@COUNT]\n"
               "                    measurement frames carry these field values instead of\n"
               "                    the measured ones: frequency=HZ (32 bits), bias=UNITS\n"
               "                    (the raw field, 0 to 0xFFFF) or bias=MVmV, magnitude=OHMS,\n"
               "                    phase=RADIANS (as sent; nan and inf allowed), e.g.\n"
               "                    frequency=1000,bias=0xFFFF,magnitude=1e30,phase=3.1@5;\n"
               "                    @COUNT: only the next COUNT frames (default every one)\n"
               "  --link PATH       keep a symbolic link at PATH to the meter's terminal and\n"
               "                    print PATH instead; it follows the meter when it returns\n"
               "  --vanish-after N  after N measurement replies the meter vanishes at the next\n"
               "                    request (the terminal goes away; without --link a link is\n"
               "                    made in a temporary directory) and comes back at the link\n"
               "  --vanish-every N  vanish after every N measurement replies, again and again\n"
               "  --away MS         how long the meter stays away (default 1500)\n"
               "  --return HOW      power-cycle: the same meter with its power-on settings\n"
               "                    (the default); second: another meter of the same model\n"
               "  --return-model NAME\n"
               "                    a meter of model NAME comes back instead\n"
               "  --fixture R=,L=,C=,G=\n"
               "                    a test fixture between the meter and the part: leads of\n"
               "                    R ohms and L henries, and a stray of C farads and G\n"
               "                    siemens across its contacts, e.g. R=0.5,L=50n,C=5p,G=1n;\n"
               "                    the meter reads R + jwL + (Zx parallel to 1/(G + jwC))\n"
               "                    (default none: the part on the meter's own terminals)\n"
               "  --terminals WHAT  what sits in the contacts at the start: part (the default),\n"
               "                    open (nothing), short or load\n"
               "  --load DUT        the load standard, R, L and C in series as for --dut\n"
               "                    (without C0, V0 or KL), e.g. R=100\n"
               "  --control PATH    a file holding one word, part, open, short or load: read\n"
               "                    again at each measurement request, and when its word\n"
               "                    changed, that is what sits in the contacts from then on\n"
               "                    (until it changes again); e.g. echo short > PATH\n"
               "  --batch PARTS     a batch of parts put into the contacts one after another,\n"
               "                    with open contacts between them and after the last, e.g.\n"
               "                    "
               "C=100n,R=0.5;count=200;spread=3%;sit=400;gap=200;bounce=30;seed=5\n"
               "                    (fields separated by ;): the part as for --dut (with\n"
               "                    --circuit; in place of --dut's), whose C varies, or its L\n"
               "                    without C, or its R without C and L; count=N parts whose\n"
               "                    value is drawn around the part's with a normal spread=P%\n"
               "                    (default 0) and seed=N (default 1), or values=V1,V2,...\n"
               "                    the values themselves; each part sits in the contacts for\n"
               "                    sit=D (default 400), then they are open for gap=D (default\n"
               "                    200), and the first bounce=D of a part reads its value\n"
               "                    30 % low (default 0). D is milliseconds from the first\n"
               "                    measurement request, or requests with r (sit=10r;gap=5r;\n"
               "                    bounce=2r; defaults 10r and 5r). Not with --terminals or\n"
               "                    --control\n"
               "  --write-part PATH write the part's true impedance instead of serving: one\n"
               "                    line 'frequency,Re Z,Im Z' per point, 20 a decade over\n"
               "                    the model's frequency range, at 0 V and 1 V level; a file\n"
               "                    to compare a measured sweep with or to fit\n"
               "  --help            show this text\n")
        .arg(program);
}

} // namespace Sim
