// The measurement request: exchange, decoding and the fourteen parameters with their lines.
#pragma once

#include "link/decoding.h"

#include <cstdint>

namespace Device {

struct MeasurementVariables {
    float AngularFrequency = 0.0f;
    // 0..13: the parameters; 14: |Z| ohms; 15: angle of Z, radians; 16, 17: R and X, ohms.
    float ParameterValues[ParameterValueCount] = {};
    std::uint8_t SeriesCircuit = 1;  // 1: series, 0: parallel
    float LastCapacitance = 1053.0f; // pF, from the last C with a non-zero reactance
    // |Z| (ohms) and its angle (radians) as the last accepted frame reported them, before any
    // correction of a fixture replaced the impedance (TakeImpedance).
    float FrameMagnitude = 0.0f;
    float FramePhase = 0.0f;
};
extern MeasurementVariables MeasurementState;

inline float &AngularFrequency = MeasurementState.AngularFrequency;
inline float (&ParameterValues)[ParameterValueCount] = MeasurementState.ParameterValues;
inline std::uint8_t &SeriesCircuit = MeasurementState.SeriesCircuit;
inline float &LastCapacitance = MeasurementState.LastCapacitance;
inline float &FrameMagnitude = MeasurementState.FrameMagnitude;
inline float &FramePhase = MeasurementState.FramePhase;

bool ReadMeasurement();
// Takes a frame already in hand (bytes accepted by the link) through the same steps.
bool AcceptMeasurement(const std::uint8_t *bytes, std::uint32_t count);
// One parameter from the frame's values, with its line and its corrected line (D corrected from
// the table). A derivation only: the D calibration run advances in AcceptMeasurement.
float ComputeParameter(int index);
// The reading's impedance replaced (a fixture's leads and stray taken out): |Z| and its angle,
// R and X of the circuit, and the fourteen parameters with their lines derived again.
void TakeImpedance(float magnitude, float phase);

} // namespace Device
