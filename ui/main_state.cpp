// Initial values at process start; the window's construction sets some of them again.
#include "ui/main_state.h"

namespace Main {

std::int32_t CurrentFrequency = 0;
std::int32_t FrequencyLow = 50000;
std::int32_t FrequencyHigh = 100000;
std::int32_t BiasSetting = 0;
int BiasStep = 0;
int Param1Index = 2;
int Param2Index = 9;
bool AutoParams = true;
bool AutoRange = true;
bool SyncPending = true;
bool CycleStarted = false;

bool SweepRunning = false;
int SweepPoints = 10;

} // namespace Main
