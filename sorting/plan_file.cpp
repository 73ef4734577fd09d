// Reading and writing the plan's text.
#include "sorting/plan_file.h"

#include "export/csv.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace Sort {

namespace {

constexpr qint64 LargestPlanFile = 64 * 1024;

const char *ModeName(Mode mode) {
    switch (mode) {
    case Mode::AbsoluteTolerance:
        return "atol";
    case Mode::Sequential:
        return "seq";
    case Mode::PercentTolerance:
        break;
    }
    return "ptol";
}

QString Number(double value) {
    return Export::FormatNumber(value);
}

QString LimitsText(const Limits &limits) {
    return QStringLiteral("%1, %2").arg(limits.low ? Number(*limits.low) : QString(),
                                        limits.high ? Number(*limits.high) : QString());
}

PlanFile Refused(PlanFile file, int line, const QString &reason) {
    file.line = line;
    file.reason = reason;
    return file;
}

} // namespace

// The prefix becomes the number's own exponent ("100n" is read as "100e-9"), so that the value is
// the double nearest to what was typed, as a plain number in SI would be.
std::optional<double> ParseSiNumber(const QString &text) {
    QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    static const struct {
        QChar prefix;
        const char *exponent;
    } prefixes[] = {{QLatin1Char('p'), "e-12"}, {QLatin1Char('n'), "e-9"},
                    {QLatin1Char('u'), "e-6"},  {QChar(0x00B5), "e-6"},
                    {QLatin1Char('m'), "e-3"},  {QLatin1Char('k'), "e3"},
                    {QLatin1Char('M'), "e6"},   {QLatin1Char('G'), "e9"}};
    for (const auto &p : prefixes) {
        if (t.endsWith(p.prefix)) {
            t.chop(1);
            t = t.trimmed();
            // A number that has its own exponent already takes no prefix.
            if (t.contains(QLatin1Char('e'), Qt::CaseInsensitive)) return std::nullopt;
            t += QLatin1String(p.exponent);
            break;
        }
    }
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<Limits> ParseLimits(const QString &text) {
    const QStringList sides = text.split(QLatin1Char(','));
    if (sides.size() != 2) return std::nullopt;
    Limits limits;
    for (int i = 0; i < 2; ++i) {
        if (sides[i].trimmed().isEmpty()) continue;
        const std::optional<double> value = ParseSiNumber(sides[i]);
        if (!value) return std::nullopt;
        (i == 0 ? limits.low : limits.high) = *value;
    }
    return limits;
}

QString PlanProblemText(const PlanProblem &problem) {
    using K = PlanProblem::Kind;
    switch (problem.kind) {
    case K::TooManyBins:
        return QStringLiteral("more than %1 bins").arg(MaxBins);
    case K::LowAboveHigh:
        return problem.bin > 0 ? QStringLiteral("bin %1: low limit above high").arg(problem.bin)
                               : QStringLiteral("secondary: low limit above high");
    case K::NoNominal:
        return QStringLiteral("percent bins need a nominal other than 0");
    case K::NotAscending:
        return QStringLiteral("boundaries must rise (boundary %1)").arg(problem.bin + 1);
    case K::NotFinite:
        return QStringLiteral("a limit is not a finite number");
    case K::Quantity:
        break;
    }
    return QStringLiteral("unknown quantity");
}

PlanFile ReadPlanText(const QByteArray &text) {
    PlanFile file;
    Plan &plan = file.plan;
    plan.bins.clear();
    const QList<QByteArray> lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        const int line = n + 1;
        QString content = QString::fromUtf8(lines[n]);
        const int hash = content.indexOf(QLatin1Char('#'));
        if (hash >= 0) content.truncate(hash);
        content = content.trimmed();
        if (content.isEmpty()) continue;
        const int equals = content.indexOf(QLatin1Char('='));
        if (equals <= 0) return Refused(file, line, QStringLiteral("expected key = value"));
        const QString key = content.left(equals).trimmed().toLower();
        const QString value = content.mid(equals + 1).trimmed();
        const auto number = [&](double *to) {
            const std::optional<double> v = ParseSiNumber(value);
            if (v) *to = *v;
            return v.has_value();
        };
        const auto whole = [&](int *to, int least) {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (ok && v >= least) *to = v;
            return ok && v >= least;
        };
        bool taken = true;
        if (key == QLatin1String("primary") || key == QLatin1String("secondary")) {
            const int q = QuantityByName(value);
            taken = q >= 0;
            (key == QLatin1String("primary") ? plan.primary : plan.secondary) = q;
        } else if (key == QLatin1String("mode")) {
            const QString m = value.toLower();
            taken = m == QLatin1String("ptol") || m == QLatin1String("atol") ||
                    m == QLatin1String("seq");
            plan.mode = m == QLatin1String("atol")  ? Mode::AbsoluteTolerance
                        : m == QLatin1String("seq") ? Mode::Sequential
                                                    : Mode::PercentTolerance;
        } else if (key == QLatin1String("nominal")) {
            taken = number(&plan.nominal);
        } else if (key.startsWith(QLatin1String("bin")) && key.size() == 4 && key[3] >= '1' &&
                   key[3] <= '9') {
            const int index = key[3].digitValue() - 1;
            const std::optional<Limits> limits = ParseLimits(value);
            taken = limits.has_value();
            if (taken) {
                if (plan.bins.size() <= static_cast<std::size_t>(index))
                    plan.bins.resize(static_cast<std::size_t>(index) + 1);
                plan.bins[static_cast<std::size_t>(index)] = *limits;
            }
        } else if (key == QLatin1String("boundaries")) {
            plan.boundaries.clear();
            for (const QString &part : value.split(QLatin1Char(','))) {
                const std::optional<double> v = ParseSiNumber(part);
                if (!v) {
                    taken = false;
                    break;
                }
                plan.boundaries.push_back(*v);
            }
        } else if (key == QLatin1String("secondary_limits")) {
            const std::optional<Limits> limits = ParseLimits(value);
            taken = limits.has_value();
            if (taken) plan.secondaryLimits = *limits;
        } else if (key == QLatin1String("aux")) {
            taken = value == QLatin1String("on") || value == QLatin1String("off");
            plan.auxBin = value == QLatin1String("on");
        } else if (key == QLatin1String("open_ohms")) {
            taken = number(&file.detector.openOhms) && file.detector.openOhms > 0;
        } else if (key == QLatin1String("stable_polls")) {
            taken = whole(&file.detector.stablePolls, 1);
        } else if (key == QLatin1String("open_polls")) {
            taken = whole(&file.detector.openPolls, 1);
        } else if (key == QLatin1String("stable_tolerance")) {
            double percent = 0.0;
            taken = number(&percent) && percent > 0;
            if (taken) file.detector.stableTolerance = percent / 100.0;
        } else {
            return Refused(file, line, QStringLiteral("unknown key \"%1\"").arg(key));
        }
        if (!taken)
            return Refused(file, line,
                           QStringLiteral("%1: \"%2\" is not accepted").arg(key, value));
    }
    // A bin left out between others (bin1 and bin3 given) limits nothing: refused.
    for (std::size_t k = 0; k < plan.bins.size(); ++k)
        if (!plan.bins[k].any())
            return Refused(file, 0, QStringLiteral("bin%1 has no limit").arg(k + 1));
    if (const std::optional<PlanProblem> problem = CheckPlan(plan))
        return Refused(file, 0, PlanProblemText(*problem));
    return file;
}

