// Shared by the benchmarks of programs that poll the paced meter: one exchange as the tick makes
// it, and the wire bound of the poll period (the tick's 40 ms counted from the end of one tick,
// plus that exchange).
#pragma once

#include "link/device.h"

#include <QElapsedTimer>
#include <QString>

namespace Bench {

constexpr double PollIntervalMs = 40.0;

// The mean of 30 exchanges measured in this process on the meter at path; the port is closed
// again afterwards, so another process can open it. -1 when it cannot be opened.
inline double ExchangeMs(const QString &path) {
    Device::ClearPortMappings();
    Device::MapPort(1, path);
    Device::InitLinkSettings();
    if (!Device::OpenPort(1)) return -1;
    constexpr int exchanges = 30;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < exchanges; ++i)
        Device::ReadMeasurement();
    const double ms = clock.nsecsElapsed() / 1e6 / exchanges;
    Device::ClosePort();
    return ms;
}

inline double WireBoundMs(double exchangeMs) {
    return PollIntervalMs + exchangeMs;
}

} // namespace Bench
