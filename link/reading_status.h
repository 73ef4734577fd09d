// Whether a frame the link accepted is a measurement a program may record: its values are ones
// the meter can give, and it was taken at the conditions the program asked for. The codes follow
// the status field of a bench meter's FETCh? answer (0 normal, +1 overload, -1 no data) with codes
// of their own for the kinds a frame of this meter can be wrong in.
#pragma once

#include "link/capabilities.h"

#include <QString>

#include <cstdint>

namespace Device {

enum class ReadingStatus : int {
    Normal = 0,
    NoData = -1,         // a point no frame was taken for
    Overload = 1,        // |Z| beyond what the ranges measure
    OtherFrequency = 5,  // the frame's frequency is not the one set
    OtherBias = 6,       // the frame's bias is not the one set (beyond one step of the model)
    BiasBeyondModel = 7, // a bias beyond the model's highest
    ImpossiblePhase = 8, // |theta| beyond 90 degrees by more than PhaseToleranceRadians
    Stale = 9,           // asked before the conditions had reached the meter
};

// The largest |Z| the ranges measure: ten times the highest range's nominal value (100 MOhm). No
// lower bound: a short circuit reads 0.
double HighestMeasurableOhms(const Capabilities &capabilities);
// How far beyond a quarter turn the angle of a passive part's impedance may read (3 degrees: a
// high-Q coil or capacitor with a little noise) before it counts as impossible.
constexpr double PhaseToleranceRadians = 3.0 * 3.14159265358979323846 / 180.0;

// What the program asked the meter for, as the core last sent it. Unset fields are not checked.
struct RequestedConditions {
    std::int32_t frequencyHz = 0; // 0: none sent yet
    bool biasSent = false;        // the program set the internal bias (biasMillivolts)
    std::int32_t biasMillivolts = 0;
    bool biasSourceSent = false;
    bool biasExternal = false;
    int levelIndex = -1; // an index of Levels, -1 before any
    int rangeIndex = -1; // a fixed range, -1 for none
    bool autoRangeWanted = false;
    bool speedSent = false;
    bool normalSpeed = true;
};

// What a frame reported, as decoded for its model.
struct FrameFacts {
    std::int32_t frequencyHz = 0;
    std::int32_t biasMillivolts = 0;
    float magnitude = 0.0f; // ohms
    float phase = 0.0f;     // radians, sign corrected for the model
};

// The first that applies: values no meter gives (bias beyond the model, |Z| beyond the ranges, an
// impossible angle), then disagreement with what was asked (frequency, internal bias).
ReadingStatus JudgeFrame(const FrameFacts &frame, const RequestedConditions &requested,
                         const Capabilities &capabilities);

// Whether a reading of this status is a measurement at the asked conditions.
inline bool Counts(ReadingStatus status) {
    return status == ReadingStatus::Normal;
}

// The code as an integer (the FETCh? field, the files' status column).
inline int StatusCode(ReadingStatus status) {
    return static_cast<int>(status);
}

// A few English words for the kind ("another frequency"), for messages and tallies.
QString StatusWords(ReadingStatus status);

} // namespace Device
