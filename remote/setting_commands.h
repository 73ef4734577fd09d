// The commands that set the meter's test conditions and the client's choice of values.
#pragma once

#include "remote/command_group.h"

namespace Remote {

class SettingCommands : public CommandGroup {
public:
    explicit SettingCommands(const CommandContext &c) : CommandGroup(c) {}
    // Its headers, in the order they are tried.
    static const QVector<Entry> &Table();

    void frequencyCommand(const Parameters &);
    void frequencyQuery(const Parameters &);
    void levelCommand(const Parameters &);
    void levelQuery(const Parameters &);
    void biasLevelCommand(const Parameters &);
    void biasLevelQuery(const Parameters &);
    void biasStateCommand(const Parameters &);
    void biasStateQuery(const Parameters &);
    void biasSourceCommand(const Parameters &);
    void biasSourceQuery(const Parameters &);
    void functionCommand(const Parameters &);
    void functionQuery(const Parameters &);
    void rangeCommand(const Parameters &);
    void rangeQuery(const Parameters &);
    void autoRangeCommand(const Parameters &);
    void autoRangeQuery(const Parameters &);
    void apertureCommand(const Parameters &);
    void apertureQuery(const Parameters &);
    void formatCommand(const Parameters &);
    void formatQuery(const Parameters &);
    void pageCommand(const Parameters &);
    void pageQuery(const Parameters &);
    void displayEnableCommand(const Parameters &);
    void displayEnableQuery(const Parameters &);
};

} // namespace Remote
