// What impedix-cli is asked about a test fixture, read from the command line's texts: the kind
// `correct` measures, its load standard, the frequencies it measures at, and the corrections
// `measure`, `sweep` and `serve` switch on. Checked against the found model before anything is
// sent.
#pragma once

#include "compensation/compensation_data.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace Cli {

// Where `correct` measures the fixture.
struct FixtureSpan {
    enum class Form { Grid, Range, Spot };
    Form form = Form::Grid;  // Grid: Comp::StandardGrid over the model's window
    std::int32_t fromHz = 0; // Range: `points` spaced logarithmically from fromHz to toHz
    std::int32_t toHz = 0;
    int points = 0;
};

// `correct open|short|load`.
struct CorrectPlan {
    Comp::Kind kind = Comp::OpenCorrection;
    std::optional<Comp::LoadStandard> standard; // given with --standard
    FixtureSpan span;
    int averaging = 8; // readings per frequency
};
constexpr int MostAveraging = 256;
constexpr int MostFixturePoints = 256;

// `--correction` and `--fixture` of measure, sweep and serve.
struct CorrectionChoice {
    unsigned kinds = Comp::NoCorrection; // Comp::Kind flags; none: nothing is loaded or changed
    QString fixture;                     // empty: the fixture named "default"
    bool fixtureGiven = false;
};

// "1n" → 1e-9: a number, optionally with one of the suffixes p n u µ m k M G.
std::optional<double> ReadScaled(const QString &text);

// "open", "short" or "load".
std::optional<Comp::Kind> ReadCorrectKind(const QString &text, QString *error);
// off, open, short, open-short or open-short-load as Comp::Kind flags.
std::optional<unsigned> ReadCorrection(const QString &text, QString *error);
// "R+X:100,0" (ohms), "C+D:1n,0.001" (farads, series) or "L+Q:1m,50" (henries, series); refused
// for a standard of zero (nothing would be known of the fixture from it) or a form's impossible
// value.
std::optional<Comp::LoadStandard> ReadLoadStandard(const QString &text, QString *error);
std::optional<int> ReadAveraging(const QString &text, QString *error);

// The frequencies `correct` measures, rising, for the model of row modelIndex whose present
// frequency is presentHz; empty, with a message naming the model's window, when the range does
// not fit it.
std::vector<double> SpanFrequencies(const FixtureSpan &span, int modelIndex, std::int32_t presentHz,
                                    QString *error);

// The kinds asked for that the fixture has no data of, named for the user (load without its
// standard counts as missing); empty when all are there.
QString MissingKinds(const Comp::Compensation &compensation, unsigned kinds);

} // namespace Cli
