// Reply spoiling for fault injection.
#include "sim/faults.h"

#include "sim/frame_override.h"
#include "sim/protocol.h"

#include <QtEndian>

#include <cstring>
#include <limits>

namespace Sim {

namespace {

bool isMeasurementFault(Fault fault) {
    return fault == Fault::StatusBitClear || fault == Fault::ZeroFrequency ||
           fault == Fault::NanValue || fault == Fault::InfValue;
}

void putFloat(QByteArray &frame, int at, float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToBigEndian(bits, frame.data() + at);
}

} // namespace

bool faultApplies(Fault fault, const QByteArray &request, const QByteArray &reply) {
    if (fault == Fault::None) return false;
    return !isMeasurementFault(fault) || isMeasurementReply(request, reply);
}

QByteArray applyFault(Fault fault, QByteArray reply, int keepBytes, std::mt19937 &random) {
    if (isMeasurementFault(fault) && reply.size() < MeasurementReplyLength) return reply;
    switch (fault) {
    case Fault::None:
        break;
    case Fault::Silence:
    case Fault::HangUp:
        return {};
    case Fault::ShortFrame:
        if (keepBytes >= 0 && keepBytes < reply.size()) reply.truncate(keepBytes);
        break;
    case Fault::WrongMark:
        if (!reply.isEmpty()) reply[0] = char(0x55);
        break;
    case Fault::Garbage: {
        std::uniform_int_distribution<int> byte(0, 255);
        for (char &c : reply)
            c = char(byte(random));
        if (!reply.isEmpty() && quint8(reply[0]) == FrameMark) reply[0] = char(~FrameMark);
        break;
    }
    case Fault::StatusBitClear:
        reply[2] = char(quint8(reply[2]) & 0x7F);
        break;
    case Fault::ZeroFrequency:
        qToBigEndian(quint32(0), reply.data() + 8);
        break;
    case Fault::NanValue:
        putFloat(reply, 12, std::numeric_limits<float>::quiet_NaN());
        putFloat(reply, 16, std::numeric_limits<float>::quiet_NaN());
        break;
    case Fault::InfValue:
        putFloat(reply, 12, std::numeric_limits<float>::infinity());
        break;
    }
    return reply;
}

} // namespace Sim
