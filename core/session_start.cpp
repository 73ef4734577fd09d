// The values the window's program starts from, taken from unit Main's own process-start values
// so that they are written in one place.
#include "core/session.h"

#include "core/main_state.h"

namespace Core {

void Session::TakeStartingValues() {
    const Main::MainVariables start;
    Main::BiasSetting = start.BiasSetting;
    SetCircuit(true);
    Main::Param1Index = start.Param1Index;
    Main::Param2Index = start.Param2Index;
    Main::FrequencyLow = start.FrequencyLow;
    Main::FrequencyHigh = start.FrequencyHigh;
}

} // namespace Core
