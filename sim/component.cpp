// Impedance of a series or parallel R, L, C network, its capacitance under bias and level, and the
// parser of its text description.
#include "sim/component.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <complex>

namespace Sim {

namespace {

using Complex = std::complex<double>;

constexpr double Pi = 3.14159265358979323846;

Impedance seriesImpedance(const Component &c, double omega) {
    if (!c.resistance && !c.inductance && !c.capacitance) return {OpenCircuitOhms, 0.0};
    Complex z;
    if (c.resistance) z += *c.resistance;
    if (c.inductance) z += Complex(0.0, omega * *c.inductance);
    if (c.capacitance) {
        const double susceptance = omega * *c.capacitance;
        if (susceptance == 0.0) // a capacitor that passes nothing opens the chain
            return {OpenCircuitOhms, 0.0};
        z += Complex(0.0, -1.0 / susceptance);
    }
    return fromComplex(z);
}

Impedance parallelImpedance(const Component &c, double omega) {
    Complex y;
    if (c.resistance) {
        if (*c.resistance == 0.0) return {0.0, 0.0};
        y += 1.0 / *c.resistance;
    }
    if (c.inductance) {
        const double reactance = omega * *c.inductance;
        if (reactance == 0.0) // an inductor at DC, or of 0 H, shorts the network
            return {0.0, 0.0};
        y += Complex(0.0, -1.0 / reactance);
    }
    if (c.capacitance) y += Complex(0.0, omega * *c.capacitance);
    if (std::abs(y) * OpenCircuitOhms <= 1.0) return {OpenCircuitOhms, 0.0};
    return fromComplex(1.0 / y);
}

// R + jwL + 1/(jwC) of the elements present; nothing when the chain is open (no element, or a
// capacitor that passes nothing).
std::optional<Complex> chain(const std::optional<double> &r, const std::optional<double> &l,
                             const std::optional<double> &c, double omega) {
    if (!r && !l && !c) return std::nullopt;
    Complex z;
    if (r) z += *r;
    if (l) z += Complex(0.0, omega * *l);
    if (c) {
        const double susceptance = omega * *c;
        if (susceptance == 0.0) return std::nullopt;
        z += Complex(0.0, -1.0 / susceptance);
    }
    return z;
}

// An arm (open when absent) in parallel with a capacitor (none when absent).
Impedance shunted(const std::optional<Complex> &arm, const std::optional<double> &shunt,
                  double omega) {
    Complex y;
    if (arm) {
        if (*arm == Complex()) return {0.0, 0.0};
        y += 1.0 / *arm;
    }
    if (shunt) y += Complex(0.0, omega * *shunt);
    if (std::abs(y) * OpenCircuitOhms <= 1.0) return {OpenCircuitOhms, 0.0};
    return fromComplex(1.0 / y);
}

struct Suffix {
    const char *text;
    double factor;
};

// Longest first, so that "mk" is not read as "m".
constexpr Suffix Suffixes[] = {
    {"mk", 1e-6}, {"p", 1e-12}, {"n", 1e-9}, {"u", 1e-6}, {"\u00b5", 1e-6},
    {"m", 1e-3},  {"k", 1e3},   {"M", 1e6},  {"G", 1e9},
};

} // namespace

double capacitanceAt(double farads, std::optional<double> halvingBiasVolts,
                     std::optional<double> levelCoefficient, double biasVolts, double levelVolts) {
    double c = farads;
    if (halvingBiasVolts) {
        const double ratio = biasVolts / *halvingBiasVolts;
        c /= 1.0 + ratio * ratio;
    }
    if (levelCoefficient) c *= std::max(0.0, 1.0 + *levelCoefficient * (levelVolts - 1.0));
    return c;
}

Impedance impedanceAt(const Component &component, double frequencyHz, double biasVolts,
                      double levelVolts) {
    const double omega = 2.0 * Pi * frequencyHz;
    Component c = component;
    if (c.capacitance)
        c.capacitance = capacitanceAt(*c.capacitance, c.halvingBiasVolts, c.levelCoefficient,
                                      biasVolts, levelVolts);
    switch (c.network) {
    case Network::Inductor:
        return shunted(chain(c.resistance, c.inductance, std::nullopt, omega), c.capacitance,
                       omega);
    case Network::Resonator:
        return shunted(chain(c.resistance, c.inductance, c.capacitance, omega), c.shuntCapacitance,
                       omega);
    case Network::Plain:
        break;
    }
    return c.parallel ? parallelImpedance(c, omega) : seriesImpedance(c, omega);
}

Impedance fromComplex(const Complex &z) {
    const double magnitude = std::abs(z);
    if (!(magnitude < OpenCircuitOhms)) return {OpenCircuitOhms, 0.0};
    return {magnitude, std::atan2(z.imag(), z.real())};
}

std::optional<double> parseEngineeringValue(const QString &text) {
    QString number = text.trimmed();
    double factor = 1.0;
    for (const Suffix &suffix : Suffixes) {
        const QString s = QString::fromUtf8(suffix.text);
        if (number.endsWith(s)) {
            number.chop(s.size());
            factor = suffix.factor;
            break;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok); // C locale: the point is the separator
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value * factor;
}

std::optional<Component> parseComponent(const QString &description, QString *error) {
    auto fail = [error](const QString &why) -> std::optional<Component> {
        if (error) *error = why;
        return std::nullopt;
    };
    Component component;
    if (description.trimmed().isEmpty()) return component;
    for (const QString &rawItem : description.split(QLatin1Char(','))) {
        const QString item = rawItem.trimmed();
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            return fail(
                QStringLiteral("DUT item '%1' is not of the form R=, L=, C=, C0=, V0= or KL=")
                    .arg(item));
        const QString name = item.left(eq).trimmed().toUpper();
        std::optional<double> *slot = nullptr;
        if (name == QLatin1String("R"))
            slot = &component.resistance;
        else if (name == QLatin1String("L"))
            slot = &component.inductance;
        else if (name == QLatin1String("C"))
            slot = &component.capacitance;
        else if (name == QLatin1String("C0"))
            slot = &component.shuntCapacitance;
        else if (name == QLatin1String("V0"))
            slot = &component.halvingBiasVolts;
        else if (name == QLatin1String("KL"))
            slot = &component.levelCoefficient;
        else
            return fail(
                QStringLiteral("DUT item '%1': element must be R, L, C, C0, V0 or KL").arg(item));
        if (slot->has_value()) return fail(QStringLiteral("DUT element %1 given twice").arg(name));
        const std::optional<double> value = parseEngineeringValue(item.mid(eq + 1));
        if (slot == &component.halvingBiasVolts) {
            if (!value || !(*value > 0.0))
                return fail(QStringLiteral("DUT item '%1': V0 must be the volts of bias that "
                                           "halve C, a number above 0")
                                .arg(item));
        } else if (slot == &component.levelCoefficient) {
            if (!value || std::abs(*value) > 1.0)
                return fail(QStringLiteral("DUT item '%1': KL must be the change of C per volt "
                                           "of level, a fraction from -1 to 1")
                                .arg(item));
        } else if (!value || *value < 0.0) {
            return fail(QStringLiteral("DUT item '%1': value must be a number >= 0 with an "
                                       "optional suffix p n u mk m k M G")
                            .arg(item));
        }
        *slot = value;
    }
    if ((component.halvingBiasVolts || component.levelCoefficient) && !component.capacitance)
        return fail(QStringLiteral("DUT items V0 and KL act on C; give C too"));
    return component;
}

} // namespace Sim
