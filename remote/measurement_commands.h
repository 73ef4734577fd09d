// Triggering, FETCh? and the list measurement: answers held back until their readings are in.
#pragma once

#include "remote/command_group.h"

namespace Remote {

class MeasurementCommands : public CommandGroup {
public:
    explicit MeasurementCommands(const CommandContext &c) : CommandGroup(c) {}
    // Its headers, in the order they are tried.
    static const QVector<Entry> &Table();

    void triggerSourceCommand(const Parameters &);
    void triggerSourceQuery(const Parameters &);
    void triggerCommand(const Parameters &);
    void initiateCommand(const Parameters &);
    void continuousCommand(const Parameters &);
    void continuousQuery(const Parameters &);
    void fetchQuery(const Parameters &);
    void abortCommand(const Parameters &);
    void listFrequencyCommand(const Parameters &);
    void listFrequencyQuery(const Parameters &);
    void listModeCommand(const Parameters &);
    void listModeQuery(const Parameters &);
};

} // namespace Remote
