// The arithmetic of the test-condition controls lives with the measuring core.
#pragma once

#include "core/settings_logic.h"
