// libFuzzer target: any 20 bytes as a measurement frame, in either circuit and for any model
// row, must decode and format without a crash, and every display line must stay terminated.
#include "link/decoding.h"
#include "link/display_lines.h"
#include "link/measurement.h"
#include "link/models.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    Device::SeriesCircuit = data[0] & 1;
    Device::ModelIndex = data[1] % (Device::ModelCount + 1);
    std::uint8_t frame[Device::LineLength] = {};
    const std::size_t count = std::min<std::size_t>(size - 2, 20);
    std::memcpy(frame, data + 2, count);
    Device::AcceptMeasurement(frame, static_cast<std::uint32_t>(count));
    for (const Device::Line &line : Device::ParameterText)
        if (std::memchr(line, '\0', Device::LineLength) == nullptr) std::abort();
    return 0;
}
