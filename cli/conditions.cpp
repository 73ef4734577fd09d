// Reading and checking the conditions of measure and sweep.
#include "cli/conditions.h"

#include "link/capabilities.h"
#include "link/models.h"
#include "sweep/sweep_store.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Cli {

namespace {

using Device::Refusal;

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

QString HertzRange(const Device::Capabilities &model) {
    return QStringLiteral("%1 to %2 Hz").arg(model.lowestHz).arg(model.highestHz);
}

// What the options can take before the model is known: what some model takes.
const Device::Capabilities &AnyModel() {
    static const Device::Capabilities any = Device::AnyModelCapabilities();
    return any;
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
    if (!mv || Device::CheckBias(AnyModel(), static_cast<std::int32_t>(*mv))) {
        *error = QStringLiteral("--bias needs a voltage from 0 to %1 V in steps of %2 V, not "
                                "\"%3\"")
                     .arg(Volts(AnyModel().highestBiasMillivolts),
                          Volts(AnyModel().biasStepMillivolts), text);
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*mv);
}

std::optional<std::int32_t> ReadLevel(const QString &text, QString *error) {
    const std::optional<double> value = ReadNumber(text);
    const std::optional<qint64> mv = value ? Whole(*value, 1000.0) : std::nullopt;
    if (mv && !Device::CheckLevel(AnyModel(), static_cast<std::int32_t>(*mv)))
        return static_cast<std::int32_t>(*mv);
    QStringList allowed;
    for (std::int32_t level : AnyModel().levelsMillivolts)
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
    if (ohms)
        if (const std::optional<int> index = Device::RangeIndexOf(AnyModel(), *ohms)) return index;
    QStringList allowed{QStringLiteral("auto")};
    for (double range : AnyModel().rangeOhms)
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
    const Device::Capabilities model = Device::CapabilitiesOf(modelIndex);
    if (conditions.frequencyHz && Device::CheckFrequency(model, *conditions.frequencyHz))
        return QStringLiteral("--frequency %1: %2 measures from %3")
            .arg(*conditions.frequencyHz)
            .arg(ModelText(modelIndex), HertzRange(model));
    if (conditions.biasMillivolts && Device::CheckBias(model, *conditions.biasMillivolts))
        return QStringLiteral("--bias %1: %2 takes a bias from 0 to %3 V in steps of %4 V")
            .arg(Volts(*conditions.biasMillivolts), ModelText(modelIndex),
                 Volts(model.highestBiasMillivolts), Volts(model.biasStepMillivolts));
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
        reason = QStringLiteral("a frequency outside %1 to %2 Hz")
                     .arg(Device::SweepLowestHz)
                     .arg(Device::SweepHighestHz);
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

Sweep::Request SweepRequest(const SweepPlan &plan) {
    Sweep::Request request;
    request.quantity = Sweep::Quantity::Frequency;
    if (!plan.listFile.isEmpty()) { // its bounds are the file's, not options given
        request.spacing = Sweep::Spacing::List;
        request.list = plan.frequencies;
        return request;
    }
    request.spacing = plan.spacing;
    request.start = plan.fromHz;
    request.stop = plan.frequencyMode ? plan.toHz : plan.fromHz;
    request.points = plan.points;
    return request;
}

QString CheckSweep(const SweepPlan &plan, int modelIndex) {
    const Device::Capabilities model = Device::CapabilitiesOf(modelIndex);
    Sweep::Plan planned = Sweep::PlanRun(SweepRequest(plan), model);
    if (!plan.listFile.isEmpty() && !planned.ok() &&
        planned.refusal->subject != Refusal::Subject::SweepList) {
        // A list that is no run at all: its bounds and length are what the options would be.
        SweepPlan bounds = plan;
        bounds.listFile.clear();
        planned = Sweep::PlanRun(SweepRequest(bounds), model);
    }
    if (planned.ok()) return QString();
    const Refusal &refusal = *planned.refusal;
    const qint64 value = static_cast<qint64>(refusal.value);
    switch (refusal.subject) {
    case Refusal::Subject::SweepList:
        return QStringLiteral("--list %1: %2 Hz is outside what %3 sweeps, %4 to %5 Hz")
            .arg(plan.listFile)
            .arg(value)
            .arg(ModelText(modelIndex))
            .arg(model.sweepLowestHz)
            .arg(model.sweepHighestHz);
    case Refusal::Subject::SweepStart:
        return QStringLiteral("%1 %2: %3 sweeps from %4 to %5 Hz")
            .arg(plan.frequencyMode ? QStringLiteral("--from") : QStringLiteral("--frequency"))
            .arg(value)
            .arg(ModelText(modelIndex))
            .arg(model.sweepLowestHz)
            .arg(model.sweepHighestHz);
    case Refusal::Subject::SweepStop:
        return QStringLiteral("--to %1: the run ends from --from (%2) to %3 Hz")
            .arg(value)
            .arg(plan.fromHz)
            .arg(model.sweepHighestHz);
    default: // the number of points, of a list run too
        return QStringLiteral("%1 %2: a run has %3 to %4 points")
            .arg(plan.frequencyMode ? QStringLiteral("--points") : QStringLiteral("--samples"))
            .arg(value)
            .arg(Main::SweepPointsLeast)
            .arg(Main::SweepCapacity);
    }
}

} // namespace Cli
