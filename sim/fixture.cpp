// Readings through the test fixture, and the text forms of the fixture and of the terminals.
#include "sim/fixture.h"

#include <QStringList>

#include <cmath>
#include <complex>
#include <iterator>

namespace Sim {

namespace {

using Complex = std::complex<double>;

constexpr double Pi = 3.14159265358979323846;

constexpr const char *TerminalsNames[] = {"part", "open", "short", "load"};

} // namespace

Impedance measuredThrough(const Fixture &fixture, const std::optional<Impedance> &contact,
                          double frequencyHz) {
    const Impedance open{OpenCircuitOhms, 0.0};
    if (fixture.isNone()) return contact.value_or(open);

    const double omega = 2.0 * Pi * frequencyHz;
    const Complex lead(fixture.resistance, omega * fixture.inductance);
    Complex across(fixture.conductance, omega * fixture.capacitance); // admittance at the contacts
    if (contact && contact->magnitude < OpenCircuitOhms) {
        if (contact->magnitude == 0.0) return fromComplex(lead);
        across += 1.0 / std::polar(contact->magnitude, contact->theta);
    }
    if (std::abs(across) * OpenCircuitOhms <= 1.0) return open; // no stray and nothing in it
    return fromComplex(lead + 1.0 / across);
}

std::optional<Fixture> parseFixture(const QString &description, QString *error) {
    auto fail = [error](const QString &why) -> std::optional<Fixture> {
        if (error) *error = why;
        return std::nullopt;
    };
    Fixture fixture;
    if (description.trimmed().isEmpty()) return fixture;
    QStringList seen;
    for (const QString &rawItem : description.split(QLatin1Char(','))) {
        const QString item = rawItem.trimmed();
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq < 0)
            return fail(
                QStringLiteral("fixture item '%1' is not of the form R=, L=, C= or G=").arg(item));
        const QString name = item.left(eq).trimmed().toUpper();
        double *slot = nullptr;
        if (name == QLatin1String("R"))
            slot = &fixture.resistance;
        else if (name == QLatin1String("L"))
            slot = &fixture.inductance;
        else if (name == QLatin1String("C"))
            slot = &fixture.capacitance;
        else if (name == QLatin1String("G"))
            slot = &fixture.conductance;
        else
            return fail(
                QStringLiteral("fixture item '%1': element must be R, L, C or G").arg(item));
        if (seen.contains(name))
            return fail(QStringLiteral("fixture element %1 given twice").arg(name));
        seen << name;
        const std::optional<double> value = parseEngineeringValue(item.mid(eq + 1));
        if (!value || *value < 0.0)
            return fail(QStringLiteral("fixture item '%1': value must be a number >= 0 with an "
                                       "optional suffix p n u mk m k M G")
                            .arg(item));
        *slot = *value;
    }
    return fixture;
}

std::optional<Terminals> parseTerminals(const QString &word) {
    const QString wanted = word.trimmed().toLower();
    for (int i = 0; i < int(std::size(TerminalsNames)); ++i) {
        if (wanted == QLatin1String(TerminalsNames[i])) return static_cast<Terminals>(i);
    }
    return std::nullopt;
}

QString terminalsName(Terminals terminals) {
    return QLatin1String(TerminalsNames[int(terminals)]);
}

} // namespace Sim
