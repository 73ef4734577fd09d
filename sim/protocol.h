// Wire constants of the instrument protocol as the simulated meter sees them: frame mark,
// command bytes and the length of each request and reply.
#pragma once

#include <QtGlobal>

namespace Sim {

constexpr quint8 FrameMark = 0xAA;

namespace Command {
constexpr quint8 FastSpeed = 0x21;
constexpr quint8 NormalSpeed = 0x22;
constexpr quint8 ExternalBias = 0x23;
constexpr quint8 InternalBias = 0x24;
constexpr quint8 QueryIdentity = 0x40;
constexpr quint8 AutoRangeOn = 0x41;
constexpr quint8 SetRange = 0x42;
constexpr quint8 SetFrequency = 0x43;
constexpr quint8 SetLevel = 0x44;
constexpr quint8 CurrentMode = 0x45;
constexpr quint8 SetBiasVoltage = 0x46;
constexpr quint8 Init = 0x47;
constexpr quint8 ReadMeasurement = 0x48;
} // namespace Command

constexpr int AckLength = 2;
constexpr int IdentityReplyLength = 7;
constexpr int MeasurementReplyLength = 20;

// Whole request length (mark and command byte included) that follows a given command byte.
// The meter frames its input by this alone: there is no length field on the wire.
int requestLength(quint8 command);

} // namespace Sim
