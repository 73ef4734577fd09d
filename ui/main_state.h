// Module-wide settings of unit Main, shared by the window's handlers and the measurement cycle.
#pragma once

#include <array>
#include <cstdint>

namespace Main {

extern std::int32_t CurrentFrequency; // Hz, the program's test frequency
extern std::int32_t FrequencyLow;     // Hz, the frequency window that bounds it
extern std::int32_t FrequencyHigh;
extern std::int32_t BiasSetting; // mV, the program's bias voltage
extern int BiasStep;             // coarse bias position, 0..10
extern int Param1Index;          // parameter shown in i_par1
extern int Param2Index;          // parameter shown in i_par2
extern bool AutoParams;          // the cycle picks the shown pair
extern bool AutoRange;           // the instrument ranges automatically
extern bool SyncPending;         // copy the instrument's settings on the next valid frame
extern bool CycleStarted;        // polling has been started; never cleared

// Sweep store: only its size is set up so far.
extern bool SweepRunning;
extern int SweepPoints;

constexpr std::array<std::int32_t, 11> BiasList{0,     1600,  2500,  3000,  4000, 6300,
                                                10000, 16000, 25000, 35000, 40000};
constexpr std::array<std::int32_t, 6> LevelList{1000, 500, 100, 50, 10, 5};

} // namespace Main
