// What a run of the graph panel sweeps, as the window reads and shows it: the choice of the box
// b_swept, the volts typed in the fields, the levels of a level run, the x axis of each kind of
// run, the refusals in the window's words and a held run compared along the swept axis. Pure.
#pragma once

#include "core/session.h"
#include "sweep/sweep_planner.h"
#include "sweep/sweep_store.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace Main {

// The entries of b_swept in order: "Частота", "Смещение", "Уровень"; any other index is a
// frequency run.
Sweep::Quantity SweptQuantityOf(int index);

// Volts as typed (a decimal comma or point, spaces around) in whole millivolts, rounded; nothing
// for text that is no finite number. Values far beyond any bias stay beyond it.
std::optional<std::int32_t> ReadMillivolts(const QString &volts);

// The levels (mV) of a level run: from the level typed first to the one typed last along the
// meter's list (1000 … 5 mV), either way; all six in the list's order when either is not a level
// of the list or both are the same.
std::vector<std::int32_t> LevelRun(std::optional<std::int32_t> first,
                                   std::optional<std::int32_t> last);

// The x axis of the graph: its title and each point's place. A frequency run is drawn in kHz
// ("Частота, kHz"), or by sample number ("Отсчеты") when ChBoF is off; bias and level runs in
// volts at their planned values ("Смещение, В", "Уровень, В").
QString AxisTitle(Sweep::Quantity quantity, bool frequencySweep);
double AxisValue(const SweepVariables &store, int point, bool frequencySweep);
// Only a frequency run over frequencies may have a log axis.
bool LogAxisApplies(Sweep::Quantity quantity, bool frequencySweep);

// "1,25 В": volts with a decimal comma, as the window shows the bias.
QString VoltsText(double volts);

// A refused bias or level run in the window's words.
QString RunRefusalText(const Core::Session::RunAnswer &answer);

// "Смещение не снято: …": the bias left on the meter's output when it could not be set back.
QString BiasLeftText(std::int32_t millivolts);

// A held run along its swept axis: the places (axis units) of the taken points that are
// measurements, in run order, as Sweep::HoldReference keeps the points of a run at one frequency.
std::vector<double> HeldAxisValues(const SweepVariables &store);

// The value at x along a held curve (xs in any order, linear between the two points around x);
// nothing outside its span, for fewer than one point or where a neighbour is not finite.
std::optional<double> ValueAlong(const std::vector<double> &xs, const std::vector<double> &ys,
                                 double x);

} // namespace Main
