// Faults the simulated meter can be told to commit, and how each one spoils a reply.
#pragma once

#include <QByteArray>

#include <random>

namespace Sim {

enum class Fault {
    None,
    Silence,        // no reply at all
    ShortFrame,     // only the first keepBytes bytes of the reply
    WrongMark,      // byte 0 is not 0xAA
    Garbage,        // random bytes of the reply's length, byte 0 never 0xAA
    StatusBitClear, // measurement frames: status bit 7 cleared
    ZeroFrequency,  // measurement frames: frequency field 0
    NanValue,       // measurement frames: |Z| and phase NaN
    InfValue,       // measurement frames: |Z| +Inf
    HangUp,         // the pseudo-terminal closes instead of replying; the port vanishes
};

// Whether fault has anything to spoil in this reply. The measurement-frame faults pass other
// replies untouched, and such replies do not use up a limited fault.
bool faultApplies(Fault fault, const QByteArray &request, const QByteArray &reply);

// The reply as the faulty meter sends it (empty for Silence and HangUp).
QByteArray applyFault(Fault fault, QByteArray reply, int keepBytes, std::mt19937 &random);

} // namespace Sim
