// The sort subcommand's own options.
#include "cli/sort_invocation.h"

#include "cli/invocation.h"
#include "cli/invocation_options.h"

#include <QCommandLineParser>

namespace Cli {

void AddSortOptions(QCommandLineParser &parser) {
    parser.addOption(Valued("plan",
                            "Read the sorting plan from FILE (key = value lines: primary, mode, "
                            "nominal, bin1..bin9, boundaries, secondary, secondary_limits, aux, "
                            "open_ohms, stable_polls, stable_tolerance, open_polls); the options "
                            "below override it.",
                            "FILE"));
    parser.addOption(Valued("primary",
                            "The quantity the bins judge: C L R G B X Z Y D Q Fiz Fiy F Ub "
                            "(default C).",
                            "NAME"));
    parser.addOption(Valued("nominal",
                            "The value tolerance bins lie around, in the quantity's unit, with "
                            "an SI prefix if you like (100n, 4.7k).",
                            "X"));
    parser.addOption(Valued("bins",
                            "Nested bins, bin 1 first: ±P% of the nominal (1%,2%,5%), LOW:HIGH "
                            "in percent (-1%:+2%, a side left empty for no limit), or the same "
                            "without % in the quantity's unit (0.5,1 or -0.5:1). At most 9.",
                            "LIST"));
    parser.addOption(Valued("sequential",
                            "Adjacent bins between rising boundaries instead (90n,95n,105n: "
                            "bin 1 from 90n to 95n, bin 2 up to 105n).",
                            "B,B,..."));
    parser.addOption(Valued("secondary",
                            "The second quantity and its limits: D<=0.01, Q>=50, 0.001<=D<=0.01 "
                            "(inclusive), or a name alone to log it unjudged (default D).",
                            "EXPR"));
    parser.addOption(QCommandLineOption(
        QStringLiteral("aux"),
        QStringLiteral("Report a part in a bin whose secondary quantity fails as bin 10 (AUX) "
                       "instead of 0 (OUT).")));
    parser.addOption(Valued("open-ohms",
                            "Above this |Z| (or at the meter's overload) the contacts are open "
                            "(default 10M).",
                            "OHMS"));
    parser.addOption(Valued("stable-polls",
                            "Readings in a row that agree within 0.2 % before a part is sorted, "
                            "1 to 1000 (default 3).",
                            "N"));
    parser.addOption(Valued("count", "Stop after N parts.", "N"));
    parser.addOption(Valued("seconds", "Stop after S seconds (default: run until stopped).", "S"));
    parser.addOption(QCommandLineOption(
        QStringLiteral("once"),
        QStringLiteral("Sort one part, the first that settles, and exit with a status that "
                       "tells its verdict.")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("now"),
        QStringLiteral("With --once: sort what is in the contacts at the first reading at the "
                       "conditions, without waiting for a part to settle.")));
}

QString SortHelpText() {
    return QStringLiteral(
        "With the contacts open (the meter's overload, or |Z| above --open-ohms) between\n"
        "parts, a part is sorted once, when --stable-polls readings in a row agree, and the\n"
        "next one only after the contacts were open again. Each sorted part is a row (CSV\n"
        "as the sorting log has it, or with --format json one object per line); at the end\n"
        "standard error gives the count of each bin, out, secondary fail and the yield.\n"
        "Limits are inclusive; nested bins give the tightest that holds the value.\n"
        "Exit status: 0 done, or with --once the part is in a bin (or passed); 10 with\n"
        "--once the part is out; 11 with --once the part is in a bin but its secondary\n"
        "quantity is outside its limits; 1 no meter answered, no reading came, or the line\n"
        "was lost and did not come back within 10 s; 2 a mistake on the command line or in\n"
        "the plan, or a setting the meter cannot take (nothing is sent); 3 the data could\n"
        "not be written; 4 the line was lost and came back during the run (0 with\n"
        "--accept-reconnections) or another model answered there; 128 + the signal's\n"
        "number after SIGINT or SIGTERM, with the parts sorted written.\n\n");
}

bool TakeSortOptions(const QCommandLineParser &parser, Invocation &invocation) {
    SortOptionTexts texts;
    texts.planFile = parser.value(QStringLiteral("plan"));
    if (parser.isSet(QStringLiteral("plan")) && texts.planFile.isEmpty()) {
        invocation.error = QStringLiteral("--plan needs a file name");
        return false;
    }
    const auto text = [&parser](const char *name) -> std::optional<QString> {
        const QString option = QLatin1String(name);
        if (!parser.isSet(option)) return std::nullopt;
        return parser.value(option);
    };
    texts.primary = text("primary");
    texts.nominal = text("nominal");
    texts.bins = text("bins");
    texts.sequential = text("sequential");
    texts.secondary = text("secondary");
    texts.openOhms = text("open-ohms");
    texts.stablePolls = text("stable-polls");
    texts.aux = parser.isSet(QStringLiteral("aux"));
    const std::optional<SortRequest> request = ReadSortRequest(texts, &invocation.error);
    if (!request) return false;
    invocation.sort = *request;
    invocation.sort.now = parser.isSet(QStringLiteral("now"));
    invocation.sort.once = parser.isSet(QStringLiteral("once"));
    if (invocation.sort.now && !invocation.sort.once) {
        invocation.error = QStringLiteral("--now goes with --once");
        return false;
    }
    if (invocation.sort.once && (invocation.duration.count || invocation.duration.seconds)) {
        invocation.error = QStringLiteral("--once and --%1 exclude each other")
                               .arg(invocation.duration.count ? QStringLiteral("count")
                                                              : QStringLiteral("seconds"));
        return false;
    }
    return true;
}

} // namespace Cli
