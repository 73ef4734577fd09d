// The batch's text form and the drawing of its parts' values.
#include "sim/batch_plan.h"

#include <QRandomGenerator>
#include <QStringList>

#include <limits>
#include <random>

namespace Sim {

namespace {

constexpr int MostParts = 1000000;
constexpr qint64 MostDuration = 3600000; // an hour in milliseconds, or as many requests
constexpr double MostSpreadPercent = 30.0;
constexpr int MostDraws = 100; // per part, against a spread that keeps drawing values below 0

std::optional<BatchPlan> failWith(const QString &why, QString *error) {
    if (error) *error = QStringLiteral("batch: %1").arg(why);
    return std::nullopt;
}

struct Duration {
    qint64 amount = 0;
    BatchClock clock = BatchClock::Milliseconds;
};

// "400", "400ms" or "10r".
std::optional<Duration> parseDuration(const QString &text) {
    QString number = text.trimmed().toLower();
    Duration duration;
    if (number.endsWith(QLatin1String("ms"))) {
        number.chop(2);
    } else if (number.endsWith(QLatin1Char('r'))) {
        number.chop(1);
        duration.clock = BatchClock::Requests;
    }
    bool ok = false;
    duration.amount = number.trimmed().toLongLong(&ok);
    if (!ok || duration.amount < 0 || duration.amount > MostDuration) return std::nullopt;
    return duration;
}

std::optional<qint64> parseWhole(const QString &text, qint64 lowest, qint64 highest) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < lowest || value > highest) return std::nullopt;
    return value;
}

// What the fields have given so far, before the defaults and the checks across fields.
struct Fields {
    std::optional<Component> part;
    std::optional<int> count;
    std::optional<QList<double>> values;
    std::optional<double> spread;
    std::optional<Duration> sit, gap, bounce;
    std::optional<quint32> seed;
};

// One "name=value" setting into fields; false with why when the value does not fit.
bool readSetting(const QString &name, const QString &value, Fields *fields, QString *why) {
    if (name == QLatin1String("count")) {
        const auto count = parseWhole(value, 1, MostParts);
        if (!count) {
            *why = QStringLiteral("count needs a whole number from 1 to %1, not '%2'")
                       .arg(MostParts)
                       .arg(value);
            return false;
        }
        fields->count = int(*count);
    } else if (name == QLatin1String("values")) {
        QList<double> values;
        for (const QString &item : value.split(QLatin1Char(','))) {
            const std::optional<double> v = parseEngineeringValue(item);
            if (!v || !(*v > 0.0)) {
                *why = QStringLiteral("values needs numbers above 0 with an optional suffix p n "
                                      "u mk m k M G, not '%1'")
                           .arg(item.trimmed());
                return false;
            }
            values << *v;
        }
        if (values.size() > MostParts) {
            *why = QStringLiteral("values holds more than %1 parts").arg(MostParts);
            return false;
        }
        fields->values = values;
    } else if (name == QLatin1String("spread")) {
        QString number = value.trimmed();
        if (number.endsWith(QLatin1Char('%'))) number.chop(1);
        bool ok = false;
        const double spread = number.toDouble(&ok);
        if (!ok || !(spread >= 0.0 && spread <= MostSpreadPercent)) {
            *why = QStringLiteral("spread needs a percentage from 0 to %1, not '%2'")
                       .arg(MostSpreadPercent)
                       .arg(value);
            return false;
        }
        fields->spread = spread;
    } else if (name == QLatin1String("seed")) {
        const auto seed = parseWhole(value, 0, std::numeric_limits<quint32>::max());
        if (!seed) {
            *why = QStringLiteral("seed needs a whole number, not '%1'").arg(value);
            return false;
        }
        fields->seed = quint32(*seed);
    } else {
        std::optional<Duration> *slot = name == QLatin1String("sit")   ? &fields->sit
                                        : name == QLatin1String("gap") ? &fields->gap
                                                                       : &fields->bounce;
        *slot = parseDuration(value);
        if (!*slot) {
            *why = QStringLiteral("%1 needs milliseconds (400 or 400ms) or measurement requests "
                                  "(10r) from 0 to %2, not '%3'")
                       .arg(name)
                       .arg(MostDuration)
                       .arg(value);
            return false;
        }
    }
    return true;
}

bool isSetting(const QString &name) {
    for (const char *setting : {"count", "values", "spread", "seed", "sit", "gap", "bounce"}) {
        if (name == QLatin1String(setting)) return true;
    }
    return false;
}

