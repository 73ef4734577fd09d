// Reading and wording the runs over the DC bias or the test level.
#include "cli/quantity_run.h"

#include "link/capabilities.h"
#include "link/models.h"
#include "sweep/sweep_store.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace Cli {

namespace {

using Device::Refusal;

constexpr double LargestVolts = 1e6; // far beyond any source; keeps millivolts in range

// Volts as typed to whole millivolts; for a level (exact) only a whole number of them.
std::optional<std::int32_t> Millivolts(const QString &text, bool exact) {
    bool ok = false;
    const double volts = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(volts) || std::fabs(volts) > LargestVolts) return std::nullopt;
    const double mv = volts * 1000.0;
    const double whole = std::round(mv);
    if (exact && std::fabs(mv - whole) > 1e-6 * std::max(1.0, std::fabs(whole)))
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

// 12300 mV → "12.3".
QString Volts(double millivolts) {
    return QString::number(millivolts / 1000.0, 'g', 10);
}

QString ModelText(int modelIndex) {
    const QString name = Device::ModelName(modelIndex);
    return name.isEmpty() ? QStringLiteral("this meter") : QStringLiteral("the ") + name;
}

QString LevelsText(const Device::Capabilities &model) {
    QStringList levels;
    for (const std::int32_t mv : model.levelsMillivolts)
        levels << Volts(mv);
    return levels.join(QStringLiteral(", ")) + QStringLiteral(" V");
}

QString BiasSourceText(const Device::Capabilities &model, int modelIndex) {
    return QStringLiteral("%1's bias source: %2 to %3 V in steps of %4 V")
        .arg(ModelText(modelIndex), Volts(model.lowestBiasMillivolts),
             Volts(model.highestBiasMillivolts), Volts(model.biasStepMillivolts));
}

} // namespace

const QStringList &QuantityRunOptions() {
    static const QStringList options{QStringLiteral("bias"), QStringLiteral("bias-list"),
                                     QStringLiteral("level-list")};
    return options;
}

const QStringList &FrequencyRunOptions() {
    static const QStringList options{QStringLiteral("from"),   QStringLiteral("to"),
                                     QStringLiteral("points"), QStringLiteral("spacing"),
                                     QStringLiteral("list"),   QStringLiteral("samples")};
    return options;
}

std::optional<QuantityRunPlan> ReadBiasRange(const QString &text, QString *error) {
    const QStringList parts = text.split(QLatin1Char(':'));
    std::optional<std::int32_t> from;
    std::optional<std::int32_t> to;
    bool counted = false;
    int points = 0;
    if (parts.size() == 3) {
        from = Millivolts(parts.at(0), false);
        to = Millivolts(parts.at(1), false);
        const qint64 count = parts.at(2).trimmed().toLongLong(&counted);
        counted = counted && count >= 0;
        points = static_cast<int>(std::min<qint64>(count, 1 << 20)); // the planner says how many
    }
    if (!from || !to || !counted) {
        *error = QStringLiteral("--bias needs FROM:TO:POINTS, volts and a number of points, for "
                                "example --bias 0:40:41, not \"%1\"")
                     .arg(text);
        return std::nullopt;
    }
    QuantityRunPlan plan;
    plan.quantity = Sweep::Quantity::Bias;
    plan.option = QStringLiteral("--bias");
    plan.text = text;
    plan.start = *from;
    plan.stop = *to;
    plan.points = points;
    return plan;
}

std::optional<QuantityRunPlan> ReadVoltList(const QString &option, const QString &text,
                                            QString *error) {
    QuantityRunPlan plan;
    const bool level = option == QLatin1String("--level-list");
    plan.quantity = level ? Sweep::Quantity::Level : Sweep::Quantity::Bias;
    plan.option = option;
    plan.text = text;
    const QStringList entries = text.split(QLatin1Char(','));
    for (int i = 0; i < entries.size(); ++i) {
        const std::optional<std::int32_t> mv = Millivolts(entries.at(i), level);
        if (!mv) {
            *error =
                QStringLiteral("%1 needs volts separated by commas, for example %1 %2; "
                               "entry %3 is \"%4\"")
                    .arg(option, level ? QStringLiteral("1,0.1,0.01") : QStringLiteral("0,2.5,5"))
                    .arg(i + 1)
                    .arg(entries.at(i));
            return std::nullopt;
        }
        plan.list.push_back(*mv);
    }
    return plan;
}

