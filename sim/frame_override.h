// Chosen values for the fields of a measurement frame: a meter that reports a frequency, a bias
// or a reading it was never asked for, or one no meter could give. The host writes them into
// the frames it sends (see PtyHost::setFrameOverride); the text form is impedix-sim's --frame.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Sim {

// Each field set here replaces the one the meter measured; the others stay as measured.
struct FrameOverride {
    std::optional<quint32> frequency; // the 32-bit frequency field (Hz), bytes 8..11
    std::optional<quint16> biasUnits; // the raw 16-bit bias field, bytes 6..7
    std::optional<float> magnitude;   // |Z| in ohms, bytes 12..15
    std::optional<float> phase;       // θ in radians as sent: the KT-41's sign is not applied

    bool isEmpty() const { return !frequency && !biasUnits && !magnitude && !phase; }
};

// Whether reply is a measurement frame, answering request, that an override may change.
bool isMeasurementReply(const QByteArray &request, const QByteArray &reply);

// The reply with the override's fields written in; any reply but a whole measurement frame is
// returned as it is.
QByteArray applyOverride(const FrameOverride &fields, QByteArray reply);

// The text form "frequency=1000,bias=0xFFFF,magnitude=1e30,phase=3.1[@COUNT]": comma-separated
// fields, each at most once, at least one. frequency takes a whole number (decimal or 0x hex)
// from -2147483648 to 4294967295, kept as its 32 bits; bias the raw field from 0 to 0xFFFF, or
// millivolts as "1500mV", a whole number of biasStepMillivolts; magnitude and phase a float
// (nan and inf included). COUNT, at least 1, limits the override to that many measurement
// frames; without it, it stays. On failure error receives a one-line reason.
struct FrameOption {
    FrameOverride fields;
    int replies = -1; // -1: every frame
};
std::optional<FrameOption> parseFrameOption(const QString &text, int biasStepMillivolts,
                                            QString *error = nullptr);

} // namespace Sim
