// A fixture's compensation data: what it read open, shorted and with a load standard, over
// frequency, the standard's true value and which corrections are on; and a reading corrected
// by them. The open's admittance and the short's and load's impedance are interpolated linearly
// in log f (the real part, and the imaginary part over ω, so that a lead's inductance and a stray
// capacitance come out exactly between the points); nothing is extrapolated.
#pragma once

#include "compensation/correction.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace Comp {

// A standard of known value as a user gives it: R + X, or C + D (series), or L + Q (series).
struct LoadStandard {
    enum class Form { ResistanceReactance, CapacitanceD, InductanceQ };
    Form form = Form::ResistanceReactance;
    double first = 0.0;  // R (ohm), C (F) or L (H)
    double second = 0.0; // X (ohm), D or Q
    // A standard of zero impedance, a Q of zero or a value that is not finite is no standard.
    bool valid() const;
    Complex At(double hz) const;
};

// One kind's readings, frequencies rising.
struct Trace {
    std::vector<double> hz;
    std::vector<Complex> z;
    bool empty() const { return hz.empty(); }
    // Keeps frequencies rising: a reading at a frequency already held replaces it.
    void Put(double frequency, Complex impedance);
};

struct Corrected {
    Complex z;                       // the reading, corrected by `applied`
    unsigned applied = NoCorrection; // what was applied
    bool outside = false;            // an enabled kind has no data at this frequency
};

struct Compensation {
    QString model;   // the model the data were measured on
    QString fixture; // the user's name for the fixture
    QDateTime saved;
    Trace open;
    Trace shorted;
    Trace load;
    LoadStandard standard;
    unsigned enabled = NoCorrection; // the kinds the user has switched on
    // The kinds switched on whose data exist (load only with open and short and a standard).
    unsigned Usable() const;
    // The reading corrected by the kinds that are on at hz. When any of them has no data there
    // (the frequency lies outside its span, or a spot reading was taken elsewhere) the reading
    // is given as measured, marked outside: a correction is never extrapolated.
    Corrected Apply(double hz, Complex measured) const;
};

// A trace's value at hz: impedance interpolated (ImpedanceAt) or the open's admittance
// interpolated and turned back (OpenAt). A one-point trace has a value only at its frequency.
std::optional<Complex> ImpedanceAt(const Trace &trace, double hz);
std::optional<Complex> OpenAt(const Trace &trace, double hz);

// The frequencies a grid compensation measures within low…high: ten a decade from 10 Hz, and the
// ends, rising.
std::vector<double> StandardGrid(double low, double high);

} // namespace Comp
