// A recursive-descent parser over the string: series := term ('-' term)*, term := element |
// p(series, series, ...). The impedance follows the tree: a series adds impedances, a parallel
// adds admittances, and each branch's derivatives scale by (Z / Zbranch)^2 through a parallel.
#include "fit/circuit_string.h"

#include <cmath>

namespace Fit {

namespace {

constexpr double HalfPi = 1.5707963267948966;

class Parser {
public:
    explicit Parser(const QString &text) : text_(text) {}

    CircuitParse Run() {
        CircuitParse result;
        Skip();
        if (at_ >= text_.size())
            return Fail(result, CircuitProblem::Empty, QStringLiteral("the circuit is empty"));
        if (!Series(&result.circuit.root)) return Fail(result, problem_, reason_);
        Skip();
        if (at_ < text_.size())
            return Fail(
                result,
                text_[at_] == QLatin1Char(')') ? CircuitProblem::UnmatchedClosing
                                               : CircuitProblem::ExpectedEnd,
                text_[at_] == QLatin1Char(')')
                    ? QStringLiteral("')' without its 'p('")
                    : QStringLiteral("expected '-', ',' or the end, not '%1'").arg(text_[at_]));
        result.ok = true;
        result.circuit.parameters = parameters_;
        result.circuit.text = Normalised();
        return result;
    }

private:
    CircuitParse Fail(CircuitParse &result, CircuitProblem problem, const QString &reason) const {
        result.ok = false;
        result.problem = problem;
        result.position = static_cast<int>(at_);
        result.reason = reason;
        return result;
    }

    // Without spaces and with the element letters in upper case, as the keys are.
    QString Normalised() const {
        QString text;
        for (qsizetype i = 0; i < text_.size(); ++i) {
            const QChar c = text_[i];
            if (c == QLatin1Char(' ')) continue;
            text += (c == QLatin1Char('p')) ? c : c.toUpper();
        }
        return text;
    }

    void Skip() {
        while (at_ < text_.size() && text_[at_] == QLatin1Char(' '))
            ++at_;
    }

    bool Error(CircuitProblem problem, const QString &reason) {
        problem_ = problem;
        reason_ = reason;
        return false;
    }

    bool Series(CircuitNode *node) {
        node->kind = CircuitNode::Kind::Series;
        node->first = static_cast<int>(parameters_.size());
        do {
            node->children.emplace_back();
            if (!Term(&node->children.back())) return false;
            Skip();
        } while (at_ < text_.size() && text_[at_] == QLatin1Char('-') && (++at_, true));
        node->last = static_cast<int>(parameters_.size());
        if (node->children.size() == 1) {
            CircuitNode only = std::move(node->children.front());
            *node = std::move(only);
        }
        return true;
    }

    bool Term(CircuitNode *node) {
        Skip();
        if (at_ >= text_.size())
            return Error(CircuitProblem::ExpectedElement,
                         QStringLiteral("expected an element (R, C, L, Q) or p(, not the end"));
        const QChar c = text_[at_];
        if (c == QLatin1Char('p')) return Parallel(node);
        const QChar upper = c.toUpper();
        if (upper == QLatin1Char('R') || upper == QLatin1Char('C') || upper == QLatin1Char('L') ||
            upper == QLatin1Char('Q'))
            return Element(node);
        return Error(CircuitProblem::ExpectedElement,
                     QStringLiteral("expected an element (R, C, L, Q) or p(, not '%1'").arg(c));
    }

    bool Parallel(CircuitNode *node) {
        ++at_;
        Skip();
        if (at_ >= text_.size() || text_[at_] != QLatin1Char('('))
            return Error(CircuitProblem::ExpectedOpening, QStringLiteral("expected '(' after p"));
        ++at_;
        node->kind = CircuitNode::Kind::Parallel;
        node->first = static_cast<int>(parameters_.size());
        for (;;) {
            node->children.emplace_back();
            if (!Series(&node->children.back())) return false;
            Skip();
            if (at_ >= text_.size())
                return Error(CircuitProblem::NotClosed, QStringLiteral("'p(' is not closed"));
            if (text_[at_] == QLatin1Char(')')) break;
            if (text_[at_] != QLatin1Char(','))
                return Error(CircuitProblem::ExpectedSeparator,
                             QStringLiteral("expected ',' or ')', not '%1'").arg(text_[at_]));
            ++at_;
        }
        if (node->children.size() < 2)
            return Error(CircuitProblem::OneBranch,
                         QStringLiteral("p( needs at least two branches"));
        ++at_;
        node->last = static_cast<int>(parameters_.size());
        return true;
    }

