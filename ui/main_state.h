// The settings of unit Main live with the measuring core; the window reads them from there.
#pragma once

#include "core/main_state.h"
