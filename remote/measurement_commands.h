// Triggering, FETCh? and the list measurement: answers held back until their readings are in.
#pragma once

#include "remote/command_group.h"

#include <QVector>

#include <cstdint>

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
    void listBiasCommand(const Parameters &);
    void listBiasQuery(const Parameters &);
    void listLevelCommand(const Parameters &);
    void listLevelQuery(const Parameters &);

private:
    void setList(SweptQuantity quantity, const QVector<std::int32_t> &values);
    void listSettingCommand(const Parameters &p, SweptQuantity quantity);
    void listSettingQuery(const Parameters &p, SweptQuantity quantity);
};

} // namespace Remote
