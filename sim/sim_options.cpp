// Parsing of the simulated meter's command line.
#include "sim/sim_options.h"

#include <QCommandLineParser>

#include <cmath>

namespace Sim {

namespace {

constexpr int MaxThinkMs = 10000;

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
    options->dut.parallel = parser.isSet(QStringLiteral("parallel"));
    if (parser.isSet(QStringLiteral("circuit")) && !readCircuit(parser, options, why)) return false;
    if (options->dut.shuntCapacitance && options->dut.network != Network::Resonator) {
        *why = QStringLiteral("DUT element C0 needs --circuit resonator");
        return false;
    }
    bool ok = true;
    if (parser.isSet(QStringLiteral("noise"))) {
        const QString value = parser.value(QStringLiteral("noise"));
        options->noise = value.toDouble(&ok);
        if (!ok || !std::isfinite(options->noise) || options->noise < 0.0 || options->noise > 1.0) {
            *why = QStringLiteral("--noise needs a fraction from 0 to 1, not '%1'").arg(value);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("think"))) {
        const QString value = parser.value(QStringLiteral("think"));
        options->thinkMs = value.toInt(&ok);
        if (!ok || options->thinkMs < 0 || options->thinkMs > MaxThinkMs) {
            *why = QStringLiteral("--think needs milliseconds from 0 to %1, not '%2'")
                       .arg(MaxThinkMs)
                       .arg(value);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        const QString value = parser.value(QStringLiteral("seed"));
        options->seed = value.toUInt(&ok);
        if (!ok) {
            *why = QStringLiteral("--seed needs a whole number, not '%1'").arg(value);
            return false;
        }
    }
    options->paced = parser.isSet(QStringLiteral("paced"));
    options->help = parser.isSet(QStringLiteral("help"));
    return true;
}

} // namespace

std::optional<Options> parseOptions(const QStringList &arguments, QString *error) {
    QCommandLineParser parser;
    for (const char *flag : {"help", "parallel", "paced"})
        parser.addOption(QCommandLineOption(QString::fromLatin1(flag)));
    for (const char *name : {"model", "dut", "circuit", "noise", "think", "seed"})
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
               "                    (suffixes p n u mk m k M G; default C=100n,R=0.5)\n"
               "  --parallel        the elements are in parallel (default in series)\n"
               "  --circuit NAME    series, parallel, inductor ((R+L) parallel to C) or\n"
               "                    resonator ((R+L+C) parallel to C0, e.g. with\n"
               "                    --dut R=200,L=10m,C=1n,C0=2n); default series\n"
               "  --noise FRACTION  relative Gaussian noise of |Z| and the phase (default 0)\n"
               "  --think MS        delay before each reply in milliseconds (default 3)\n"
               "  --paced           send replies byte by byte at 9600 Bd\n"
               "  --seed N          seed of the noise (default 1)\n"
               "  --help            show this text\n")
        .arg(program);
}

} // namespace Sim
