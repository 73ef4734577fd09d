// ReadMeasurement: the exchange, then the decoded frame written into the module-wide results.
#include "link/measurement.h"

#include "link/calibration.h"
#include "link/commands.h"
#include "link/decoding.h"
#include "link/display_lines.h"
#include "link/models.h"
#include "link/serial_link.h"

namespace Device {

bool ReadMeasurement() {
    RequestBuffer[1] = Command::Measure;
    SendRequest(2);
    const std::uint32_t count = ReceiveReply(MeasurementReplyLength);
    return AcceptMeasurement(ReplyBuffer, count);
}

bool AcceptMeasurement(const std::uint8_t *bytes, std::uint32_t count) {
    const DecodedFrame frame = DecodeFrame(bytes, count, SeriesCircuit != 0, ModelIndex);
    if (frame.verdict == FrameVerdict::Short) return false;
    DeviceStatus = frame.status;
    // A frame whose values cannot be a measurement is treated like one without status bit 7.
    if (frame.verdict == FrameVerdict::NotValid || frame.verdict == FrameVerdict::Impossible)
        return false;
    DeviceMode = frame.mode;
    DeviceRange = frame.range;
    BiasMillivolts = frame.biasMillivolts;
    FrequencyHz = frame.frequencyHz;
    AngularFrequency = frame.angularFrequency;
    if (frame.verdict == FrameVerdict::ZeroFrequency) return false;

    ParameterValues[ValMagnitude] = frame.magnitude;
    ParameterValues[ValPhase] = frame.phase;
    FrameMagnitude = frame.magnitude;
    FramePhase = frame.phase;
    ParameterValues[ValResistance] = frame.resistance;
    ParameterValues[ValReactance] = frame.reactance;
    for (int index = 0; index < ParameterCount; ++index)
        ComputeParameter(index);
    // Every valid frame counts its uncorrected D into a calibration run in progress; the run
    // changes nothing of this frame's values or lines, so it comes after all fourteen.
    AdvanceCalibrationRun(ParameterValues[ParD]);
    return true;
}

void TakeImpedance(float magnitude, float phase) {
    ParameterValues[ValMagnitude] = magnitude;
    ParameterValues[ValPhase] = phase;
    FloatPair z;
    FromPolar(z, {magnitude, phase});
    if (SeriesCircuit == 0) ToParallel(z);
    ParameterValues[ValResistance] = z.first;
    ParameterValues[ValReactance] = z.second;
    for (int index = 0; index < ParameterCount; ++index)
        ComputeParameter(index);
}

float ComputeParameter(int index) {
    if (index < 0 || index >= ParameterCount) return 0.0f;
    ParameterInputs in;
    in.magnitude = ParameterValues[ValMagnitude];
    in.phase = ParameterValues[ValPhase];
    in.resistance = ParameterValues[ValResistance];
    in.reactance = ParameterValues[ValReactance];
    in.angularFrequency = AngularFrequency;
    in.frequencyHz = FrequencyHz;
    in.biasMillivolts = BiasMillivolts;
    in.seriesCircuit = SeriesCircuit != 0;

    const float value = DeriveParameter(index, in);
    if (index == ParC && in.reactance != 0.0f) LastCapacitance = value;
    ParameterValues[index] = value;

    const bool series = SeriesCircuit != 0;
    BuildLine(index, value, series, ParameterText[index]);

    float corrected = value;
    if (index == ParD) {
        DCorrection = LookupDCorrection();
        corrected = static_cast<float>(value + DCorrection);
    }
    BuildLine(index, corrected, series, CorrectedParameterText[index]);
    return value;
}

} // namespace Device
