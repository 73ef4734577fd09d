// The simulated part's own impedance as a file, as another instrument or a circuit simulator
// would give it: what a measured sweep of the part should come to.
#pragma once

#include "sim/sim_options.h"

#include <QByteArray>
#include <QString>

namespace Sim {

// "frequency,Re Z,Im Z" lines (17 significant digits), 20 points a decade from the model's lowest
// to its highest frequency, at 0 V of bias and the power-on level; no fixture, no noise.
QByteArray partTable(const Options &options);
// partTable written to path whole or not at all; false with the reason.
bool writePartFile(const Options &options, const QString &path, QString *why);

} // namespace Sim
