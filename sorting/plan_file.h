// A sorting plan as a text file a person can write: one `key = value` per line, `#` starts a
// comment. Numbers take an SI prefix (p n u m k M G: "100n", "4.7k"); a limit pair is "low, high"
// with either side left empty for no limit.
//
//   primary = C            # one of C L R G B X Z Y D Q Fiz Fiy F Ub
//   mode = ptol            # ptol (± % of nominal), atol (± in the unit), seq (boundaries)
//   nominal = 100n
//   bin1 = -1, 1           # up to bin9
//   boundaries = 90n, 95n, 105n   # seq: ascending, one more than the bins
//   secondary = D
//   secondary_limits = , 0.01
//   aux = off              # a secondary failure as bin 10 (on) or as OUT (off)
//   open_ohms = 10M        # the part detector's settings
//   stable_polls = 3
//   stable_tolerance = 0.2 # % spread of |Z|
//   open_polls = 2
#pragma once

#include "sorting/part_detector.h"
#include "sorting/sort_plan.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace Sort {

struct PlanFile {
    Plan plan;
    DetectorSettings detector;
    int line = 0;   // the line a refusal concerns, 0 for the file as a whole
    QString reason; // English; empty when the plan was taken
    bool ok() const { return reason.isEmpty(); }
};

PlanFile ReadPlanText(const QByteArray &text);
PlanFile ReadPlanFile(const QString &path); // at most 64 KiB
QByteArray WritePlanText(const Plan &plan, const DetectorSettings &detector);

// "100n" → 1e-7; a plain number, or one with an SI prefix; nothing for anything else.
std::optional<double> ParseSiNumber(const QString &text);
// "low, high", either side empty; nothing when a side is not a number.
std::optional<Limits> ParseLimits(const QString &text);
// The reason in English for a plan CheckPlan refused.
QString PlanProblemText(const PlanProblem &problem);

} // namespace Sort
