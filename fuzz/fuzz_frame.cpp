// libFuzzer target: any 20 bytes as a measurement frame, in either circuit and for any model
// row, must decode and format without a crash, and every display line must stay terminated. A
// frame that is taken yields only finite values: the fixed values for a zero divisor are
// numbers, and a frame from which anything else overflows or is NaN must have been rejected.
#include "link/commands.h"
#include "link/decoding.h"
#include "link/display_lines.h"
#include "link/measurement.h"
#include "link/models.h"

#include <algorithm>
#include <cmath>
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
    const bool accepted = Device::AcceptMeasurement(frame, static_cast<std::uint32_t>(count));
    if (accepted) {
        if (Device::FrequencyHz < Device::LowestFrequencyOfAnyModel() ||
            Device::FrequencyHz > Device::HighestFrequencyOfAnyModel())
            std::abort();
        if (!(std::fabs(Device::ParameterValues[Device::ValPhase]) <= Device::PhaseLimit))
            std::abort();
        for (const float value : Device::ParameterValues)
            if (!std::isfinite(value)) std::abort();
    }
    for (const Device::Line &line : Device::ParameterText)
        if (std::memchr(line, '\0', Device::LineLength) == nullptr) std::abort();
    return 0;
}
