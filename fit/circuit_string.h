// A circuit written as a string, e.g. "R0-p(R1,Q1)": elements in series joined by '-', parallel
// branches in p(a,b,...), nested at will. Elements are R, C, L and Q, a constant-phase element
// Z = 1/(Q (jw)^alpha); each is its letter and an optional number, e.g. R0, Q12. Letters may be
// in either case (a SCPI parameter arrives in lower case); the keys are upper case.
#pragma once

#include "fit/circuit_models.h"

#include <QString>

#include <vector>

namespace Fit {

// A circuit's parameters are its elements' values, in the order they are written; a Q element
// has two, its Q and its exponent.
constexpr int MaxCircuitParameters = MaxElements;

struct CircuitParameter {
    QString key;      // "R0", "Q1", "Q1_alpha"
    const char *unit; // "ohm", "F", "H", "F*s^(alpha-1)" or "" for the exponent
    char kind;        // 'R', 'C', 'L', 'Q' or 'a' for an exponent
};

struct CircuitNode {
    enum class Kind { Element, Series, Parallel };
    Kind kind = Kind::Element;
    char element = 'R'; // with Element: 'R', 'C', 'L' or 'Q'
    int first = 0;      // the node's parameters are [first, last)
    int last = 0;
    std::vector<CircuitNode> children; // with Series and Parallel
};

struct ParsedCircuit {
    QString text; // as written, without spaces
    CircuitNode root;
    std::vector<CircuitParameter> parameters;
};

// Why a text is no circuit, for front ends that word it in their own language.
enum class CircuitProblem {
    None,
    Empty,             // nothing but spaces
    ExpectedElement,   // neither R, C, L, Q nor p( where an element belongs
    ExpectedOpening,   // p without '('
    NotClosed,         // p( without its ')'
    ExpectedSeparator, // inside p(...): neither ',' nor ')'
    OneBranch,         // p( with a single branch
    NamedTwice,        // an element's name used twice
    TooManyValues,     // more than MaxCircuitParameters values
    UnmatchedClosing,  // ')' without its p(
    ExpectedEnd,       // after a whole circuit: neither '-' nor the end
};

// Either a circuit, or the position (0-based, in the text as given) and the reason it is none.
struct CircuitParse {
    bool ok = false;
    ParsedCircuit circuit;
    int position = 0;
    QString reason;
    CircuitProblem problem = CircuitProblem::None;
    // "position 4: ..." for messages.
    QString Error() const;
};

CircuitParse ParseCircuit(const QString &text);

// The circuit's impedance with the parameter values (SI) at angular frequency omega; with
// gradient, also dZ/d(ln x) for each parameter x in gradient[0 .. parameters - 1].
Complex CircuitImpedance(const ParsedCircuit &circuit, const double *values, double omega,
                         Complex *gradient = nullptr);

} // namespace Fit
