// The silence rule and its text.
#include "link/silence.h"

namespace Device {

Silence JudgeSilence(qint64 msSinceFrame) {
    if (msSinceFrame < SilentAfterMs) return {};
    return {true, msSinceFrame / 1000};
}

QString SilenceText(qint64 seconds) {
    return QStringLiteral("Нет ответа %1 с").arg(seconds);
}

} // namespace Device
