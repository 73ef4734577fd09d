// --fix takes KEY=VALUE pairs and --bound KEY=LOW:HIGH, several in one option (comma-separated) or
// the option repeated; values are SI numbers. Whether the model has the key is the fit's to say
// (it knows the model).
#include "cli/fit_options.h"

#include "cli/invocation_options.h"

#include <QStringList>

#include <cmath>

namespace Cli {

void AddFitOptions(QCommandLineParser &parser) {
    parser.addOption(Valued("fix",
                            "Hold elements of the fit at values (SI) instead of fitting them, "
                            "e.g. --fix R0=10,Q1_alpha=0.9; repeatable. With auto, each model "
                            "holds the keys it has.",
                            "KEY=VALUE[,...]"));
    parser.addOption(Valued("bound",
                            "Fit an element within LOW to HIGH (SI), inside the range the sweep "
                            "can tell it in; either side may be left empty, e.g. --bound "
                            "R1=100:,C1=:1e-6; repeatable. An element the fit runs to such a "
                            "bound is shown at it (state at_given_bound), without uncertainty.",
                            "KEY=LOW:HIGH[,...]"));
    parser.addOption(Valued("weighting",
                            "What the fit minimises: each residual over |Z| (modulus, the "
                            "default), its real and imaginary parts over |Re Z| and |Im Z| "
                            "(proportional), or in ohms (unit).",
                            "modulus|proportional|unit"));
}

bool FitOptionsSet(const QCommandLineParser &parser) {
    return parser.isSet(QStringLiteral("fix")) || parser.isSet(QStringLiteral("bound")) ||
           parser.isSet(QStringLiteral("weighting"));
}

namespace {

// A side of a bound: empty (the solver's own) or a positive number.
bool Side(const QString &text, double &value) {
    if (text.trimmed().isEmpty()) return true;
    bool number = false;
    value = text.trimmed().toDouble(&number);
    return number && std::isfinite(value) && value > 0.0;
}

bool Named(const Fit::FitOptions &options, const QString &key) {
    for (const Fit::FixedElement &f : options.fixed)
        if (f.key.compare(key, Qt::CaseInsensitive) == 0) return true;
    for (const Fit::ElementBound &b : options.bounds)
        if (b.key.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool TakeBounds(const QStringList &values, Fit::FitOptions &options, QString &error) {
    for (const QString &value : values) {
        for (const QString &pair : value.split(QLatin1Char(','))) {
            const QStringList parts = pair.trimmed().split(QLatin1Char('='));
            const QStringList sides =
                parts.size() == 2 ? parts[1].split(QLatin1Char(':')) : QStringList();
            Fit::ElementBound b;
            b.key = parts.front().trimmed();
            if (sides.size() != 2 || b.key.isEmpty() || !Side(sides[0], b.low) ||
                !Side(sides[1], b.high)) {
                error = QStringLiteral("--bound takes KEY=LOW:HIGH with positive numbers, either "
                                       "side empty, not \"%1\"")
                            .arg(pair);
                return false;
            }
            if (sides[0].trimmed().isEmpty() && sides[1].trimmed().isEmpty()) {
                error = QStringLiteral("--bound %1 gives neither side").arg(pair);
                return false;
            }
            if (!(b.low < b.high)) {
                error = QStringLiteral("--bound %1: LOW must be below HIGH").arg(pair);
                return false;
            }
            if (Named(options, b.key)) {
                error = QStringLiteral("--fix and --bound give %1 more than once").arg(b.key);
                return false;
            }
            options.bounds.push_back(b);
        }
    }
    return true;
}

} // namespace

bool TakeFitOptions(const QCommandLineParser &parser, Fit::FitOptions &options, QString &error) {
    for (const QString &value : parser.values(QStringLiteral("fix"))) {
        for (const QString &pair : value.split(QLatin1Char(','))) {
            const QStringList parts = pair.trimmed().split(QLatin1Char('='));
            bool number = false;
            const double x = parts.size() == 2 ? parts[1].trimmed().toDouble(&number) : 0.0;
            const QString key = parts.front().trimmed();
            if (parts.size() != 2 || key.isEmpty() || !number || !std::isfinite(x) || x <= 0.0) {
                error = QStringLiteral("--fix takes KEY=VALUE with a positive number, not \"%1\"")
                            .arg(pair);
                return false;
            }
            if (Named(options, key)) {
                error = QStringLiteral("--fix gives %1 twice").arg(key);
                return false;
            }
            options.fixed.push_back({key, x});
        }
    }
    if (!TakeBounds(parser.values(QStringLiteral("bound")), options, error)) return false;
    if (parser.isSet(QStringLiteral("weighting"))) {
        const QString w = parser.value(QStringLiteral("weighting"));
        if (w == QLatin1String("modulus")) {
            options.weighting = Fit::Weighting::Modulus;
        } else if (w == QLatin1String("proportional")) {
            options.weighting = Fit::Weighting::Proportional;
        } else if (w == QLatin1String("unit")) {
            options.weighting = Fit::Weighting::Unit;
        } else {
            error = QStringLiteral("--weighting takes modulus, proportional or unit, not \"%1\"")
                        .arg(w);
            return false;
        }
    }
    return true;
}

} // namespace Cli
