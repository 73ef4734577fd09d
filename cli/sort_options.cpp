// The plan options of `sort` read from their texts.
#include "cli/sort_options.h"

#include "sorting/plan_file.h"

#include <QRegularExpression>
#include <QStringList>

namespace Cli {

namespace {

constexpr int MostStablePolls = 1000;

QString QuantityNames() {
    QStringList names;
    for (int q = 0; !Sort::QuantityName(q).isEmpty(); ++q)
        names << Sort::QuantityName(q);
    return names.join(QStringLiteral(", "));
}

// One side of a bin: a number, in percent when it ends with '%'.
struct Side {
    std::optional<double> value;
    bool percent = false;
};

std::optional<Side> ReadSide(QString text) {
    Side side;
    text = text.trimmed();
    if (text.isEmpty()) return side;
    side.percent = text.endsWith(QLatin1Char('%'));
    if (side.percent) text.chop(1);
    side.value = Sort::ParseSiNumber(text);
    if (!side.value) return std::nullopt;
    return side;
}

bool Refuse(QString *error, const QString &message) {
    *error = message;
    return false;
}

} // namespace

std::optional<BinsText> ReadBins(const QString &text, QString *error) {
    const QString form = QStringLiteral(
        "--bins takes bins such as 1%,5% (± percent of the nominal), -1%:+2% (low:high) or "
        "0.5,1 (± in the unit), not \"%1\"");
    BinsText bins;
    std::optional<bool> percent; // of the sides read so far
    const QStringList items = text.split(QLatin1Char(','));
    if (items.size() > Sort::MaxBins) {
        *error = QStringLiteral("--bins: more than %1 bins").arg(Sort::MaxBins);
        return std::nullopt;
    }
    for (const QString &item : items) {
        const QStringList sides = item.split(QLatin1Char(':'));
        Sort::Limits limits;
        std::vector<Side> read;
        for (const QString &sideText : sides) {
            const std::optional<Side> side = ReadSide(sideText);
            if (!side || sides.size() > 2) {
                *error = form.arg(text);
                return std::nullopt;
            }
            read.push_back(*side);
        }
        if (sides.size() == 1) {
            // ±X: a width, above zero.
            if (!read[0].value || *read[0].value <= 0.0) {
                *error = QStringLiteral("--bins: \"%1\" is no tolerance above 0 (a low and a high "
                                        "limit are written LOW:HIGH, e.g. -1%:+2%)")
                             .arg(item.trimmed());
                return std::nullopt;
            }
            const double width = *read[0].value;
            read[0].value = -width;
            read.push_back({width, read[0].percent});
        }
        if (!read[0].value && !read[1].value) {
            *error = QStringLiteral("--bins: \"%1\" has no limit").arg(item.trimmed());
            return std::nullopt;
        }
        for (const Side &side : read) {
            if (!side.value) continue;
            if (percent && *percent != side.percent) {
                *error = QStringLiteral("--bins: give every limit in percent (1%) or every one in "
                                        "the unit (0.5), not both");
                return std::nullopt;
            }
            percent = side.percent;
        }
        limits.low = read[0].value;
        limits.high = read[1].value;
        if (limits.low && limits.high && *limits.low > *limits.high) {
            *error = QStringLiteral("--bins: bin %1 (\"%2\") has its low limit above its high")
                         .arg(bins.bins.size() + 1)
                         .arg(item.trimmed());
            return std::nullopt;
        }
        bins.bins.push_back(limits);
    }
    bins.mode =
        percent.value_or(true) ? Sort::Mode::PercentTolerance : Sort::Mode::AbsoluteTolerance;
    return bins;
}

std::optional<std::vector<double>> ReadBoundaries(const QString &text, QString *error) {
    std::vector<double> boundaries;
    for (const QString &item : text.split(QLatin1Char(','))) {
        const std::optional<double> value = Sort::ParseSiNumber(item);
        if (!value) {
            *error = QStringLiteral("--sequential takes rising boundaries such as 90n,95n,105n, "
                                    "not \"%1\"")
                         .arg(text);
            return std::nullopt;
        }
        if (!boundaries.empty() && *value <= boundaries.back()) {
            *error = QStringLiteral("--sequential: the boundaries must rise (%1 after %2)")
                         .arg(item.trimmed())
                         .arg(boundaries.back());
            return std::nullopt;
        }
        boundaries.push_back(*value);
    }
    if (boundaries.size() < 2 || boundaries.size() > Sort::MaxBins + 1) {
        *error = QStringLiteral("--sequential takes 2 to %1 boundaries (1 to %2 bins), not %3")
                     .arg(Sort::MaxBins + 1)
                     .arg(Sort::MaxBins)
                     .arg(boundaries.size());
        return std::nullopt;
    }
    return boundaries;
}

std::optional<SecondaryText> ReadSecondary(const QString &text, QString *error) {
    // [LOW <=] NAME [<= HIGH], or with >= the other way round.
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(?:([^<>=\s]+)\s*(<=|>=)\s*)?([A-Za-z]+)\s*(?:(<=|>=)\s*([^<>=\s]+))?\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        *error = QStringLiteral("--secondary takes a quantity with limits such as D<=0.01, "
                                "Q>=50 or 0.001<=D<=0.01, not \"%1\"")
                     .arg(text);
        return std::nullopt;
    }
    SecondaryText secondary;
    secondary.quantity = Sort::QuantityByName(match.captured(3));
    if (secondary.quantity < 0) {
        *error = QStringLiteral("--secondary: \"%1\" is none of %2")
                     .arg(match.captured(3), QuantityNames());
        return std::nullopt;
    }
    // A limit on the left bounds from below with <=, on the right from above.
    const auto take = [&](int valueGroup, bool low) {
        const std::optional<double> value = Sort::ParseSiNumber(match.captured(valueGroup));
        if (!value)
            return Refuse(error, QStringLiteral("--secondary: \"%1\" is not a number")
                                     .arg(match.captured(valueGroup)));
        std::optional<double> &limit = low ? secondary.limits.low : secondary.limits.high;
        if (limit)
            return Refuse(error,
                          QStringLiteral("--secondary: \"%1\" gives two %2 limits")
                              .arg(text, low ? QStringLiteral("low") : QStringLiteral("high")));
        limit = value;
        return true;
    };
    const bool lessLeft = match.captured(2) == QLatin1String("<=");
    const bool lessRight = match.captured(4) == QLatin1String("<=");
    if (match.hasCaptured(1) && !match.captured(1).isEmpty() && !take(1, lessLeft))
        return std::nullopt;
    if (match.hasCaptured(5) && !match.captured(5).isEmpty() && !take(5, !lessRight))
        return std::nullopt;
    if (secondary.limits.low && secondary.limits.high &&
        *secondary.limits.low > *secondary.limits.high) {
        *error =
            QStringLiteral("--secondary: in \"%1\" the low limit is above the high one").arg(text);
        return std::nullopt;
    }
    return secondary;
}

