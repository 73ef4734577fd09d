// Reading the fixture options of correct, measure, sweep and serve.
#include "cli/fixture_options.h"

#include "link/capabilities.h"
#include "link/models.h"
#include "sweep/sweep_plan.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Cli {

namespace {

struct Suffix {
    char16_t letter;
    double scale;
};
constexpr Suffix Suffixes[] = {{u'p', 1e-12},     {u'n', 1e-9},      {u'u', 1e-6},
                               {u'\u00b5', 1e-6}, {u'\u03bc', 1e-6}, {u'm', 1e-3},
                               {u'k', 1e3},       {u'M', 1e6},       {u'G', 1e9}};

struct NamedCorrection {
    const char *name;
    unsigned kinds;
};
constexpr NamedCorrection Corrections[] = {
    {"off", Comp::NoCorrection},
    {"open", Comp::OpenCorrection},
    {"short", Comp::ShortCorrection},
    {"open-short", Comp::OpenCorrection | Comp::ShortCorrection},
    {"open-short-load", Comp::OpenCorrection | Comp::ShortCorrection | Comp::LoadCorrection},
};

QString StandardHelp() {
    return QStringLiteral("R+X:OHMS,OHMS, C+D:FARADS,D or L+Q:HENRIES,Q (series), for example "
                          "R+X:100,0, C+D:1n,0.001 or L+Q:1m,50");
}

// Why a standard of form with these values is none, or empty when it is one.
QString StandardProblem(const Comp::LoadStandard &standard) {
    using Form = Comp::LoadStandard::Form;
    if (standard.valid()) return QString();
    switch (standard.form) {
    case Form::ResistanceReactance:
        return QStringLiteral("a standard of zero impedance tells nothing of the fixture; give "
                              "the value of the part on the terminals");
    case Form::CapacitanceD:
        return QStringLiteral("C must be above zero and D zero or above");
    case Form::InductanceQ:
        return QStringLiteral("L and Q must be above zero");
    }
    return QString();
}

} // namespace

std::optional<double> ReadScaled(const QString &text) {
    QString number = text.trimmed();
    double scale = 1.0;
    if (number.size() > 1) {
        const QChar last = number.back();
        for (const Suffix &suffix : Suffixes)
            if (last.unicode() == suffix.letter) {
                scale = suffix.scale;
                number.chop(1);
                break;
            }
    }
    bool ok = false;
    const double value = number.toDouble(&ok) * scale;
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<Comp::Kind> ReadCorrectKind(const QString &text, QString *error) {
    if (text == QLatin1String("open")) return Comp::OpenCorrection;
    if (text == QLatin1String("short")) return Comp::ShortCorrection;
    if (text == QLatin1String("load")) return Comp::LoadCorrection;
    *error = QStringLiteral("correct measures open, short or load, not \"%1\"").arg(text);
    return std::nullopt;
}

std::optional<unsigned> ReadCorrection(const QString &text, QString *error) {
    QStringList names;
    for (const NamedCorrection &named : Corrections) {
        if (text == QLatin1String(named.name)) return named.kinds;
        names << QLatin1String(named.name);
    }
    *error = QStringLiteral("--correction takes %1, not \"%2\"")
                 .arg(names.join(QStringLiteral(", ")), text);
    return std::nullopt;
}

std::optional<Comp::LoadStandard> ReadLoadStandard(const QString &text, QString *error) {
    using Form = Comp::LoadStandard::Form;
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString form = text.left(colon).trimmed().toUpper();
    const QStringList values = text.mid(colon + 1).split(QLatin1Char(','));
    Comp::LoadStandard standard;
    if (form == QLatin1String("R+X")) {
        standard.form = Form::ResistanceReactance;
    } else if (form == QLatin1String("C+D")) {
        standard.form = Form::CapacitanceD;
    } else if (form == QLatin1String("L+Q")) {
        standard.form = Form::InductanceQ;
    } else {
        *error = QStringLiteral("--standard takes %1, not \"%2\"").arg(StandardHelp(), text);
        return std::nullopt;
    }
    const std::optional<double> first = colon < 0 ? std::nullopt : ReadScaled(values.value(0));
    const std::optional<double> second = values.size() == 2 ? ReadScaled(values.value(1)) : first;
    if (colon < 0 || values.size() != 2 || !first || !second) {
        *error = QStringLiteral("--standard takes %1, not \"%2\"").arg(StandardHelp(), text);
        return std::nullopt;
    }
    standard.first = *first;
    standard.second = *second;
    const QString problem = StandardProblem(standard);
    if (!problem.isEmpty()) {
        *error = QStringLiteral("--standard %1: %2").arg(text, problem);
        return std::nullopt;
    }
    return standard;
}

std::optional<int> ReadAveraging(const QString &text, QString *error) {
    bool ok = false;
    const int count = text.trimmed().toInt(&ok);
    if (!ok || count < 1 || count > MostAveraging) {
        *error = QStringLiteral("--averaging needs a whole number from 1 to %1, not \"%2\"")
                     .arg(MostAveraging)
                     .arg(text);
        return std::nullopt;
    }
    return count;
}

std::vector<double> SpanFrequencies(const FixtureSpan &span, int modelIndex, std::int32_t presentHz,
                                    QString *error) {
    const Device::Capabilities model = Device::CapabilitiesOf(modelIndex);
    const QString name = Device::ModelName(modelIndex);
    const QString window = QStringLiteral("%1 to %2 Hz").arg(model.lowestHz).arg(model.highestHz);
    const auto inside = [&](std::int32_t hz) {
        return hz >= model.lowestHz && hz <= model.highestHz;
    };
    switch (span.form) {
    case FixtureSpan::Form::Grid:
        return Comp::StandardGrid(model.lowestHz, model.highestHz);
    case FixtureSpan::Form::Spot:
        if (inside(presentHz)) return {double(presentHz)};
        *error = QStringLiteral("--spot: the meter's frequency %1 Hz is outside the %2's %3")
                     .arg(presentHz)
                     .arg(name, window);
        return {};
    case FixtureSpan::Form::Range:
        break;
    }
    if (!inside(span.fromHz) || !inside(span.toHz) || span.fromHz >= span.toHz) {
        *error = QStringLiteral("--from %1 --to %2: the %3 measures from %4, and --to must lie "
                                "above --from")
                     .arg(span.fromHz)
                     .arg(span.toHz)
                     .arg(name, window);
        return {};
    }
    std::vector<double> hz;
    for (std::int32_t f : Sweep::LogPlan(span.fromHz, span.toHz, span.points))
        hz.push_back(f);
    hz.erase(std::unique(hz.begin(), hz.end()), hz.end()); // low points may round together
    return hz;
}

QString MissingKinds(const Comp::Compensation &compensation, unsigned kinds) {
    QStringList missing;
    if ((kinds & Comp::OpenCorrection) && compensation.open.empty()) missing << "open data";
    if ((kinds & Comp::ShortCorrection) && compensation.shorted.empty()) missing << "short data";
    if ((kinds & Comp::LoadCorrection) && compensation.load.empty()) missing << "load data";
    if ((kinds & Comp::LoadCorrection) && !compensation.standard.valid())
        missing << "the load standard";
    return missing.join(QStringLiteral(", "));
}

} // namespace Cli
