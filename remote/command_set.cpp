// The whole command table, put together from the groups' own.
#include "remote/command_set.h"

namespace Remote {

const QVector<Entry> &CommandTable() {
    static const QVector<Entry> table = CommonCommands::Table() + SettingCommands::Table() +
                                        MeasurementCommands::Table() + SweepCommands::Table() +
                                        CorrectionCommands::Table() + ComparatorCommands::Table() +
                                        StatusCommands::Table();
    return table;
}

const QVector<Pattern> &CommandPatterns() {
    static const QVector<Pattern> patterns = [] {
        QVector<Pattern> parsed;
        for (const Entry &entry : CommandTable())
            parsed.append(ParsePattern(entry.pattern));
        return parsed;
    }();
    return patterns;
}

} // namespace Remote
