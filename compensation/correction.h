// Open, short and load correction of a measured impedance: the fixture's leads (in series) and
// its stray (in parallel) taken out of a reading, from what the fixture read open, shorted and
// with a standard of known value on it. Pure arithmetic on complex impedances.
#pragma once

#include <QString>

#include <complex>

namespace Comp {

using Complex = std::complex<double>;

// Which corrections are applied, as flags.
enum Kind : unsigned {
    NoCorrection = 0,
    OpenCorrection = 1,
    ShortCorrection = 2,
    LoadCorrection = 4,
};

// The corrections a reading had, as data files and the command line name them: "none",
// "open", "short", "open-short", "open-short-load"; "outside" for a reading taken where the data
// of a correction that is on do not reach (it is as measured).
QString CorrectionName(unsigned applied, bool outside = false);

// What the fixture read at one frequency, and the standard's true value there.
struct Standards {
    Complex open;         // Zo: nothing on the terminals
    Complex shorted;      // Zs: the terminals shorted
    Complex loadMeasured; // Zsm: the standard on the terminals
    Complex loadTrue;     // Zstd: what the standard is
};

// Zdut from the measured Zxm with the corrections in kinds (load needs open and short):
//   open:              Zxm·Zo / (Zo − Zxm)
//   short:             Zxm − Zs
//   open + short:      (Zxm − Zs)(Zo − Zs) / (Zo − Zxm)
//   open, short, load: Zstd·(Zs − Zxm)(Zsm − Zo) / [(Zxm − Zo)(Zs − Zsm)]
// A division by zero (the reading equals the open one) gives a result that is not finite.
Complex Correct(Complex measured, const Standards &standards, unsigned kinds);

} // namespace Comp
