// Shared by the live-meter window tests: request frames as expected on the wire, a scripted
// meter whose measurement frames a test sets field by field, and typed entries in editable boxes.
#pragma once

#include "sim/pty_host.h"
#include "tests/link/frame_builder.h"

#include <QByteArray>
#include <QComboBox>
#include <QLineEdit>
#include <QList>
#include <QTest>

#include <atomic>
#include <cstdint>

namespace TestWindow {

// 0xAA, the command byte, then payloadBytes of payload, most significant first.
inline QByteArray Request(std::uint8_t command, std::uint32_t payload = 0, int payloadBytes = 0) {
    QByteArray frame;
    frame.append(char(0xAA));
    frame.append(char(command));
    for (int i = payloadBytes - 1; i >= 0; --i)
        frame.append(char((payload >> (8 * i)) & 0xFF));
    return frame;
}

// The requests since the last call, without the measurement polls a running timer may add.
inline QList<QByteArray> SettingRequests(Sim::PtyHost &host) {
    QList<QByteArray> out;
    for (const QByteArray &request : host.takeRequests())
        if (request != Request(0x48)) out << request;
    return out;
}

// Identifies as a KT-44 (bias in 10 mV units, phase angle as measured), acknowledges every
// setting and answers each poll with the fields held here. Must outlive the host serving it.
struct ScriptedMeter {
    std::atomic<int> status{0x81};
    std::atomic<int> mode{3};
    std::atomic<int> range{4};
    std::atomic<int> biasUnits{0};
    std::atomic<int> frequency{1000};
    std::atomic<float> magnitude{1000.0f};
    std::atomic<float> phase{-1.5f};

    Sim::Responder responder() {
        return [this](const QByteArray &request) -> QByteArray {
            const auto command = std::uint8_t(request.at(1));
            if (command == 0x40) return QByteArray("\xAA\x40KT44\0", 7);
            if (command != 0x48) return Request(command);
            const TestFrames::Frame f = TestFrames::MakeFrame(
                magnitude, phase, frequency, std::uint16_t(biasUnits), std::uint8_t(status),
                std::uint8_t(mode), std::uint8_t(range));
            return QByteArray(reinterpret_cast<const char *>(f.data()), int(f.size()));
        };
    }
};

// Picks an entry of an editable box the way a user types it: select all, type, Return.
inline void TypeEntry(QComboBox *box, const QString &text) {
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), text);
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
}

} // namespace TestWindow
