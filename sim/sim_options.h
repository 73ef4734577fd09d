// Command-line options of the simulated meter, shared by impedix-sim and the program's demo mode.
#pragma once

#include "sim/batch_plan.h"
#include "sim/component.h"
#include "sim/fixture.h"
#include "sim/frame_override.h"
#include "sim/models.h"
#include "sim/schedule.h"

#include <QStringList>

#include <optional>

namespace Sim {

struct Options {
    int modelRow = DefaultModelRow;
    Component dut{0.5,          std::nullopt, 100e-9,      false, Network::Plain,
                  std::nullopt, std::nullopt, std::nullopt}; // "C=100n,R=0.5"
    double noise = 0.0;
    int thinkMs = 3;
    int biasSettleMs = 0; // --bias-settle; 0: a bias setting holds at once
    bool paced = false;
    quint32 seed = 1;
    FrameOption frame; // --frame; no fields: none
    Fixture fixture;   // --fixture; default none
    Terminals terminals = Terminals::Part;
    Component load;      // --load; default nothing
    QString controlPath; // --control; empty: none
    QString linkPath;    // --link; empty: a link of its own only for a vanish plan
    VanishPlan vanish;
    std::optional<BatchPlan> batch; // --batch; its part is dut, with dut's network
    QString writePartPath;          // --write-part: the part's true impedance goes there instead
    bool help = false;
};

// arguments without the program name, read by QCommandLineParser ("--name value" and
// "--name=value"): --model NAME, --dut DUT, --parallel, --circuit NAME, --noise FRACTION,
// --think MS, --bias-settle MS, --paced, --seed N, --frame FIELDS[@COUNT], --link PATH,
// --vanish-after N,
// --vanish-every N, --away MS, --return power-cycle|second, --return-model NAME,
// --fixture R=,L=,C=,G=, --terminals part|open|short|load, --load DUT, --control PATH,
// --batch PARTS (parseBatchPlan; its part replaces --dut's; not with --terminals or
// --control), --write-part PATH, --help.
// On failure error receives a one-line reason.
std::optional<Options> parseOptions(const QStringList &arguments, QString *error = nullptr);

QString usageText(const QString &program);

} // namespace Sim
