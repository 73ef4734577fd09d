// What the window shows of a run and of a bounded entry, from plain data: how many points the
// graph draws, the progress "k / N", and the short texts of a point count or a frequency the
// window does not take as typed.
#pragma once

#include "sweep/sweep_store.h"

#include <QString>

#include <cstdint>

namespace Main {

// The points of the store's run the graph draws: those taken, with the one the tick has just
// stored (pointInHand: the redraw runs before the run moves past it). Before any run, and for a
// run that took none, all SweepPoints: the start-up picture, or points each marked as not taken.
int DrawnSweepPoints(const SweepVariables &store, bool pointInHand);

// "k / N" while a run goes and after it (k taken of N), empty before any run.
QString RunProgressText(const SweepVariables &store);

// A point count the store cannot hold is said, never cut: the text, or empty when it fits.
QString PointCountProblem(int typed);

// Said when the frequency sent is not the one typed (the window's frequency window bounded it);
// empty when they agree.
QString BoundedFrequencyText(std::int32_t typed, std::int32_t sent, std::int32_t low,
                             std::int32_t high);

} // namespace Main