    bool Element(CircuitNode *node) {
        const int start = static_cast<int>(at_);
        const char kind = static_cast<char>(text_[at_].toUpper().toLatin1());
        ++at_;
        while (at_ < text_.size() && text_[at_] >= QLatin1Char('0') &&
               text_[at_] <= QLatin1Char('9'))
            ++at_;
        const QString key = QChar::fromLatin1(kind) + text_.mid(start + 1, at_ - start - 1);
        for (const CircuitParameter &p : parameters_)
            if (p.key == key) {
                at_ = static_cast<qsizetype>(start);
                return Error(CircuitProblem::NamedTwice,
                             QStringLiteral("%1 is named twice").arg(key));
            }
        const int needed = kind == 'Q' ? 2 : 1;
        if (static_cast<int>(parameters_.size()) + needed > MaxCircuitParameters) {
            at_ = static_cast<qsizetype>(start);
            return Error(CircuitProblem::TooManyValues,
                         QStringLiteral("more than %1 values to fit").arg(MaxCircuitParameters));
        }
        node->kind = CircuitNode::Kind::Element;
        node->element = kind;
        node->first = static_cast<int>(parameters_.size());
        switch (kind) {
        case 'R':
            parameters_.push_back({key, "ohm", 'R'});
            break;
        case 'C':
            parameters_.push_back({key, "F", 'C'});
            break;
        case 'L':
            parameters_.push_back({key, "H", 'L'});
            break;
        default:
            parameters_.push_back({key, "F*s^(alpha-1)", 'Q'});
            parameters_.push_back({key + QStringLiteral("_alpha"), "", 'a'});
            break;
        }
        node->last = static_cast<int>(parameters_.size());
        return true;
    }

    const QString &text_;
    qsizetype at_ = 0;
    QString reason_;
    CircuitProblem problem_ = CircuitProblem::None;
    std::vector<CircuitParameter> parameters_;
};

Complex Evaluate(const CircuitNode &node, const double *x, double omega, Complex *gradient) {
    switch (node.kind) {
    case CircuitNode::Kind::Element: {
        const int i = node.first;
        Complex z;
        switch (node.element) {
        case 'R':
            z = x[i];
            if (gradient) gradient[i] = z;
            break;
        case 'C':
            z = 1.0 / Complex(0.0, omega * x[i]);
            if (gradient) gradient[i] = -z;
            break;
        case 'L':
            z = Complex(0.0, omega * x[i]);
            if (gradient) gradient[i] = z;
            break;
        default: { // Q: 1 / (Q (jw)^alpha), (jw)^alpha = exp(alpha (ln w + j pi/2))
            const Complex logJw(std::log(omega), HalfPi);
            z = std::exp(-x[i + 1] * logJw) / x[i];
            if (gradient) {
                gradient[i] = -z;
                gradient[i + 1] = -x[i + 1] * logJw * z;
            }
        }
        }
        return z;
    }
    case CircuitNode::Kind::Series: {
        Complex z = 0.0;
        for (const CircuitNode &child : node.children)
            z += Evaluate(child, x, omega, gradient);
        return z;
    }
    case CircuitNode::Kind::Parallel:
        break;
    }
    std::vector<Complex> branches;
    branches.reserve(node.children.size());
    Complex y = 0.0;
    for (const CircuitNode &child : node.children) {
        branches.push_back(Evaluate(child, x, omega, gradient));
        y += 1.0 / branches.back();
    }
    const Complex z = 1.0 / y;
    if (gradient)
        for (std::size_t b = 0; b < node.children.size(); ++b) {
            const Complex share = z / branches[b];
            for (int i = node.children[b].first; i < node.children[b].last; ++i)
                gradient[i] *= share * share;
        }
    return z;
}

} // namespace

QString CircuitParse::Error() const {
    return QStringLiteral("position %1: %2").arg(position).arg(reason);
}

CircuitParse ParseCircuit(const QString &text) {
    return Parser(text).Run();
}

Complex CircuitImpedance(const ParsedCircuit &circuit, const double *values, double omega,
                         Complex *gradient) {
    return Evaluate(circuit.root, values, omega, gradient);
}

} // namespace Fit
