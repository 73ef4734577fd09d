// The COMParator commands: the comparator's limits, its state and its bin counters, the meter's
// one comparator whichever client sets it.
#pragma once

#include "remote/command_group.h"
#include "remote/comparator.h"

namespace Remote {

class ComparatorCommands : public CommandGroup {
public:
    explicit ComparatorCommands(const CommandContext &c) : CommandGroup(c) {}
    static const QVector<Entry> &Table();

    void stateCommand(const Parameters &);
    void stateQuery(const Parameters &);
    void modeCommand(const Parameters &);
    void modeQuery(const Parameters &);
    void nominalCommand(const Parameters &);
    void nominalQuery(const Parameters &);
    template <int bin> void binCommand(const Parameters &p) { toleranceBinCommand(bin, p); }
    template <int bin> void binQuery(const Parameters &p) { toleranceBinQuery(bin, p); }
    void sequenceCommand(const Parameters &);
    void sequenceQuery(const Parameters &);
    void secondaryCommand(const Parameters &);
    void secondaryQuery(const Parameters &);
    void auxBinCommand(const Parameters &);
    void auxBinQuery(const Parameters &);
    void swapCommand(const Parameters &);
    void swapQuery(const Parameters &);
    void clearBinsCommand(const Parameters &);
    void countingCommand(const Parameters &);
    void countingQuery(const Parameters &);
    void countDataQuery(const Parameters &);
    void countClearCommand(const Parameters &);

private:
    void toleranceBinCommand(int bin, const Parameters &p);
    void toleranceBinQuery(int bin, const Parameters &p);
    // A value of the comparator: a number in the function's unit, SI suffixes allowed.
    bool value(const QByteArray &text, double &v);
    bool limitPair(const Parameters &p, Sort::Limits &limits);
    // The settings with the client's function, checked and made the meter's; nothing changes
    // when they are refused.
    void apply(ComparatorSettings settings);
    void answerLimits(const Sort::Limits &limits);
};

} // namespace Remote
