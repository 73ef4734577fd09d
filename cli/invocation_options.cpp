// The options every measuring subcommand shares.
#include "cli/invocation_options.h"

#include "link/capabilities.h"
#include "link/ranges.h"

#include <QCommandLineParser>

namespace Cli {

QCommandLineOption Valued(const char *name, const char *description, const char *value) {
    return QCommandLineOption(QLatin1String(name), QLatin1String(description),
                              QLatin1String(value));
}

QCommandLineOption Valued(const char *name, const QString &description, const char *value) {
    return QCommandLineOption(QLatin1String(name), description, QLatin1String(value));
}

void AddConditions(QCommandLineParser &parser) {
    parser.addOption(
        Valued("frequency", "Test frequency in hertz, within the model's range.", "HZ"));
    parser.addOption(Valued("bias",
                            QStringLiteral("DC bias in volts, %1 to %2 in the model's steps.")
                                .arg(Device::LowestBiasMillivolts / 1000)
                                .arg(Device::HighestBiasMillivolts / 1000),
                            "V"));
    parser.addOption(Valued(
        "level",
        QStringLiteral("Test-signal level in volts: %1.").arg(Choices(Device::Levels, 1000.0)),
        "V"));
    parser.addOption(Valued("speed", "Measurement speed.", "normal|fast"));
    parser.addOption(Valued(
        "range",
        QStringLiteral("auto, or a fixed range in ohms: %1.").arg(Choices(Device::RangeOhms, 1.0)),
        "auto|OHMS"));
    parser.addOption(
        Valued("circuit", "Equivalent circuit of the values (default series).", "series|parallel"));
}

void AddOutput(QCommandLineParser &parser) {
    parser.addOption(
        Valued("format", "Write csv (the default) or json (one object per line).", "csv|json"));
    parser.addOption(Valued("output",
                            "Write the data to FILE instead of standard output: row by row "
                            "to FILE.partial, which replaces FILE when the run ends (after a "
                            "failed write FILE is kept and FILE.partial holds the rows).",
                            "FILE"));
    parser.addOption(QCommandLineOption(
        QStringLiteral("accept-reconnections"),
        QStringLiteral("Exit 0 after a run that went on across a lost and returned line (the "
                       "readings after it carry the next connection number).")));
}

} // namespace Cli