PlanFile ReadPlanFile(const QString &path) {
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile()) return Refused({}, 0, QStringLiteral("no such file"));
    if (info.size() > LargestPlanFile) return Refused({}, 0, QStringLiteral("larger than 64 KiB"));
    if (!file.open(QIODevice::ReadOnly)) return Refused({}, 0, file.errorString());
    return ReadPlanText(file.read(LargestPlanFile + 1));
}

QByteArray WritePlanText(const Plan &plan, const DetectorSettings &detector) {
    QStringList lines;
    lines << QStringLiteral("# Impedix sorting plan");
    lines << QStringLiteral("primary = %1").arg(QuantityName(plan.primary));
    lines << QStringLiteral("mode = %1").arg(QLatin1String(ModeName(plan.mode)));
    if (plan.mode == Mode::Sequential) {
        QStringList values;
        for (double b : plan.boundaries)
            values << Number(b);
        lines << QStringLiteral("boundaries = %1").arg(values.join(QStringLiteral(", ")));
    } else {
        lines << QStringLiteral("nominal = %1").arg(Number(plan.nominal));
        for (std::size_t k = 0; k < plan.bins.size(); ++k)
            lines << QStringLiteral("bin%1 = %2").arg(k + 1).arg(LimitsText(plan.bins[k]));
    }
    lines << QStringLiteral("secondary = %1").arg(QuantityName(plan.secondary));
    if (plan.secondaryLimits.any())
        lines << QStringLiteral("secondary_limits = %1").arg(LimitsText(plan.secondaryLimits));
    lines << QStringLiteral("aux = %1")
                 .arg(plan.auxBin ? QStringLiteral("on") : QStringLiteral("off"));
    lines << QStringLiteral("open_ohms = %1").arg(Number(detector.openOhms));
    lines << QStringLiteral("stable_polls = %1").arg(detector.stablePolls);
    lines << QStringLiteral("stable_tolerance = %1").arg(Number(detector.stableTolerance * 100.0));
    lines << QStringLiteral("open_polls = %1").arg(detector.openPolls);
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace Sort
