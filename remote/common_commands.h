// IEEE 488.2 common commands and the SYSTem subsystem.
#pragma once

#include "remote/command_group.h"

namespace Remote {

class CommonCommands : public CommandGroup {
public:
    explicit CommonCommands(const CommandContext &c) : CommandGroup(c) {}
    // Its headers, in the order they are tried.
    static const QVector<Entry> &Table();

    void idnQuery(const Parameters &);
    void rstCommand(const Parameters &);
    void clsCommand(const Parameters &);
    void eseCommand(const Parameters &);
    void eseQuery(const Parameters &);
    void esrQuery(const Parameters &);
    void stbQuery(const Parameters &);
    void sreCommand(const Parameters &);
    void sreQuery(const Parameters &);
    void opcCommand(const Parameters &);
    void opcQuery(const Parameters &);
    void waiCommand(const Parameters &);
    void trgCommand(const Parameters &);
    void tstQuery(const Parameters &);
    void optionsQuery(const Parameters &);
    void errorQuery(const Parameters &);
    void versionQuery(const Parameters &);
};

} // namespace Remote
