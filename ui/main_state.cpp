// The settings of unit Main and their reset.
#include "ui/main_state.h"

namespace Main {

MainVariables MainState;

void ResetState() {
    MainState = {};
}

} // namespace Main
