// The plain impedance table many fitting tools exchange: no header, "frequency,Re Z,Im Z" per
// line, hertz and ohms.
#pragma once

#include "exchange/sweep_data.h"

class QIODevice;

namespace Exchange {

// Every non-empty line must hold three finite numbers; the points read are measurements of a
// frequency run, planned at the frequency read.
ReadResult ReadImpedanceCsv(QIODevice &device);

// The measurements (status 0) of data, each number in full precision; a bias or level run is
// written as well, one line per point at its frequency.
// Refused for a measurement that is not finite.
WriteResult WriteImpedanceCsv(QIODevice &device, const SweepData &data);

} // namespace Exchange
