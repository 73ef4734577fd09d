// A frame record from the link's module-wide results.
#include "export/frame_record.h"

#include "link/commands.h"
#include "link/decoding.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/ranges.h"

namespace Export {

FrameRecord LastFrame() {
    FrameRecord frame;
    frame.model = Device::ModelName(Device::ModelIndex);
    frame.frequencyHz = Device::FrequencyHz;
    frame.biasMillivolts = Device::BiasMillivolts;
    frame.range = Device::RangeName(Device::DeviceRange);
    frame.seriesCircuit = Device::SeriesCircuit != 0;
    frame.magnitude = Device::ParameterValues[Device::ValMagnitude];
    frame.phase = Device::ParameterValues[Device::ValPhase];
    if (frame.magnitude != Device::FrameMagnitude || frame.phase != Device::FramePhase) {
        frame.frameMagnitude = Device::FrameMagnitude;
        frame.framePhase = Device::FramePhase;
    }
    return frame;
}

} // namespace Export
