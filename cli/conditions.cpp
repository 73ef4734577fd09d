// Reading and checking the conditions of measure and sweep.
#include "cli/conditions.h"

#include "link/models.h"
#include "sweep/sweep_store.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Cli {

namespace {

// The meter's test-signal levels and its highest bias, in mV (the window's level list and the
// top of its bias list).
constexpr std::array<std::int32_t, 6> Levels{1000, 500, 100, 50, 10, 5};
constexpr std::int32_t HighestBias = 40000;
// The finest bias step of any model, in mV.
constexpr std::int32_t FinestBiasStep = 10;
// The bounds the window's START puts on a run.
constexpr std::int32_t SweepLowest = 25;
constexpr std::int32_t SweepHighest = 10000000;

std::optional<double> ReadNumber(const QString &text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

// value × scale as a whole number, when it is one (to a millionth of a unit).
std::optional<qint64> Whole(double value, double scale) {
    const double scaled = value * scale;
    const double rounded = std::round(scaled);
    if (std::fabs(scaled - rounded) > 1e-6 * std::max(1.0, std::fabs(rounded)) ||
        std::fabs(rounded) > 2147483647.0)
        return std::nullopt;
    return static_cast<qint64>(rounded);
}

// 1000 mV → "1", 5 mV → "0.005".
QString Volts(std::int32_t millivolts) {
    return QString::number(millivolts / 1000.0, 'g', 10);
}

QString HertzRange(int modelIndex) {
    return QStringLiteral("%1 to %2 Hz")
        .arg(Device::ModelLowestFrequency(modelIndex))
        .arg(Device::ModelHighestFrequency(modelIndex));
}

QString ModelText(int modelIndex) {
    const QString name = Device::ModelName(modelIndex);
    return name.isEmpty() ? QStringLiteral("this meter") : QStringLiteral("the ") + name;
}

} // namespace

std::optional<std::int32_t> ReadFrequency(const QString &option, const QString &text,
                                          QString *error) {
    const std::optional<double> value = ReadNumber(text);
    const std::optional<qint64> hz = value ? Whole(*value, 1.0) : std::nullopt;
    if (!hz || *hz <= 0) {
        *error = QStringLiteral("%1 needs a frequency in whole hertz, for example %1 1000, not "
                                "\"%2\"")
                     .arg(option, text);
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*hz);
}

std::optional<std::int32_t> ReadBias(const QString &text, QString *error) {
    const std::optional<double> value = ReadNumber(text);
    const std::optional<qint64> mv = value ? Whole(*value, 1000.0) : std::nullopt;
    if (!mv || *mv < 0 || *mv > HighestBias || *mv % FinestBiasStep != 0) {
        *error = QStringLiteral("--bias needs a voltage from 0 to %1 V in steps of %2 V, not "
                                "\"%3\"")
                     .arg(Volts(HighestBias), Volts(FinestBiasStep), text);
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*mv);
}

std::optional<std::int32_t> ReadLevel(const QString &text, QString *error) {
    const std::optional<double> value = ReadNumber(text);
    const std::optional<qint64> mv = value ? Whole(*value, 1000.0) : std::nullopt;
    for (std::int32_t level : Levels)
        if (mv && *mv == level) return level;
    QStringList allowed;
    for (std::int32_t level : Levels)
        allowed << Volts(level);
    *error = QStringLiteral("--level takes one of the meter's levels: %1 (V), not \"%2\"")
                 .arg(allowed.join(QStringLiteral(", ")), text);
    return std::nullopt;
}

std::optional<Speed> ReadSpeed(const QString &text, QString *error) {
    if (text == QLatin1String("normal")) return Speed::Normal;
    if (text == QLatin1String("fast")) return Speed::Fast;
    *error = QStringLiteral("--speed takes normal or fast, not \"%1\"").arg(text);
    return std::nullopt;
}

std::optional<int> ReadRange(const QString &text, QString *error) {
    if (text == QLatin1String("auto")) return AutoRangeChoice;
    const std::optional<double> ohms = ReadNumber(text);
    for (int index = 0; index < RangeCount; ++index)
        if (ohms && std::fabs(*ohms - RangeOhms[static_cast<std::size_t>(index)]) <=
                        1e-9 * RangeOhms[static_cast<std::size_t>(index)])
            return index;
    QStringList allowed{QStringLiteral("auto")};
    for (double range : RangeOhms)
        allowed << QString::number(range, 'g', 10);
    *error = QStringLiteral("--range takes auto or one of the meter's ranges in ohms: %1; not "
                            "\"%2\"")
                 .arg(allowed.join(QStringLiteral(", ")), text);
    return std::nullopt;
}

std::optional<Circuit> ReadCircuit(const QString &text, QString *error) {
    if (text == QLatin1String("series")) return Circuit::Series;
    if (text == QLatin1String("parallel")) return Circuit::Parallel;
    *error = QStringLiteral("--circuit takes series or parallel, not \"%1\"").arg(text);
    return std::nullopt;
}

std::optional<qint64> ReadCount(const QString &option, const QString &text, QString *error) {
    bool ok = false;
    const qint64 count = text.trimmed().toLongLong(&ok);
    if (!ok || count < 1) {
        *error =
            QStringLiteral("%1 needs a whole number of at least 1, not \"%2\"").arg(option, text);
        return std::nullopt;
    }
    return count;
}

std::optional<double> ReadSeconds(const QString &text, QString *error) {
    const std::optional<double> seconds = ReadNumber(text);
    // A year is more than any run needs, and keeps the milliseconds within range.
    if (!seconds || *seconds <= 0 || *seconds > 366.0 * 24 * 3600) {
        *error = QStringLiteral("--seconds needs a time in seconds above 0, not \"%1\"").arg(text);
        return std::nullopt;
    }
    return seconds;
}

QString CheckConditions(const Conditions &conditions, int modelIndex) {
    if (conditions.frequencyHz) {
        const std::int32_t hz = *conditions.frequencyHz;
        if (hz < Device::ModelLowestFrequency(modelIndex) ||
            hz > Device::ModelHighestFrequency(modelIndex))
            return QStringLiteral("--frequency %1: %2 measures from %3")
                .arg(hz)
                .arg(ModelText(modelIndex), HertzRange(modelIndex));
    }
    if (conditions.biasMillivolts) {
        const std::int32_t step = Device::BiasScale(modelIndex);
        if (*conditions.biasMillivolts % step != 0)
            return QStringLiteral("--bias %1: %2 takes a bias from 0 to %3 V in steps of %4 V")
                .arg(Volts(*conditions.biasMillivolts), ModelText(modelIndex), Volts(HighestBias),
                     Volts(step));
    }
    return QString();
}

QString ListFileProblemText(const Sweep::ListFile &list) {
    using Sweep::ListRefusal;
    QString reason;
    switch (list.refusal) {
    case ListRefusal::None:
        return QString();
    case ListRefusal::NotWhole:
        reason = QStringLiteral("not a whole number of hertz");
        break;
    case ListRefusal::OutOfRange:
        reason =
            QStringLiteral("a frequency outside %1 to %2 Hz").arg(SweepLowest).arg(SweepHighest);
        break;
    case ListRefusal::TooMany:
        reason = QStringLiteral("more than %1 frequencies").arg(Sweep::ListLongest);
        break;
    case ListRefusal::TooFew:
        reason = QStringLiteral("fewer than %1 frequencies").arg(Sweep::ListShortest);
        break;
    case ListRefusal::NoFile:
        reason = QStringLiteral("no such file");
        break;
    case ListRefusal::TooLarge:
        reason = QStringLiteral("larger than %1 KiB").arg(Sweep::ListFileLargest / 1024);
        break;
    case ListRefusal::Unreadable:
        reason = list.reason;
        break; // the system's own text
    case ListRefusal::NotChosen:
        reason = QStringLiteral("no file given");
        break;
    }
    return list.line > 0 ? QStringLiteral("line %1: %2").arg(list.line).arg(reason) : reason;
}

bool TakeListFile(SweepPlan *plan, QString *error) {
    const Sweep::ListFile list = Sweep::ReadFrequencyListFile(plan->listFile);
    if (!list.ok()) {
        *error = QStringLiteral("--list %1: %2").arg(plan->listFile, ListFileProblemText(list));
        return false;
    }
    plan->frequencies = list.frequencies;
    const auto [low, high] = std::minmax_element(list.frequencies.begin(), list.frequencies.end());
    plan->fromHz = *low;
    plan->toHz = *high;
    plan->points = static_cast<int>(list.frequencies.size());
    return true;
}

QString CheckSweep(const SweepPlan &plan, int modelIndex) {
    const std::int32_t lowest = std::max(SweepLowest, Device::ModelLowestFrequency(modelIndex));
    const std::int32_t highest = std::min(SweepHighest, Device::ModelHighestFrequency(modelIndex));
    if (!plan.listFile.isEmpty()) // its bounds are the file's, not options given
        for (std::int32_t hz : plan.frequencies)
            if (hz < lowest || hz > highest)
                return QStringLiteral("--list %1: %2 Hz is outside what %3 sweeps, %4 to %5 Hz")
                    .arg(plan.listFile)
                    .arg(hz)
                    .arg(ModelText(modelIndex))
                    .arg(lowest)
                    .arg(highest);
    const QString from =
        plan.frequencyMode ? QStringLiteral("--from") : QStringLiteral("--frequency");
    if (plan.fromHz < lowest || plan.fromHz > highest)
        return QStringLiteral("%1 %2: %3 sweeps from %4 to %5 Hz")
            .arg(from)
            .arg(plan.fromHz)
            .arg(ModelText(modelIndex))
            .arg(lowest)
            .arg(highest);
    if (plan.frequencyMode && (plan.toHz < plan.fromHz || plan.toHz > highest))
        return QStringLiteral("--to %1: the run ends from --from (%2) to %3 Hz")
            .arg(plan.toHz)
            .arg(plan.fromHz)
            .arg(highest);
    const QString points =
        plan.frequencyMode ? QStringLiteral("--points") : QStringLiteral("--samples");
    if (plan.points < Main::SweepPointsLeast || plan.points > Main::SweepCapacity)
        return QStringLiteral("%1 %2: a run has %3 to %4 points")
            .arg(points)
            .arg(plan.points)
            .arg(Main::SweepPointsLeast)
            .arg(Main::SweepCapacity);
    return QString();
}

} // namespace Cli
