// Unit Device in one include: serial link, command set, decoding, display lines, calibration.
#pragma once

#include "link/calibration.h"
#include "link/calibration_file.h"
#include "link/calibration_table.h"
#include "link/commands.h"
#include "link/decoding.h"
#include "link/device_state.h"
#include "link/display_lines.h"
#include "link/measurement.h"
#include "link/models.h"
#include "link/open_failure.h"
#include "link/port_names.h"
#include "link/ranges.h"
#include "link/serial_link.h"
#include "link/silence.h"
#include "link/textbook_values.h"
