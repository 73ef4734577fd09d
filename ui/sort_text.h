// The sorting panel's texts and its plan as typed, without widgets: the verdict's word and
// colour, the counts' rows, and the plan read from the fields (refused in short Russian).
#pragma once

#include "sorting/sort_plan.h"

#include <QColor>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace Main {

// "BIN 3", "ГОДЕН" (a plan without bins), "ВНЕ" (out), "ВТОР." (the secondary failed; "БРАК" for
// a plan without bins), "—" with no verdict.
QString VerdictText(const Sort::Verdict &verdict, const Sort::Plan &plan);
// Green for a part that passed, red for one that failed, grey with no verdict.
QColor VerdictColour(const Sort::Verdict &verdict);

// The counts as label and number: one row per bin of the plan ("BIN 1") or "ГОДЕН" for a plan
// without bins, then "ВНЕ", "ВТОР.", "Всего" and "Выход" in % with one decimal ("66,7 %").
QList<QPair<QString, QString>> CountRows(const Sort::Counts &counts, const Sort::Plan &plan);

// The plan as the panel's fields hold it. The mode is the box's row: 0 "допуск %", 1 "допуск
// абс.", 2 "последовательно". Each bin row is low and high; in the sequential mode they are
// the bin's boundaries, a row's low may be left empty (the bin below ends there).
struct PlanFields {
    int primary = 0;
    int mode = 0;
    QString nominal;
    QList<QPair<QString, QString>> bins; // trailing empty rows are no bins
    int secondary = 8;
    QString secondaryLow;
    QString secondaryHigh;
    bool aux = false;
};

struct PlanReading {
    std::optional<Sort::Plan> plan;
    QString problem; // short Russian; empty when the plan was taken
};
PlanReading ReadPlanFields(const PlanFields &fields);
// The fields showing a plan (numbers with SI prefixes as WritePlanText writes them).
PlanFields PlanToFields(const Sort::Plan &plan);

// The reason CheckPlan gave, in short Russian.
QString PlanProblemWords(const Sort::PlanProblem &problem);

// Where the window keeps the plan between runs: the plan text (Sort::WritePlanText) in the
// program's configuration folder.
QString SortPlanPath();

// The mode box's row and back.
int ModeRow(Sort::Mode mode);
Sort::Mode RowMode(int row);

} // namespace Main
