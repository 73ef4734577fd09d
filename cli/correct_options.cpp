// Options of correct and of the corrections the other commands switch on.
#include "cli/correct_options.h"

#include "cli/invocation.h"

#include <QCommandLineParser>

namespace Cli {

namespace {

QCommandLineOption Valued(const char *name, const char *description, const char *value) {
    return QCommandLineOption(QLatin1String(name), QLatin1String(description),
                              QLatin1String(value));
}

QCommandLineOption Flag(const char *name, const char *description) {
    return QCommandLineOption(QLatin1String(name), QLatin1String(description));
}

void AddFixture(QCommandLineParser &parser) {
    parser.addOption(Valued("fixture",
                            "The fixture's name (default: default); each model keeps a file "
                            "per fixture.",
                            "NAME"));
}

// --grid, --spot or --from/--to/--points into span; false with error when they do not fit.
bool TakeSpan(const QCommandLineParser &parser, FixtureSpan &span, QString *error) {
    const bool grid = parser.isSet(QStringLiteral("grid"));
    const bool spot = parser.isSet(QStringLiteral("spot"));
    const QStringList rangeNames{QStringLiteral("from"), QStringLiteral("to"),
                                 QStringLiteral("points")};
    int rangeGiven = 0;
    for (const QString &name : rangeNames)
        rangeGiven += parser.isSet(name) ? 1 : 0;
    if (int(grid) + int(spot) + int(rangeGiven > 0) > 1) {
        *error = QStringLiteral("--grid, --spot and --from/--to/--points exclude each other");
        return false;
    }
    if (spot) span.form = FixtureSpan::Form::Spot;
    if (rangeGiven == 0) return true;
    if (rangeGiven != rangeNames.size()) {
        *error = QStringLiteral("a range of the fixture needs --from, --to and --points");
        return false;
    }
    span.form = FixtureSpan::Form::Range;
    const std::optional<std::int32_t> from =
        ReadFrequency(QStringLiteral("--from"), parser.value(QStringLiteral("from")), error);
    if (!from) return false;
    const std::optional<std::int32_t> to =
        ReadFrequency(QStringLiteral("--to"), parser.value(QStringLiteral("to")), error);
    if (!to) return false;
    const std::optional<qint64> points =
        ReadCount(QStringLiteral("--points"), parser.value(QStringLiteral("points")), error);
    if (!points) return false;
    if (*points < 2 || *points > MostFixturePoints) {
        *error = QStringLiteral("--points: a range of the fixture has 2 to %1 points")
                     .arg(MostFixturePoints);
        return false;
    }
    span.fromHz = *from;
    span.toHz = *to;
    span.points = static_cast<int>(*points);
    return true;
}

} // namespace

void AddCorrectOptions(QCommandLineParser &parser) {
    parser.addPositionalArgument(QStringLiteral("kind"),
                                 QStringLiteral("What is on the fixture's terminals: open "
                                                "(nothing), short (a short bar) or load (the "
                                                "standard given by --standard)."),
                                 QStringLiteral("open|short|load"));
    parser.addOption(Valued("standard",
                            "The load standard's true value, needed by load: R+X:OHMS,OHMS, "
                            "C+D:FARADS,D or L+Q:HENRIES,Q (C and L in series with their "
                            "loss), numbers with p, n, u, m, k, M or G if wanted.",
                            "FORM:A,B"));
    AddFixture(parser);
    parser.addOption(Flag("grid", "Measure ten frequencies a decade from 10 Hz over the model's "
                                  "frequency range, and both its ends (the default)."));
    parser.addOption(
        Valued("from", "Lowest frequency of a range, in hertz (with --to and --points).", "HZ"));
    parser.addOption(Valued("to", "Highest frequency of a range, in hertz.", "HZ"));
    parser.addOption(
        Valued("points", "Frequencies of a range, spaced logarithmically, 2 to 256.", "N"));
    parser.addOption(Flag("spot", "Measure at the meter's present frequency only; the correction "
                                  "then holds at that frequency alone."));
    parser.addOption(Valued("averaging", "Readings averaged at each frequency (default 8).", "N"));
}

void AddCorrectionOptions(QCommandLineParser &parser) {
    parser.addOption(Valued("correction",
                            "Correct every reading with the fixture's data measured by "
                            "'impedix-cli correct': off (the default), open, short, open-short "
                            "or open-short-load.",
                            "KINDS"));
    AddFixture(parser);
}

bool TakeCorrect(const QCommandLineParser &parser, Invocation &invocation) {
    CorrectPlan &plan = invocation.correct;
    QString *error = &invocation.error;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        *error = positional.isEmpty()
                     ? QStringLiteral("correct needs what is on the terminals: open, short or load")
                     : QStringLiteral("unexpected argument \"%1\"").arg(positional.at(1));
        return false;
    }
    const std::optional<Comp::Kind> kind = ReadCorrectKind(positional.first(), error);
    if (!kind) return false;
    plan.kind = *kind;
    const bool standard = parser.isSet(QStringLiteral("standard"));
    if (plan.kind == Comp::LoadCorrection && !standard) {
        *error = QStringLiteral("correct load needs --standard, the true value of the standard "
                                "on the terminals, for example --standard R+X:100,0");
        return false;
    }
    if (plan.kind != Comp::LoadCorrection && standard) {
        *error = QStringLiteral("--standard belongs to correct load");
        return false;
    }
    if (standard) {
        plan.standard = ReadLoadStandard(parser.value(QStringLiteral("standard")), error);
        if (!plan.standard) return false;
    }
    if (parser.isSet(QStringLiteral("averaging"))) {
        const std::optional<int> averaging =
            ReadAveraging(parser.value(QStringLiteral("averaging")), error);
        if (!averaging) return false;
        plan.averaging = *averaging;
    }
    invocation.correction.fixture = parser.value(QStringLiteral("fixture"));
    invocation.correction.fixtureGiven = parser.isSet(QStringLiteral("fixture"));
    return TakeSpan(parser, plan.span, error);
}

bool TakeCorrection(const QCommandLineParser &parser, Invocation &invocation) {
    CorrectionChoice &choice = invocation.correction;
    choice.fixture = parser.value(QStringLiteral("fixture"));
    choice.fixtureGiven = parser.isSet(QStringLiteral("fixture"));
    if (!parser.isSet(QStringLiteral("correction"))) return true;
    const std::optional<unsigned> kinds =
        ReadCorrection(parser.value(QStringLiteral("correction")), &invocation.error);
    if (!kinds) return false;
    choice.kinds = *kinds;
    return true;
}

QString CorrectHelpText() {
    return QStringLiteral(
        "Measures the test fixture with nothing, a short or a load standard on its terminals,\n"
        "each frequency the mean of --averaging readings, then keeps the result in the\n"
        "fixture's file <data dir>/compensation/MODEL-NAME.txt (the file of the found model\n"
        "and --fixture). The file's other kinds are kept: measure open, then short, then\n"
        "load, each with its own run. measure, sweep and serve use the data with\n"
        "--correction. A correction holds only within the frequencies measured.\n"
        "Exit status: 0 measured and saved; 1 no meter answered, no usable reading came at\n"
        "a frequency, or the line was lost for 10 s; 2 a mistake on the command line, a\n"
        "frequency the meter cannot take, or a fixture file that is damaged or of another\n"
        "model (nothing of it is replaced); 3 the fixture's file could not be written;\n"
        "4 the line was lost and came back during the run, or another model answered\n"
        "there; 128 + the signal's number after SIGINT or SIGTERM (nothing is saved).\n\n");
}

} // namespace Cli
