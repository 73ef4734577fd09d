// Ticks of the measurement cycle for the sweep window tests, each tried again until it did what
// it is for, since on a busy machine an answer can come too early and be lost.
#pragma once

#include "link/device.h"
#include "sweep/sweep_store.h"
#include "ui/main_window.h"

namespace TestWindow {

// The program discards its input right before each read. A tick that has to read a frame is
// tried again until one came.
inline bool TickWithFrame(Main::Tb_tok &w) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        Device::DeviceStatus = 0;
        w.tmrTimer();
        if (Device::DeviceStatus & 0x80) return true;
    }
    return false;
}

// A tick that stores the next point of the running sweep, tried again while frames fail.
inline bool TickForPoint(Main::Tb_tok &w) {
    const int index = Main::SweepIndex;
    for (int attempt = 0; attempt < 50; ++attempt) {
        w.tmrTimer();
        if (Main::SweepIndex != index || !Main::SweepRunning) return true;
    }
    return false;
}

} // namespace TestWindow
