// The plan of `sort` from the command line: a plan file (sorting/plan_file.h) and the options
// that override it, each read from its text with a refusal in English that names the option.
#pragma once

#include "sorting/part_detector.h"
#include "sorting/sort_plan.h"

#include <QString>

#include <optional>
#include <vector>

namespace Cli {

// The options' texts as typed; an option not given is nothing.
struct SortOptionTexts {
    QString planFile; // --plan FILE; empty: none
    std::optional<QString> primary;
    std::optional<QString> nominal;
    std::optional<QString> bins;
    std::optional<QString> sequential;
    std::optional<QString> secondary;
    std::optional<QString> openOhms;
    std::optional<QString> stablePolls;
    bool aux = false;
};

// What `sort` does with the parts.
struct SortRequest {
    Sort::Plan plan;
    Sort::DetectorSettings detector;
    bool once = false; // one part, and an exit status that tells its verdict
    bool now = false;  // the present reading at once (with once)
};

// --bins: comma-separated nested bins, all in percent of the nominal or all in the primary's
// unit. An item is "P%" (±P %) or "X" (±X), or "LOW:HIGH" ("-1%:+2%", "-0.5:1"), a side left
// empty for no limit.
struct BinsText {
    Sort::Mode mode = Sort::Mode::PercentTolerance; // or AbsoluteTolerance
    std::vector<Sort::Limits> bins;
};
std::optional<BinsText> ReadBins(const QString &text, QString *error);

// --sequential: ascending boundaries, at least two ("90n,95n,105n,110n").
std::optional<std::vector<double>> ReadBoundaries(const QString &text, QString *error);

// --secondary: a quantity alone ("D": shown, not judged), or with limits: "D<=0.01", "Q>=50",
// "0.001<=D<=0.01" (limits inclusive).
struct SecondaryText {
    int quantity = 8;
    Sort::Limits limits;
};
std::optional<SecondaryText> ReadSecondary(const QString &text, QString *error);

// The plan of the file (when named) with the options over it, checked as the core will use it.
// A refused plan names the file's line or the option concerned.
std::optional<SortRequest> ReadSortRequest(const SortOptionTexts &texts, QString *error);

} // namespace Cli
