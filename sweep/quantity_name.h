// The swept quantity's name in files and JSON: "frequency", "bias" or "level".
#pragma once

#include "sweep/sweep_planner.h"

#include <QString>

namespace Sweep {

inline QString QuantityName(Quantity quantity) {
    switch (quantity) {
    case Quantity::Bias:
        return QStringLiteral("bias");
    case Quantity::Level:
        return QStringLiteral("level");
    case Quantity::Frequency:
        break;
    }
    return QStringLiteral("frequency");
}

} // namespace Sweep
