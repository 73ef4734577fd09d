// A frame record from the link's module-wide results.
#include "export/frame_record.h"

#include "link/commands.h"
#include "link/decoding.h"
#include "link/measurement.h"
#include "link/models.h"

namespace Export {

FrameRecord LastFrame() {
    FrameRecord frame;
    frame.model = Device::ModelName(Device::ModelIndex);
    frame.frequencyHz = Device::FrequencyHz;
    frame.biasMillivolts = Device::BiasMillivolts;
    frame.seriesCircuit = Device::SeriesCircuit != 0;
    for (int index = 0; index < Device::ParameterCount; ++index)
        frame.values[static_cast<std::size_t>(index)] = Device::ParameterValues[index];
    return frame;
}

} // namespace Export
