// One-port Touchstone 1.x (.s1p): an option line "# <unit> <parameter> <format> R <ohms>",
// comments after "!", and one "frequency a b" line per point, frequencies rising.
#pragma once

#include "exchange/sweep_data.h"

#include <complex>

class QIODevice;

namespace Exchange {

enum class TouchstoneParameter { S, Y, Z };
enum class TouchstoneFormat { RealImaginary, MagnitudeAngle, DecibelAngle };

// The option line; a missing field keeps its default: GHz, S, MA, R 50.
struct TouchstoneOptions {
    double hertzPerUnit = 1e9;
    TouchstoneParameter parameter = TouchstoneParameter::S;
    TouchstoneFormat format = TouchstoneFormat::MagnitudeAngle;
    double reference = 50.0; // ohms
};

// The impedance in ohms of one data pair (a, b) under options. Z and Y values of Touchstone 1.x
// are normalised to the reference: Z = z·R, Y = y/R; S gives Z = R·(1 + S)/(1 − S). Angles are
// in degrees and DB is 20·log10|.|. Not finite where no impedance follows (S = 1, Y = 0).
std::complex<double> TouchstoneImpedance(const TouchstoneOptions &options, double a, double b);

// The points of a one-port file, measurements of a frequency run. Refused with its line: a
// second option line or one after the data, an unknown option, a data line with other than
// three values, a frequency that does not rise, a value that is not a finite number.
ReadResult ReadTouchstone(QIODevice &device);

// "# Hz Z RI R 50" and the measurements (status 0) of a frequency run, Z/50 in full precision,
// data's name, model and notes as comments. Refused for a bias or level run (one frequency) and
// for frequencies that do not rise or an impedance that is not finite.
WriteResult WriteTouchstone(QIODevice &device, const SweepData &data);

} // namespace Exchange
