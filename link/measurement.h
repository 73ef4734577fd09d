// The measurement request: exchange, decoding and the fourteen parameters with their lines.
#pragma once

#include <cstdint>

namespace Device {

extern float AngularFrequency;
// 0..13: the parameters; 14: |Z| ohms; 15: angle of Z, radians; 16, 17: R and X, ohms.
extern float ParameterValues[18];
extern std::uint8_t SeriesCircuit; // 1: series, 0: parallel
extern float LastCapacitance;      // pF, from the last C with a non-zero reactance

bool ReadMeasurement();
// Takes a frame already in hand (bytes accepted by the link) through the same steps.
bool AcceptMeasurement(const std::uint8_t *bytes, std::uint32_t count);
float ComputeParameter(int index);

} // namespace Device
