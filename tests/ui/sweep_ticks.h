// Ticks of the measurement cycle for the sweep window tests, each made again (as polling does)
// until it did what it is for, since on a busy machine an answer can be lost; a deadline bounds it.
#pragma once

#include "core/session.h"
#include "link/device.h"
#include "sweep/sweep_store.h"
#include "ui/main_window.h"

#include <QDeadlineTimer>

namespace TestWindow {

// How long ticks may take to do their part, never a measured time.
constexpr int TickDeadlineMs = 10000;

// The program discards its input right before each read. A tick that has to read a frame is
// made again, as polling does, until one came or the deadline passed.
inline bool TickWithFrame(Main::Tb_tok &w) {
    const QDeadlineTimer deadline(TickDeadlineMs);
    do {
        Device::DeviceStatus = 0;
        w.Session().Tick();
        if (Device::DeviceStatus & 0x80) return true;
    } while (!deadline.hasExpired());
    return false;
}

// A tick that stores the next point of the running sweep, made again while frames fail.
inline bool TickForPoint(Main::Tb_tok &w) {
    const int index = Main::SweepIndex;
    const QDeadlineTimer deadline(TickDeadlineMs);
    do {
        w.Session().Tick();
        if (Main::SweepIndex != index || !Main::SweepRunning) return true;
    } while (!deadline.hasExpired());
    return false;
}

} // namespace TestWindow
