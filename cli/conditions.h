// The test conditions and runs that impedix-cli is asked for, read from the command line's texts
// and checked against what the meter can take, before anything is sent to it.
#pragma once

#include "link/refusal.h"
#include "sweep/sweep_plan.h"
#include "sweep/sweep_planner.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace Cli {

enum class Speed { Unchanged, Normal, Fast };
enum class Circuit { Series, Parallel };

// Test conditions of `measure`; what is not given stays as the meter has it.
struct Conditions {
    std::optional<std::int32_t> frequencyHz;
    std::optional<std::int32_t> biasMillivolts;
    std::optional<std::int32_t> levelMillivolts;
    Speed speed = Speed::Unchanged;
    std::optional<int> range; // a range index (the range byte), or AutoRangeChoice
    Circuit circuit = Circuit::Series;
};
constexpr int AutoRangeChoice = -1;

// How long `measure` goes on: a number of readings, a time, or until it is stopped.
struct Duration {
    std::optional<qint64> count;
    std::optional<double> seconds;
};

// A run of `sweep`: a frequency sweep from..to, or a series of samples at one frequency.
struct SweepPlan {
    bool frequencyMode = true;
    std::int32_t fromHz = 0;
    std::int32_t toHz = 0; // equals fromHz in sample mode
    int points = 0;
    // How a sweep's points lie: evenly (the designed run), logarithmically, or a list.
    Sweep::Spacing spacing = Sweep::Spacing::Linear;
    QString listFile; // --list FILE, read by TakeListFile before the port is opened
    std::vector<std::int32_t> frequencies; // a list run's points, in run order
};

// The frequencies of --list FILE into plan (its bounds and length with them); false with a
// message naming the file, the line and the reason.
bool TakeListFile(SweepPlan *plan, QString *error);

// A refused list file in English: "line 3: not a whole number of hertz".
QString ListFileProblemText(const Sweep::ListFile &list);

// Each reader takes an option's text and gives the value, or nothing with a message in error
// that names the option and what it accepts.
std::optional<std::int32_t> ReadFrequency(const QString &option, const QString &text,
                                          QString *error);
std::optional<std::int32_t> ReadBias(const QString &text, QString *error);
std::optional<std::int32_t> ReadLevel(const QString &text, QString *error);
std::optional<Speed> ReadSpeed(const QString &text, QString *error);
std::optional<int> ReadRange(const QString &text, QString *error);
std::optional<Circuit> ReadCircuit(const QString &text, QString *error);
std::optional<qint64> ReadCount(const QString &option, const QString &text, QString *error);
std::optional<double> ReadSeconds(const QString &text, QString *error);

// What the model of row modelIndex cannot take (its frequency range, its bias steps), as a
// message naming the allowed values; empty when every condition fits.
QString CheckConditions(const Conditions &conditions, int modelIndex);

// The planner's request for a run: a list run's own frequencies, else from..to (from alone for
// samples) in the plan's spacing.
Sweep::Request SweepRequest(const SweepPlan &plan);

// A run as the window's START accepts it (25 Hz … 10 MHz, from ≤ to, 2 … 256 points) that also
// lies within the model's frequency range; else a message naming the allowed values.
QString CheckSweep(const SweepPlan &plan, int modelIndex);

} // namespace Cli
