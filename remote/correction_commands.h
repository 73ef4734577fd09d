// Fixture compensation: the runs that measure the fixture open, shorted or with its standard
// (over the grid or at the spot frequency), which corrections are on, the standard's value, and
// the corrected reading. The core measures and decides; these translate.
#pragma once

#include "remote/command_group.h"

namespace Remote {

class CorrectionCommands : public CommandGroup {
public:
    explicit CorrectionCommands(const CommandContext &c) : CommandGroup(c) {}
    // Its headers, in the order they are tried.
    static const QVector<Entry> &Table();

    void openCommand(const Parameters &);
    void shortCommand(const Parameters &);
    void loadCommand(const Parameters &);
    void openStateCommand(const Parameters &);
    void openStateQuery(const Parameters &);
    void shortStateCommand(const Parameters &);
    void shortStateQuery(const Parameters &);
    void loadStateCommand(const Parameters &);
    void loadStateQuery(const Parameters &);
    void loadTypeCommand(const Parameters &);
    void loadTypeQuery(const Parameters &);
    void spotFrequencyCommand(const Parameters &);
    void spotFrequencyQuery(const Parameters &);
    void spotOpenCommand(const Parameters &);
    void spotShortCommand(const Parameters &);
    void spotLoadCommand(const Parameters &);
    void spotStandardCommand(const Parameters &);
    void spotStandardQuery(const Parameters &);
    void methodCommand(const Parameters &);
    void methodQuery(const Parameters &);
    void lengthCommand(const Parameters &);
    void lengthQuery(const Parameters &);
    void correctedQuery(const Parameters &);

private:
    void startRun(CorrectionKind kind, double spotHz);
    void switchKind(CorrectionKind kind, const Parameters &p);
    void kindState(CorrectionKind kind, const Parameters &p);
};

} // namespace Remote
