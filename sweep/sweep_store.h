// The sweep store of unit Main: the run's settings and progress, the planned frequency of each
// point and the eleven parameters measured at each point, in fixed arrays. Beside them each point
// keeps what its frame reported (|Z|, angle, frequency) and the circuit it was derived in, so a
// data file can give the textbook values and the raw ones.
#pragma once

#include "link/commands.h"
#include "link/measurement.h"
#include "sweep/sweep_planner.h"

#include <cstdint>

namespace Main {

constexpr int SweepCapacity = 256;      // points a run can hold
constexpr int SweepParameterCount = 11; // C, L, R, G, B, X, Z, Y, D, Q, Fiz
constexpr int SweepPointsLeast = 2;

// Slots 0..SweepPoints-1 belong to the current run; slots at or beyond SweepIndex keep what an
// earlier run (or the start-up) left there until the run reaches them.
struct SweepVariables {
    bool SweepRunning = false;
    int SweepPoints = 10; // N of the run, 2..SweepCapacity
    int SweepIndex = 0;   // the point the next accepted frame fills, 0..SweepPoints-1
    float SweepFrequencies[SweepCapacity] = {};                  // Hz, planned per point
    float SweepSamples[SweepParameterCount][SweepCapacity] = {}; // [parameter][point], as measured
    float PlotValues1[SweepCapacity] = {}; // first parameter in the unit its mean is shown in
    float PlotValues2[SweepCapacity] = {}; // second parameter likewise
    // What each point's frame reported: |Z| in ohms, the angle of Z in radians (sign corrected
    // for the model), the frequency in Hz; and whether its parameters are of the series circuit.
    float SweepMagnitudes[SweepCapacity] = {};
    float SweepPhases[SweepCapacity] = {};
    std::int32_t SweepReportedFrequencies[SweepCapacity] = {};
    bool SweepSeriesCircuits[SweepCapacity] = {};
    // Whether each point is a measurement at its planned conditions (Device::ReadingStatus's
    // code: 0, or why not), and the connection to the meter it was taken on (the session counts
    // one for every opening of the port, a reopen included).
    int SweepStatuses[SweepCapacity] = {};
    std::uint32_t SweepConnections[SweepCapacity] = {};
    // A fixture's correction of each point: the kinds applied (Comp::Kind flags, and
    // CorrectionOutside where the data of a correction that was on did not reach the point);
    // where one was applied, SweepMagnitudes and SweepPhases hold the corrected impedance and
    // these what the frame reported (NaN: no correction, the same values).
    unsigned SweepCorrections[SweepCapacity] = {};
    float SweepFrameMagnitudes[SweepCapacity] = {};
    float SweepFramePhases[SweepCapacity] = {};
    // What the run steps: the frequency (the designed run; SweepFrequencies are its points), or
    // the DC bias or the test level at the one frequency held in SweepFrequencies, their planned
    // values (mV) in SweepSettings; and the bias each point's frame reported (mV).
    Sweep::Quantity SweepQuantity = Sweep::Quantity::Frequency;
    std::int32_t SweepSettings[SweepCapacity] = {};
    std::int32_t SweepReportedBiases[SweepCapacity] = {};
};
constexpr unsigned CorrectionOutside = 0x100;
extern SweepVariables SweepState;

inline bool &SweepRunning = SweepState.SweepRunning;
inline int &SweepPoints = SweepState.SweepPoints;
inline int &SweepIndex = SweepState.SweepIndex;
inline float (&SweepFrequencies)[SweepCapacity] = SweepState.SweepFrequencies;
inline float (&SweepSamples)[SweepParameterCount][SweepCapacity] = SweepState.SweepSamples;
inline float (&PlotValues1)[SweepCapacity] = SweepState.PlotValues1;
inline float (&PlotValues2)[SweepCapacity] = SweepState.PlotValues2;
inline float (&SweepMagnitudes)[SweepCapacity] = SweepState.SweepMagnitudes;
inline float (&SweepPhases)[SweepCapacity] = SweepState.SweepPhases;
inline std::int32_t (&SweepReportedFrequencies)[SweepCapacity] =
    SweepState.SweepReportedFrequencies;
inline bool (&SweepSeriesCircuits)[SweepCapacity] = SweepState.SweepSeriesCircuits;
inline int (&SweepStatuses)[SweepCapacity] = SweepState.SweepStatuses;
inline std::uint32_t (&SweepConnections)[SweepCapacity] = SweepState.SweepConnections;
inline unsigned (&SweepCorrections)[SweepCapacity] = SweepState.SweepCorrections;
inline float (&SweepFrameMagnitudes)[SweepCapacity] = SweepState.SweepFrameMagnitudes;
inline float (&SweepFramePhases)[SweepCapacity] = SweepState.SweepFramePhases;
inline Sweep::Quantity &SweepQuantity = SweepState.SweepQuantity;
inline std::int32_t (&SweepSettings)[SweepCapacity] = SweepState.SweepSettings;
inline std::int32_t (&SweepReportedBiases)[SweepCapacity] = SweepState.SweepReportedBiases;

// Puts the store back to its process-start state; part of Main::ResetState().
void ResetSweepState();

// N as typed, limited to 2..SweepCapacity.
int ClampSweepPoints(int typed);

// Stores parameters 0..10 of values as point SweepIndex, with its raw |Z| and angle (entries
// ValMagnitude and ValPhase: values holds all Device::ParameterValueCount entries, as
// Device::ParameterValues does), the frequency the frame reported and the circuit.
void StoreSweepSample(const float *values, std::int32_t reportedHz = Device::FrequencyHz,
                      bool seriesCircuit = Device::SeriesCircuit != 0,
                      std::int32_t reportedBiasMillivolts = Device::BiasMillivolts);

// Marks point SweepIndex with the status of its reading and the connection it came on. A point
// whose status is not 0 holds no measurement: statistics, fits and data files leave its values out.
void MarkSweepPoint(int statusCode, std::uint32_t connection);
// Marks point SweepIndex with the fixture's correction it had and what its frame reported.
void MarkSweepCorrection(unsigned correction, float frameMagnitude, float framePhase);

// The planned value of point i along the run's axis: Hz for a frequency run, volts for a bias or
// level run.
double PlannedAxisValue(const SweepVariables &store, int i);

// Whether point i of store holds a measurement at its planned conditions.
bool PointMeasured(const SweepVariables &store, int i);

// Ends the running run before its last point: the points from SweepIndex on were not taken and
// are marked so (status -1, no data), so that no earlier run's values pass for them.
void StopSweepEarly();

// Moves on to the next point. After the last one the run is over and SweepIndex stays on it.
// Returns SweepRunning.
bool AdvanceSweep();

// How many points of the current run have been taken: those before SweepIndex while it runs,
// all SweepPoints once it has ended, none while no run has ended since the start-up (idle with
// SweepIndex 0; a run ends with SweepIndex = SweepPoints - 1, which is at least 1); a run
// stopped early (StopSweepEarly) ends at its first point that was not taken.
int TakenSweepPoints(const SweepVariables &store = SweepState);

} // namespace Main
