// A sweep as the library keeps it: its points and what it was measured with.
#pragma once

#include "exchange/sweep_data.h"

#include <QDateTime>
#include <QString>

#include <cmath>
#include <limits>

namespace Library {

// The conditions a run was measured at, as the program had set them. NaN or empty: not known
// (an imported file, or nothing set yet).
struct Conditions {
    double levelVolts = std::numeric_limits<double>::quiet_NaN();
    double biasVolts = std::numeric_limits<double>::quiet_NaN();
    bool biasExternal = false;
    QString range;        // "auto", or the fixed range as the meter names it
    QString speed;        // "normal" or "fast"
    QString circuit;      // "series" or "parallel"
    QString compensation; // the corrections on ("open+short", …) and the fixture; empty: none
};

// One kept sweep without its points: what a list of the library shows.
struct Entry {
    qint64 id = 0;
    QDateTime taken; // UTC
    QString name;
    QString note;
    QString model;
    Sweep::Quantity quantity = Sweep::Quantity::Frequency;
    int pointCount = 0;
    bool interrupted = false; // stopped before its last point
    QString source;           // "run" for a measured run, else the file it was imported from
    double firstPlanned = 0.0;
    double lastPlanned = 0.0;
    Conditions conditions;
};

// A kept sweep whole. data.name/notes/model mirror entry's when read back.
struct KeptSweep {
    Entry entry;
    Exchange::SweepData data;
};

} // namespace Library
