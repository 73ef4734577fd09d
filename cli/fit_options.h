// The options that steer a fit, shared by sweep --fit and fit: --fix KEY=VALUE,
// --bound KEY=LOW:HIGH and --weighting.
#pragma once

#include "fit/circuit_fit.h"

#include <QCommandLineParser>
#include <QString>

namespace Cli {

void AddFitOptions(QCommandLineParser &parser);

// Whether --fix, --bound or --weighting was given.
bool FitOptionsSet(const QCommandLineParser &parser);

// The options into options; false with error set when a value is unusable: a key without a
// value, a value that is not a positive number, a bound with LOW not below HIGH or without
// either side, a key given twice (fixed and bounded counts), an unknown weighting.
bool TakeFitOptions(const QCommandLineParser &parser, Fit::FitOptions &options, QString &error);

} // namespace Cli
