// The test fixture between the meter and what sits in it, and what that is: the part, nothing,
// a shorting bar or a load standard. What the meter reads through the fixture, so that open,
// short and load compensation can be shown.
//
// The fixture's model: the leads (R + jwL) run from the meter to the fixture's contacts, and the
// stray across those contacts (G + jwC) lies in parallel with whatever sits in them:
//
//     Zm = Zlead + (Zx || Zstray),   Zlead = R + jwL,   Zstray = 1 / (G + jwC)
//
// So open contacts read Zlead + Zstray, shorted ones Zlead, and the usual open and short
// correction Zx = (Zm - Zs)(Zo - Zs) / (Zo - Zm) gives back the part exactly.
#pragma once

#include "sim/component.h"

#include <QString>

#include <optional>

namespace Sim {

struct Fixture {
    double resistance = 0.0;  // ohms, of the leads
    double inductance = 0.0;  // henries, of the leads
    double capacitance = 0.0; // farads, stray across the contacts
    double conductance = 0.0; // siemens, leakage across the contacts

    // All zero: the part sits on the meter's own terminals and is read as it is.
    bool isNone() const {
        return resistance == 0.0 && inductance == 0.0 && capacitance == 0.0 && conductance == 0.0;
    }
};

// What sits in the fixture's contacts.
enum class Terminals {
    Part,  // the component under test
    Open,  // nothing
    Short, // a shorting bar
    Load,  // the load standard
};

// What the meter reads through the fixture at frequencyHz when the contacts hold contact
// (nothing: open; a magnitude of OpenCircuitOhms also counts as open, 0 as a short). Without a
// fixture this is contact itself, or open terminals' OpenCircuitOhms at 0 rad.
Impedance measuredThrough(const Fixture &fixture, const std::optional<Impedance> &contact,
                          double frequencyHz);

// "R=0.5,L=50n,C=5p,G=1n": comma-separated R=, L=, C=, G= items, each at most once, values not
// negative with the suffixes of parseEngineeringValue; the missing ones are 0. An empty text is
// no fixture. On failure error receives a one-line reason.
std::optional<Fixture> parseFixture(const QString &description, QString *error = nullptr);

// "part", "open", "short" or "load", in any case and with blanks around it; nothing else.
std::optional<Terminals> parseTerminals(const QString &word);
QString terminalsName(Terminals terminals);

} // namespace Sim
