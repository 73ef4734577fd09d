// The settings of unit Main and their reset.
#include "core/main_state.h"

#include "sweep/sweep_store.h"

namespace Main {

MainVariables MainState;

void ResetState() {
    MainState = {};
    ResetSweepState();
}

} // namespace Main
