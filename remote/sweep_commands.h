// Impedix's own: the sweep's plan (SWE:SPAC, STAR, STOP, POIN), the table of the last run
// (SWE:DATA?, SWE:STAT?, SWE:QUAN?), the equivalent-circuit fit of that run (FIT?) with the
// client's options of it (FIT:WEIGht, FIT:FIX, FIT:BOUNd) and its Kramers-Kronig check (FIT:KK?).
#pragma once

#include "remote/command_group.h"

#include <QByteArray>

#include <cstdint>
#include <functional>

namespace Remote {

class SweepCommands : public CommandGroup {
public:
    explicit SweepCommands(const CommandContext &c) : CommandGroup(c) {}
    // Its headers, in the order they are tried.
    static const QVector<Entry> &Table();

    void sweepSpacingCommand(const Parameters &);
    void sweepSpacingQuery(const Parameters &);
    void sweepStartCommand(const Parameters &);
    void sweepStartQuery(const Parameters &);
    void sweepStopCommand(const Parameters &);
    void sweepStopQuery(const Parameters &);
    void sweepPointsCommand(const Parameters &);
    void sweepPointsQuery(const Parameters &);
    void sweepDataQuery(const Parameters &);
    void sweepStatusQuery(const Parameters &);
    void sweepQuantityQuery(const Parameters &);
    void fitQuery(const Parameters &);
    void fitKramersKronigQuery(const Parameters &);
    void fitWeightCommand(const Parameters &);
    void fitWeightQuery(const Parameters &);
    void fitFixCommand(const Parameters &);
    void fitFixQuery(const Parameters &);
    void fitFixClearCommand(const Parameters &);
    void fitBoundCommand(const Parameters &);
    void fitBoundQuery(const Parameters &);
    void fitBoundClearCommand(const Parameters &);

private:
    bool sweepBound(const Parameters &p, std::int32_t &hz);
    void boundQuery(const Parameters &p, std::int32_t hz);
    void planSweep();
    // Holds a query about the last sweep run until that run has ended, then answers it.
    void holdForSweep(std::function<QByteArray(const SweepTable &)> answerOf);
    // Whether a frequency run's whole table can be fitted; queues the error when not.
    bool fittable(const SweepTable &table);
    // The element key of a FIT:FIX or FIT:BOUNd, with room for it; queues the error when not.
    bool steeringKey(const QByteArray &text, QString &key);
};

} // namespace Remote
