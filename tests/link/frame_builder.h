// Builds measurement frames byte by byte for tests.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace TestFrames {

using Frame = std::array<std::uint8_t, 20>;

inline void PutBigEndian(Frame &f, int at, std::uint32_t word, int bytes) {
    for (int i = 0; i < bytes; ++i)
        f[static_cast<std::size_t>(at + i)] =
            static_cast<std::uint8_t>(word >> (8 * (bytes - 1 - i)));
}

inline std::uint32_t FloatBits(float v) {
    std::uint32_t w;
    std::memcpy(&w, &v, sizeof w);
    return w;
}

// A frame as the instrument sends it: wirePhase already carries the model's sign convention.
inline Frame MakeFrame(float magnitude, float wirePhase, std::int32_t hz, std::uint16_t bias = 0,
                       std::uint8_t status = 0x81, std::uint8_t mode = 3, std::uint8_t range = 4) {
    Frame f{};
    f[0] = 0xAA;
    f[1] = 0x48;
    f[2] = status;
    f[3] = mode;
    f[5] = range;
    PutBigEndian(f, 6, bias, 2);
    PutBigEndian(f, 8, static_cast<std::uint32_t>(hz), 4);
    PutBigEndian(f, 12, FloatBits(magnitude), 4);
    PutBigEndian(f, 16, FloatBits(wirePhase), 4);
    return f;
}

} // namespace TestFrames
