// The STATus subsystem: the operation and questionable registers (event, condition, enable) with
// their summaries in the status byte, and STAT:PRES.
#pragma once

#include "remote/command_group.h"

namespace Remote {

// Bits of the operation register.
enum OperationBit : int {
    SweepCompleteBit = 0x08,       // event: a sweep or list run ended; condition: a run goes
    MeasurementCompleteBit = 0x10, // event: a new reading; condition: the meter measures
};

// Bits of the questionable register.
enum QuestionableBit : int {
    NoMeasurementBit = 0x01, // event: a reading without a value (overload, values no meter gives)
    LineBit = 0x02,          // condition: no meter, or its line lost; event: it became so
};

class StatusCommands : public CommandGroup {
public:
    explicit StatusCommands(const CommandContext &c) : CommandGroup(c) {}
    static const QVector<Entry> &Table();

    // The registers' conditions now, from the instrument.
    int operationCondition() const;
    int questionableCondition() const;

    void operationEventQuery(const Parameters &);
    void operationConditionQuery(const Parameters &);
    void operationEnableCommand(const Parameters &);
    void operationEnableQuery(const Parameters &);
    void questionableEventQuery(const Parameters &);
    void questionableConditionQuery(const Parameters &);
    void questionableEnableCommand(const Parameters &);
    void questionableEnableQuery(const Parameters &);
    void presetCommand(const Parameters &);

private:
    bool mask(const Parameters &p, int &value);
};

} // namespace Remote
