// Module-wide settings of unit Main, shared by the window's handlers and the measurement cycle.
#pragma once

#include "link/capabilities.h"

#include <array>
#include <cstdint>

namespace Main {

struct MainVariables {
    std::int32_t CurrentFrequency = 0; // Hz, the program's test frequency
    std::int32_t FrequencyLow = 50000; // Hz, the frequency window that bounds it
    std::int32_t FrequencyHigh = 100000;
    std::int32_t BiasSetting = 0; // mV, the program's bias voltage
    int BiasStep = 0;             // coarse bias position, 0..10
    int Param1Index = 2;          // parameter shown in i_par1
    int Param2Index = 9;          // parameter shown in i_par2
    bool AutoParams = true;       // the cycle picks the shown pair
    bool AutoRange = true;        // the instrument ranges automatically
    bool SyncPending = true;      // copy the instrument's settings on the next valid frame
    bool CycleStarted = false;    // polling has been started; never cleared
};
extern MainVariables MainState;

inline std::int32_t &CurrentFrequency = MainState.CurrentFrequency;
inline std::int32_t &FrequencyLow = MainState.FrequencyLow;
inline std::int32_t &FrequencyHigh = MainState.FrequencyHigh;
inline std::int32_t &BiasSetting = MainState.BiasSetting;
inline int &BiasStep = MainState.BiasStep;
inline int &Param1Index = MainState.Param1Index;
inline int &Param2Index = MainState.Param2Index;
inline bool &AutoParams = MainState.AutoParams;
inline bool &AutoRange = MainState.AutoRange;
inline bool &SyncPending = MainState.SyncPending;
inline bool &CycleStarted = MainState.CycleStarted;

// Puts every module-wide variable of unit Main back to its value at process start.
void ResetState();

// The coarse bias control's positions, from the bias source's lowest to its highest.
constexpr std::array<std::int32_t, 11> BiasList{
    Device::LowestBiasMillivolts, 1600, 2500, 3000, 4000, 6300, 10000, 16000, 25000, 35000,
    Device::HighestBiasMillivolts};
// The level box's entries: the meter's levels.
inline constexpr const auto &LevelList = Device::Levels;

} // namespace Main