std::optional<SortRequest> ReadSortRequest(const SortOptionTexts &texts, QString *error) {
    SortRequest request;
    Sort::Plan &plan = request.plan;
    if (!texts.planFile.isEmpty()) {
        const Sort::PlanFile file = Sort::ReadPlanFile(texts.planFile);
        if (!file.ok()) {
            *error = file.line > 0
                         ? QStringLiteral("--plan %1: line %2: %3")
                               .arg(texts.planFile)
                               .arg(file.line)
                               .arg(file.reason)
                         : QStringLiteral("--plan %1: %2").arg(texts.planFile, file.reason);
            return std::nullopt;
        }
        plan = file.plan;
        request.detector = file.detector;
    }
    if (texts.primary) {
        plan.primary = Sort::QuantityByName(*texts.primary);
        if (plan.primary < 0) {
            *error = QStringLiteral("--primary takes one of %1, not \"%2\"")
                         .arg(QuantityNames(), *texts.primary);
            return std::nullopt;
        }
    }
    if (texts.nominal) {
        const std::optional<double> nominal = Sort::ParseSiNumber(*texts.nominal);
        if (!nominal) {
            *error = QStringLiteral("--nominal takes a number, with an SI prefix if you like "
                                    "(100n, 4.7k), not \"%1\"")
                         .arg(*texts.nominal);
            return std::nullopt;
        }
        plan.nominal = *nominal;
    }
    if (texts.bins && texts.sequential) {
        *error = QStringLiteral("--bins and --sequential exclude each other");
        return std::nullopt;
    }
    if (texts.bins) {
        const std::optional<BinsText> bins = ReadBins(*texts.bins, error);
        if (!bins) return std::nullopt;
        plan.mode = bins->mode;
        plan.bins = bins->bins;
        plan.boundaries.clear();
        if (!texts.nominal && plan.nominal == 0.0) {
            *error = QStringLiteral("--bins needs the nominal value they lie around: --nominal");
            return std::nullopt;
        }
    }
    if (texts.sequential) {
        const std::optional<std::vector<double>> boundaries =
            ReadBoundaries(*texts.sequential, error);
        if (!boundaries) return std::nullopt;
        plan.mode = Sort::Mode::Sequential;
        plan.boundaries = *boundaries;
        plan.bins.clear();
    }
    if (texts.nominal && plan.mode == Sort::Mode::Sequential) {
        *error = QStringLiteral("--nominal does not go with sequential bins, whose boundaries are "
                                "values of their own");
        return std::nullopt;
    }
    if (texts.secondary) {
        const std::optional<SecondaryText> secondary = ReadSecondary(*texts.secondary, error);
        if (!secondary) return std::nullopt;
        plan.secondary = secondary->quantity;
        plan.secondaryLimits = secondary->limits;
    }
    if (texts.aux) plan.auxBin = true;
    if (texts.openOhms) {
        const std::optional<double> ohms = Sort::ParseSiNumber(*texts.openOhms);
        if (!ohms || *ohms <= 0.0) {
            *error = QStringLiteral("--open-ohms takes a resistance above 0 (10M, 500k), not "
                                    "\"%1\"")
                         .arg(*texts.openOhms);
            return std::nullopt;
        }
        request.detector.openOhms = *ohms;
    }
    if (texts.stablePolls) {
        bool ok = false;
        const int polls = texts.stablePolls->toInt(&ok);
        if (!ok || polls < 1 || polls > MostStablePolls) {
            *error = QStringLiteral("--stable-polls takes a whole number from 1 to %1, not \"%2\"")
                         .arg(MostStablePolls)
                         .arg(*texts.stablePolls);
            return std::nullopt;
        }
        request.detector.stablePolls = polls;
    }
    if (const std::optional<Sort::PlanProblem> problem = Sort::CheckPlan(plan)) {
        *error = QStringLiteral("the sorting plan cannot be used: %1")
                     .arg(Sort::PlanProblemText(*problem));
        return std::nullopt;
    }
    if (plan.empty()) {
        *error = QStringLiteral("nothing to sort by: give --bins, --sequential or limits in "
                                "--secondary, or a --plan FILE that has them");
        return std::nullopt;
    }
    return request;
}

} // namespace Cli
