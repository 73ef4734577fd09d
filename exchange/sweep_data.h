// A sweep as plain data, whatever file or run it came from: the points in the order taken and
// what was swept. The form the readers and writers of sweep files exchange.
#pragma once

#include "sweep/sweep_planner.h"

#include <QString>

#include <complex>
#include <optional>
#include <vector>

namespace Main {
struct SweepVariables;
}
namespace Fit {
struct Sweep;
}

namespace Exchange {

struct SweepPoint {
    double planned = 0.0;   // Hz for a frequency run, V for a bias or level run
    double frequency = 0.0; // Hz, as measured
    double magnitude = 0.0; // raw |Z|, ohms
    double phase = 0.0;     // angle of Z, radians
    double bias = 0.0;      // V, as reported
    int status = 0;         // 0: a measurement; else the program's reading status code
};

struct SweepData {
    Sweep::Quantity quantity = Sweep::Quantity::Frequency;
    QString name;
    QString model;
    QString notes;
    std::vector<SweepPoint> points;
};

// Why a file could not be read or written: the line (from 1) or 0 for the whole file.
struct Refusal {
    int line = 0;
    QString reason;
};

struct ReadResult {
    std::optional<SweepData> data;
    Refusal refusal; // when data is empty
};

struct WriteResult {
    bool written = false;
    Refusal refusal; // when not written
};

// magnitude·e^(j·radians), for any magnitude, negative ones too.
std::complex<double> Phasor(double magnitude, double radians);
// The point's impedance in ohms.
std::complex<double> Impedance(const SweepPoint &point);

// The points store's current run has taken (Main::TakenSweepPoints).
SweepData FromStore(const Main::SweepVariables &store);

// The store that writes and shows data as a finished run; empty when data has no point or more
// than the store holds. Values are narrowed to the store's types (float, whole hertz, mV). The
// parameters the graph shows are derived from |Z| and its angle in the circuit given, as a run
// stores them.
std::optional<Main::SweepVariables> ToStore(const SweepData &data, bool seriesCircuit = true);

// The measurements (status 0) of a frequency run as a fit's input; empty for a bias or level
// run, where every point has the same frequency.
Fit::Sweep ToFitSweep(const SweepData &data);

} // namespace Exchange
