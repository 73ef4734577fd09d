// Shared by the link and window tests: request frames as they appear on the wire, the scripted
// peers' timing, waiting for the request log, and a meter whose reply fields a test sets.
#pragma once

#include <QtEndian>

#include "sim/pty_host.h"
#include "tests/link/frame_builder.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>

#include <atomic>
#include <cstdint>

namespace TestPeer {

// 0xAA, the command byte, then payloadBytes of payload, most significant first.
inline QByteArray Request(std::uint8_t command, std::uint32_t payload = 0, int payloadBytes = 0) {
    QByteArray frame;
    frame.append(char(0xAA));
    frame.append(char(command));
    for (int i = payloadBytes - 1; i >= 0; --i)
        frame.append(char((payload >> (8 * i)) & 0xFF));
    return frame;
}

inline const QByteArray Poll = Request(0x48);

// The link empties its input right after each request, so a reply must come later than the
// program needs to get from its write to its read; and it must land inside the shortest read
// (30 ms for an acknowledgement) although the peer's own thread may wake late on a busy machine.
// 8 ms leaves room on both sides.
inline Sim::HostOptions Timing() {
    Sim::HostOptions options;
    options.thinkMs = 8;
    return options;
}

// Waits until count requests (other than measurement polls, with skipPolls) have come in, or
// 10 s have passed, and returns them. The peer's thread may log a request some time after the
// program has moved on (it gave up waiting for a reply, or the reply did not matter).
inline QList<QByteArray> TakeRequests(Sim::PtyHost &host, int count, bool skipPolls = false) {
    QList<QByteArray> taken;
    const QDeadlineTimer deadline(10000);
    for (;;) {
        for (const QByteArray &request : host.takeRequests())
            if (!skipPolls || request != Poll) taken << request;
        if (taken.size() >= count || deadline.hasExpired()) return taken;
        host.waitForRequests(1, int(deadline.remainingTime()));
    }
}

// Identifies as a KT-44 (or as `identity`), acknowledges every setting and answers each poll
// with the fields held here. Must outlive the host serving it.
struct ScriptedMeter {
    QByteArray identity = QByteArray("KT44", 4); // set before the host starts
    std::atomic<int> status{0x81};
    std::atomic<int> mode{3};
    std::atomic<int> range{4};
    std::atomic<int> biasUnits{0};
    std::atomic<int> frequency{1000};
    std::atomic<float> magnitude{1000.0f};
    std::atomic<float> phase{-1.5f};
    std::atomic<bool> followsFrequency{true};

    Sim::Responder responder() {
        return [this](const QByteArray &request) -> QByteArray {
            const auto command = std::uint8_t(request.at(1));
            if (command == 0x40) return (Request(command) + identity).leftJustified(7, '\0');
            // A frequency set is taken as a meter takes it, unless the script holds its own.
            if (command == 0x43 && followsFrequency && request.size() >= 6)
                frequency = qFromBigEndian<std::int32_t>(request.constData() + 2);
            if (command != 0x48) return Request(command);
            const TestFrames::Frame f = TestFrames::MakeFrame(
                magnitude, phase, frequency, std::uint16_t(biasUnits), std::uint8_t(status),
                std::uint8_t(mode), std::uint8_t(range));
            return QByteArray(reinterpret_cast<const char *>(f.data()), int(f.size()));
        };
    }
};

} // namespace TestPeer