// The durations in one unit, with the defaults of that unit, into plan.
bool readDurations(const Fields &fields, BatchPlan *plan, QString *why) {
    std::optional<BatchClock> clock;
    for (const std::optional<Duration> &d : {fields.sit, fields.gap, fields.bounce}) {
        if (!d) continue;
        if (clock && *clock != d->clock) {
            *why = QStringLiteral("sit, gap and bounce must all be milliseconds or all requests "
                                  "(r)");
            return false;
        }
        clock = d->clock;
    }
    plan->clock = clock.value_or(BatchClock::Milliseconds);
    const bool requests = plan->clock == BatchClock::Requests;
    plan->sit = fields.sit ? fields.sit->amount : requests ? 10 : 400;
    plan->gap = fields.gap ? fields.gap->amount : requests ? 5 : 200;
    plan->bounce = fields.bounce ? fields.bounce->amount : 0;
    if (plan->sit < 1) {
        *why = QStringLiteral("sit needs at least 1");
        return false;
    }
    if (plan->bounce >= plan->sit) {
        *why = QStringLiteral("bounce must be shorter than sit");
        return false;
    }
    return true;
}

} // namespace

std::optional<BatchElement> variedElement(const Component &part) {
    if (part.capacitance) return BatchElement::Capacitance;
    if (part.inductance) return BatchElement::Inductance;
    if (part.resistance) return BatchElement::Resistance;
    return std::nullopt;
}

QString elementName(BatchElement element) {
    switch (element) {
    case BatchElement::Capacitance:
        return QStringLiteral("C");
    case BatchElement::Inductance:
        return QStringLiteral("L");
    case BatchElement::Resistance:
        return QStringLiteral("R");
    }
    return {};
}

double elementValue(const Component &part, BatchElement element) {
    switch (element) {
    case BatchElement::Capacitance:
        return part.capacitance.value_or(0.0);
    case BatchElement::Inductance:
        return part.inductance.value_or(0.0);
    case BatchElement::Resistance:
        return part.resistance.value_or(0.0);
    }
    return 0.0;
}

void setElementValue(Component *part, BatchElement element, double value) {
    switch (element) {
    case BatchElement::Capacitance:
        part->capacitance = value;
        break;
    case BatchElement::Inductance:
        part->inductance = value;
        break;
    case BatchElement::Resistance:
        part->resistance = value;
        break;
    }
}

QList<double> drawBatchValues(const BatchPlan &plan) {
    if (!plan.values.isEmpty()) return plan.values;
    const std::optional<BatchElement> element = variedElement(plan.part);
    if (!element) return {};
    const double base = elementValue(plan.part, *element);
    QRandomGenerator random(plan.seed);
    std::normal_distribution<double> gauss(0.0, plan.spreadPercent / 100.0);
    QList<double> values;
    values.reserve(plan.count);
    for (int i = 0; i < plan.count; ++i) {
        double value = base;
        if (plan.spreadPercent > 0.0) {
            for (int draw = 0; draw < MostDraws; ++draw) {
                value = base * (1.0 + gauss(random));
                if (value > 0.0) break;
                value = base;
            }
        }
        values << value;
    }
    return values;
}

std::optional<BatchPlan> parseBatchPlan(const QString &text, QString *error) {
    Fields fields;
    QString why;
    for (const QString &rawField : text.split(QLatin1Char(';'))) {
        const QString field = rawField.trimmed();
        if (field.isEmpty()) continue;
        const int eq = field.indexOf(QLatin1Char('='));
        const QString name = field.left(eq).trimmed().toLower();
        if (eq > 0 && isSetting(name)) {
            if (!readSetting(name, field.mid(eq + 1), &fields, &why)) return failWith(why, error);
            continue;
        }
        if (fields.part)
            return failWith(QStringLiteral("'%1' is a second part or no setting (count, values, "
                                           "spread, seed, sit, gap, bounce)")
                                .arg(field),
                            error);
        fields.part = parseComponent(field, &why);
        if (!fields.part) return failWith(why, error);
    }

    BatchPlan plan;
    if (!fields.part) return failWith(QStringLiteral("no part, e.g. C=100n,R=0.5"), error);
    plan.part = *fields.part;
    if (!variedElement(plan.part))
        return failWith(QStringLiteral("the part needs C, L or R to vary"), error);
    if (fields.values) {
        if (fields.count || fields.spread)
            return failWith(QStringLiteral("values gives the parts; leave out count and spread"),
                            error);
        plan.values = *fields.values;
        plan.count = int(plan.values.size());
    } else if (fields.count) {
        plan.count = *fields.count;
    } else {
        return failWith(QStringLiteral("count= or values= says how many parts"), error);
    }
    plan.spreadPercent = fields.spread.value_or(0.0);
    if (plan.spreadPercent > 0.0 && !(elementValue(plan.part, *variedElement(plan.part)) > 0.0))
        return failWith(QStringLiteral("a spread needs a value above 0 to spread around"), error);
    plan.seed = fields.seed.value_or(1);
    if (!readDurations(fields, &plan, &why)) return failWith(why, error);
    return plan;
}

} // namespace Sim
