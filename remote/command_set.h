// One client's groups of commands, and the table of every header the server knows: the common
// commands, the settings, the measurement and list commands, the sweep's own, the fixture
// compensation, the comparator and the status registers, tried in that order.
#pragma once

#include "remote/command_group.h"
#include "remote/command_table.h"
#include "remote/common_commands.h"
#include "remote/comparator_commands.h"
#include "remote/correction_commands.h"
#include "remote/measurement_commands.h"
#include "remote/setting_commands.h"
#include "remote/status_commands.h"
#include "remote/sweep_commands.h"

#include <tuple>

namespace Remote {

class CommandSet {
public:
    explicit CommandSet(const CommandContext &c) : groups_(c, c, c, c, c, c, c) {}

    template <typename Group> Group &group() { return std::get<Group>(groups_); }

private:
    std::tuple<CommonCommands, SettingCommands, MeasurementCommands, SweepCommands,
               CorrectionCommands, ComparatorCommands, StatusCommands>
        groups_;
};

namespace Detail {
template <typename> struct GroupOf;
template <typename G> struct GroupOf<void (G::*)(const Parameters &)> { using Type = G; };
} // namespace Detail

// A table's handler: the member of the client's group that carries the header out.
template <auto member> void Call(CommandSet &set, const Parameters &p) {
    using Group = typename Detail::GroupOf<decltype(member)>::Type;
    (set.group<Group>().*member)(p);
}

// Every entry, and its pattern parsed once (the same index).
const QVector<Entry> &CommandTable();
const QVector<Pattern> &CommandPatterns();

} // namespace Remote
