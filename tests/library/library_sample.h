// A kept sweep whose every value follows from one number, so a reader can tell a sweep read back
// whole from one torn or mixed with another.
#pragma once

#include "library/kept_sweep.h"

#include <cmath>
#include <limits>

namespace LibraryTest {

inline Library::KeptSweep SampleSweep(int n, int points = 256) {
    Library::KeptSweep sweep;
    sweep.entry.taken = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC).addSecs(n);
    sweep.entry.model = QStringLiteral("KT-4%1").arg(n % 3);
    sweep.entry.name = QStringLiteral("sweep %1").arg(n);
    sweep.entry.conditions.levelVolts = 1.0;
    sweep.entry.conditions.biasVolts = n * 0.01;
    sweep.entry.conditions.range = QStringLiteral("auto");
    sweep.entry.conditions.circuit = QStringLiteral("series");
    sweep.data.quantity = Sweep::Quantity::Frequency;
    for (int i = 0; i < points; ++i) {
        Exchange::SweepPoint p;
        p.planned = 100.0 * (i + 1);
        p.frequency = p.planned + 0.5;
        p.magnitude = 1000.0 / (n + 1) + i * 1e-3;
        p.phase = -1.0 + i / 1000.0;
        p.bias = n * 0.01;
        p.status = i % 17 == 16 ? 3 : 0;
        if (p.status != 0) p.magnitude = p.phase = std::numeric_limits<double>::quiet_NaN();
        sweep.data.points.push_back(p);
    }
    return sweep;
}

// NaN equals NaN here: a point that had no value must come back without one.
inline bool Same(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

inline bool SamePoints(const Exchange::SweepData &a, const Exchange::SweepData &b) {
    if (a.points.size() != b.points.size() || a.quantity != b.quantity) return false;
    for (std::size_t i = 0; i < a.points.size(); ++i) {
        const auto &p = a.points[i];
        const auto &q = b.points[i];
        if (!Same(p.planned, q.planned) || !Same(p.frequency, q.frequency) ||
            !Same(p.magnitude, q.magnitude) || !Same(p.phase, q.phase) || !Same(p.bias, q.bias) ||
            p.status != q.status)
            return false;
    }
    return true;
}

} // namespace LibraryTest
