// How long the instrument has gone without an accepted frame, judged for the window: after a
// second of silence the readouts are stale and the status line says so.
#pragma once

#include <QString>

namespace Device {

constexpr qint64 SilentAfterMs = 1000;

struct Silence {
    bool silent = false;
    qint64 seconds = 0; // whole seconds since the last accepted frame, while silent
};

// msSinceFrame: time since the last accepted frame (or since polling began, before the first);
// a negative value means polling has not begun.
Silence JudgeSilence(qint64 msSinceFrame);

// The start of the status line while silent, for example "Нет ответа 3 с".
QString SilenceText(qint64 seconds);

} // namespace Device