Sweep::Request QuantityRequest(const QuantityRunPlan &plan) {
    Sweep::Request request;
    request.quantity = plan.quantity;
    if (plan.option == QLatin1String("--bias")) {
        request.spacing = Sweep::Spacing::Linear;
        request.start = plan.start;
        request.stop = plan.stop;
        request.points = plan.points;
    } else {
        request.spacing = Sweep::Spacing::List;
        request.list = plan.list;
    }
    return request;
}

QString QuantityRefusalText(const QuantityRunPlan &plan, const Refusal &refusal, int modelIndex) {
    const Device::Capabilities model = Device::CapabilitiesOf(modelIndex);
    const QString head = QStringLiteral("%1 %2: ").arg(plan.option, plan.text);
    switch (refusal.subject) {
    case Refusal::Subject::SweepStart:
    case Refusal::Subject::SweepStop:
        return head + QStringLiteral("%1 V is outside %2")
                          .arg(Volts(refusal.value), BiasSourceText(model, modelIndex));
    case Refusal::Subject::SweepList:
        if (plan.quantity == Sweep::Quantity::Level)
            return head + QStringLiteral("entry %1, %2 V, is not one of %3's levels: %4")
                              .arg(refusal.index + 1)
                              .arg(Volts(refusal.value), ModelText(modelIndex), LevelsText(model));
        return head + QStringLiteral("entry %1, %2 V, is outside %3")
                          .arg(refusal.index + 1)
                          .arg(Volts(refusal.value), BiasSourceText(model, modelIndex));
    case Refusal::Subject::SweepPoints:
        return head + QStringLiteral("a run has %1 to %2 points, not %3")
                          .arg(Main::SweepPointsLeast)
                          .arg(Main::SweepCapacity)
                          .arg(static_cast<qint64>(refusal.value));
    default:
        return head + QStringLiteral("%1 cannot run it").arg(ModelText(modelIndex));
    }
}

QString CheckQuantityRun(const QuantityRunPlan &plan, int modelIndex) {
    const Sweep::Plan planned =
        Sweep::PlanRun(QuantityRequest(plan), Device::CapabilitiesOf(modelIndex));
    return planned.ok() ? QString() : QuantityRefusalText(plan, *planned.refusal, modelIndex);
}

QString RunAnswerText(const Core::Session::RunAnswer &answer, const QuantityRunPlan &plan,
                      int modelIndex) {
    using Core::Session;
    switch (answer.refused) {
    case Session::RunRefusal::None:
        return QString();
    case Session::RunRefusal::RunGoing:
        return QStringLiteral("%1: another run is going on the meter").arg(plan.option);
    case Session::RunRefusal::NoMeter:
        return QStringLiteral("%1: no meter to run on (none found, or no reading came from it)")
            .arg(plan.option);
    case Session::RunRefusal::ExternalBias:
        return QStringLiteral("%1: the meter's external bias source is selected; a bias run "
                              "needs the internal one")
            .arg(plan.option);
    case Session::RunRefusal::Planner:
        break;
    }
    return answer.verdict ? QuantityRefusalText(plan, *answer.verdict, modelIndex)
                          : QStringLiteral("%1 %2: %3 cannot run it")
                                .arg(plan.option, plan.text, ModelText(modelIndex));
}

QString BiasLeftText(std::int32_t targetMillivolts, std::int32_t leftMillivolts, bool lineLost) {
    return QStringLiteral("the bias could not be set back to %1 V: %2; the part may still be "
                          "charged to %3 V")
        .arg(Volts(targetMillivolts),
             lineLost ? QStringLiteral("the line to the meter is lost")
                      : QStringLiteral("the meter did not answer"),
             Volts(leftMillivolts));
}

} // namespace Cli
