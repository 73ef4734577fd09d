// A run of `sweep` over the DC bias or the test level at one frequency (--bias FROM:TO:POINTS,
// --bias-list V,..., --level-list V,...): its options read from volts into the planner's
// millivolts, and every refusal of it (the planner's, the session's, a bias left on the part)
// worded in English.
#pragma once

#include "core/session.h"
#include "link/refusal.h"
#include "sweep/sweep_planner.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace Cli {

struct QuantityRunPlan {
    Sweep::Quantity quantity = Sweep::Quantity::Frequency; // Frequency: no such run asked for
    QString option;                 // "--bias", "--bias-list" or "--level-list"
    QString text;                   // its value as typed, for the messages
    std::int32_t start = 0;         // --bias: mV, as typed (the planner rounds to the step)
    std::int32_t stop = 0;          // --bias: mV
    int points = 0;                 // --bias
    std::vector<std::int32_t> list; // the lists: mV in run order
    bool asked() const { return quantity != Sweep::Quantity::Frequency; }
};

// The option names of such runs, and those of a frequency run they cannot go with.
const QStringList &QuantityRunOptions();
const QStringList &FrequencyRunOptions();

// "--bias FROM:TO:POINTS" in volts, linear. Nothing, with a message naming the option, for text
// that is not of that form; the bounds and the count are the planner's to judge.
std::optional<QuantityRunPlan> ReadBiasRange(const QString &text, QString *error);
// A comma-separated list of volts for option (--bias-list: the bias, --level-list: the level).
std::optional<QuantityRunPlan> ReadVoltList(const QString &option, const QString &text,
                                            QString *error);

// The planner's request for the run.
Sweep::Request QuantityRequest(const QuantityRunPlan &plan);

// The planner's refusal of the run on the model of row modelIndex, in English, naming the option
// and what the model takes.
QString QuantityRefusalText(const QuantityRunPlan &plan, const Device::Refusal &refusal,
                            int modelIndex);
// What the model cannot take of the run (planned as StartQuantityRun will), or empty.
QString CheckQuantityRun(const QuantityRunPlan &plan, int modelIndex);
// Why the session did not start the run; empty when it did.
QString RunAnswerText(const Core::Session::RunAnswer &answer, const QuantityRunPlan &plan,
                      int modelIndex);
// The bias was not put back to targetMillivolts: the line is gone (lineLost) or the meter did not
// answer; the part may still hold leftMillivolts.
QString BiasLeftText(std::int32_t targetMillivolts, std::int32_t leftMillivolts, bool lineLost);

} // namespace Cli
